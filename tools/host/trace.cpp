#include "trace.h"

#include <QtCore/QDateTime>

namespace pollhost {

QString traceLine(char direction, const QByteArray &bytes, const QString &note)
{
    QString printable;
    for (char byte : bytes)
        printable += byte >= 0x20 && byte < 0x7F ? QLatin1Char(byte) : QLatin1Char('.');
    const QString hex = bytes.isEmpty() ? QStringLiteral("(nothing)")
                                        : QString::fromLatin1(bytes.toHex(' ').toUpper());
    const QString time = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    QString line = QStringLiteral("%1 %2 %3  |%4|").arg(time, QString(QLatin1Char(direction)), hex, printable);
    if (!note.isEmpty())
        line += QStringLiteral("  ") + note;
    return line;
}

} // namespace pollhost
