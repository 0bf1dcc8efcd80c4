// The gateway's journal: every tag message, on disk, from the moment it is
// made until the broker acknowledged it. A SQLite file through QtSql, in
// WAL mode with synchronous=NORMAL: a commit is one write to the WAL, which
// survives the process being killed (not a power cut between checkpoints),
// and a second gateway cannot open a journal in use (exclusive locking).
//
// The file also keeps the last sequence number given out, so that `seq`
// goes on across restarts, the gaps the size limits made and not yet
// published, and the count of all messages ever lost to them.
//
// Used by one thread only: QtSql's connections belong to the thread that
// opened them.
#ifndef ORDELIN_GATEWAY_JOURNAL_H
#define ORDELIN_GATEWAY_JOURNAL_H

#include "common/result.h"

#include <QtCore/QByteArray>
#include <QtCore/QString>
#include <QtCore/QVector>

class QSqlQuery;

namespace gateway {

struct JournalLimits {
    qint64 messages = 1000000;
    qint64 bytes = qint64(1024) * 1024 * 1024; // of the payloads and topics kept
};

// A message as made, with its place in the order of reading.
struct Outgoing {
    quint64 seq = 0;
    QByteArray topic;
    QByteArray payload;
    qint64 readMs = 0; // the read time in it, since the epoch
};

// Messages the limits pushed out: a run of sequence numbers with nothing
// kept between them.
struct Gap {
    quint64 firstSeq = 0, lastSeq = 0;
    qint64 firstMs = 0, lastMs = 0;
    quint64 lost = 0;
};

class Journal {
public:
    Journal();
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    // Opens or makes the file. A file that is not a journal of this version,
    // or fails its check, is renamed aside and a new one made: `notice`
    // then says so. Fails when the file cannot be used at all (in use by
    // another gateway, a folder we may not write).
    tools::Result<bool> open(const QString &path, const JournalLimits &limits, QString *notice);
    void close();

    // Stores the messages, in one transaction. With `mayDrop`, when that
    // passes a limit, the oldest go and their run is kept as a gap. False
    // when the disk failed.
    bool append(const QVector<Outgoing> &messages, bool mayDrop);
    // The broker acknowledged these: they leave the journal.
    bool remove(const QVector<quint64> &seqs);
    // Up to `count` messages with after < seq <= upTo, oldest first.
    QVector<Outgoing> oldest(quint64 after, quint64 upTo, int count);

    QVector<Gap> unpublishedGaps();
    bool gapPublished(quint64 firstSeq, quint64 lastSeq);

    quint64 lastSeq() const { return last; } // 0 before the first message ever
    qint64 kept() const { return count; }
    quint64 lostInAll() const { return lostTotal; }
    const QString &error() const { return failure; }

private:
    bool prepare();
    bool dropOldest();
    bool setState(const char *key, quint64 value);
    bool failed(const QString &what, const QSqlQuery &query);

    QString connection;
    QString failure;
    JournalLimits limits;
    qint64 count = 0, bytes = 0;
    quint64 last = 0, lostTotal = 0;
};

// The journal's file when --journal is not given: under $STATE_DIRECTORY
// when systemd runs the gateway, else beside the project file, else here;
// named after the project (or `fallbackName`), with the line's name for a
// line of a plant.
QString defaultJournalPath(const QString &projectPath, const QString &fallbackName, const QString &lineName,
                           const QString &stateDirectory);

} // namespace gateway

#endif
