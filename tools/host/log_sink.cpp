#include "log_sink.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>

namespace pollhost {

using tools::Result;

Result<Rotation> parseRotation(const QString &text)
{
    Rotation rotation;
    if (text == QLatin1String("daily")) {
        rotation.daily = true;
        return rotation;
    }
    static const QRegularExpression form(QStringLiteral("^(\\d+)([kKmMgG]?)$"));
    const QRegularExpressionMatch match = form.match(text);
    const QString unit = match.captured(2).toLower();
    const int shift = unit == QLatin1String("k") ? 10 : unit == QLatin1String("m") ? 20
                    : unit == QLatin1String("g") ? 30 : 0;
    const qint64 size = match.captured(1).toLongLong();
    if (!match.hasMatch() || size < 1 || size > (qint64(1) << 50 >> shift))
        return Result<Rotation>::failure(
            QStringLiteral("--rotate: '%1' is not a size such as 10M or 512k, nor daily").arg(text));
    rotation.maxBytes = size << shift;
    return rotation;
}

LogSink::LogSink(const QString &path, const Rotation &rotation) : path(path), rotation(rotation) {}

Result<bool> LogSink::write(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    if (!file.isOpen())
        start();
    else if (error.isEmpty() && due(bytes.size()))
        rotate();
    if (error.isEmpty() && file.write(bytes) != bytes.size())
        fail(file.errorString());
    written += bytes.size();
    return error.isEmpty() ? Result<bool>(true) : Result<bool>::failure(error);
}

Result<bool> LogSink::start()
{
    if (error.isEmpty() && !file.isOpen())
        keepEarlierLog() && startFile();
    return error.isEmpty() ? Result<bool>(true) : Result<bool>::failure(error);
}

// A file holding only its header is never rotated, however long the line.
bool LogSink::due(qint64 lineBytes) const
{
    if (rotation.daily && QDate::currentDate() != startedAt.date())
        return true;
    return rotation.maxBytes > 0 && written + lineBytes > rotation.maxBytes && written > headerBytes;
}

// Unbuffered, so a full disk shows at the line that did not fit.
bool LogSink::startFile()
{
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail(file.errorString());
    startedAt = QDateTime::currentDateTime();
    const QByteArray header = headerLine.isEmpty() ? QByteArray() : headerLine.toUtf8() + '\n';
    headerBytes = written = header.size();
    if (!header.isEmpty() && file.write(header) != header.size())
        return fail(file.errorString());
    return true;
}

// A log left by an earlier run is kept as a finished file, never
// overwritten. A file that is no such log (its first line is not this
// log's header, or no JSON record) is not this run's to move.
bool LogSink::keepEarlierLog()
{
    const QFileInfo earlier(path);
    if (!earlier.isFile() || earlier.size() == 0)
        return true;
    QFile old(path);
    const QByteArray first = old.open(QIODevice::ReadOnly) ? old.readLine().trimmed() : QByteArray();
    const bool ours = headerLine.isEmpty() ? first.startsWith("{\"clock\":") : first == headerLine.toUtf8();
    if (!ours)
        return fail(QStringLiteral("it exists and is no log of this kind: not moved or replaced"));
    startedAt = earlier.lastModified();
    const QString finished = finishedName();
    if (!QFile::rename(path, finished))
        return fail(QStringLiteral("cannot rename it to %1").arg(finished));
    removeOld();
    return true;
}

bool LogSink::rotate()
{
    file.close();
    const QString finished = finishedName();
    if (!QFile::rename(path, finished))
        return fail(QStringLiteral("cannot rename it to %1").arg(finished));
    removeOld();
    return startFile();
}

// Names sort in the order the files were started: a file started in the
// same millisecond as the one before it is named a millisecond later, even
// when the earlier name has been removed since.
QString LogSink::finishedName()
{
    const QFileInfo info(path);
    const QString stem = info.dir().filePath(info.completeBaseName()) + QLatin1Char('.');
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QDateTime at = lastNamed.isValid() && startedAt <= lastNamed ? lastNamed.addMSecs(1) : startedAt;
    for (;; at = at.addMSecs(1)) {
        const QString name = stem + at.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")) + suffix;
        if (!QFileInfo::exists(name)) {
            lastNamed = at;
            return name;
        }
    }
}

void LogSink::removeOld() const
{
    if (rotation.keep <= 0)
        return;
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    const QRegularExpression finished(QStringLiteral("^%1\\.\\d{8}-\\d{6}-\\d{3}%2$")
                                          .arg(QRegularExpression::escape(info.completeBaseName()),
                                               QRegularExpression::escape(suffix)));
    QStringList names = info.dir().entryList(QDir::Files, QDir::Name).filter(finished);
    // The file about to be started counts as one of the kept.
    while (names.size() > rotation.keep - 1)
        QFile::remove(info.dir().filePath(names.takeFirst()));
}

bool LogSink::fail(const QString &why)
{
    if (error.isEmpty())
        error = QStringLiteral("%1: %2").arg(path, why);
    return false;
}

} // namespace pollhost
