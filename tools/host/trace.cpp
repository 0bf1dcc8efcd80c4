#include "trace.h"

#include <QtCore/QDateTime>

#include <sys/time.h>

namespace pollhost {

namespace {

QString timestamp()
{
    timeval now{};
    gettimeofday(&now, nullptr);
    const QTime time = QDateTime::fromSecsSinceEpoch(now.tv_sec).time();
    return time.toString(QStringLiteral("HH:mm:ss")) + QStringLiteral(".%1").arg(now.tv_usec, 6, 10, QLatin1Char('0'));
}

} // namespace

QString traceLine(char direction, const QByteArray &bytes, const QString &note)
{
    QString printable;
    for (char byte : bytes)
        printable += byte >= 0x20 && byte < 0x7F ? QLatin1Char(byte) : QLatin1Char('.');
    const QString hex = bytes.isEmpty() ? QStringLiteral("(nothing)")
                                        : QString::fromLatin1(bytes.toHex(' ').toUpper());
    QString line = QStringLiteral("%1 %2 %3  |%4|")
                       .arg(timestamp(), QString(QLatin1Char(direction)), hex, printable);
    if (!note.isEmpty())
        line += QStringLiteral("  ") + note;
    return line;
}

} // namespace pollhost
