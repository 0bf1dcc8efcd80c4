// A log file that can be left running overnight: lines go to one file,
// which is closed and renamed when it reaches a size or a new day begins,
// keeping the header (a CSV's first line) at the top of each new file and
// only the last N files. A write that fails (a full disk, a file that
// cannot be created) is an error the caller must act on: nothing is lost
// silently.
//
// The file being written always has the name given, so `tail -f` follows
// it; a finished one is renamed NAME.yyyyMMdd-HHmmss-zzz.EXT after the
// time it was started, so the names sort in time order.
#ifndef ORDELIN_HOST_LOG_SINK_H
#define ORDELIN_HOST_LOG_SINK_H

#include "common/result.h"

#include <QtCore/QDateTime>
#include <QtCore/QFile>

namespace pollhost {

struct Rotation {
    qint64 maxBytes = 0; // 0: no limit
    bool daily = false;
    int keep = 0; // files kept, the one being written included; 0: all
};

// "10M", "512k", "1G" or a number of bytes; or "daily".
tools::Result<Rotation> parseRotation(const QString &text);

class LogSink {
public:
    LogSink(const QString &path, const Rotation &rotation);

    // The line written at the top of every file; set before the first line.
    void setHeader(const QString &header) { headerLine = header; }

    // Opens the file now, so a path that cannot be written is known before
    // the run starts; otherwise the first write opens it.
    tools::Result<bool> start();

    // Appends one line (a newline is added). On failure the message names
    // the file and the reason; every later call fails too.
    tools::Result<bool> write(const QString &line);

private:
    bool due(qint64 lineBytes) const;
    bool keepEarlierLog();
    bool startFile();
    bool rotate();
    void removeOld() const;
    QString finishedName();
    bool fail(const QString &why);

    QString path;
    Rotation rotation;
    QString headerLine;
    QFile file;
    QDateTime startedAt;
    QDateTime lastNamed; // the time in the newest finished file's name
    qint64 written = 0;
    qint64 headerBytes = 0;
    QString error;
};

} // namespace pollhost

#endif
