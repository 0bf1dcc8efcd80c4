#include "journal.h"

#include <QtCore/QDateTime>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QVariant>
#include <QtSql/QSqlDatabase>
#include <QtSql/QSqlError>
#include <QtSql/QSqlQuery>

namespace gateway {

namespace {

// Raised when the layout of the file changes; a file of another version is
// moved aside rather than read wrongly.
const int version = 1;

const char *const schema[] = {
    "CREATE TABLE messages (seq INTEGER PRIMARY KEY, topic BLOB NOT NULL, payload BLOB NOT NULL, "
    "read_ms INTEGER NOT NULL)",
    "CREATE TABLE gaps (first_seq INTEGER PRIMARY KEY, last_seq INTEGER NOT NULL, first_ms INTEGER NOT NULL, "
    "last_ms INTEGER NOT NULL, lost INTEGER NOT NULL)",
    "CREATE TABLE state (key TEXT PRIMARY KEY, value INTEGER NOT NULL) WITHOUT ROWID",
    "PRAGMA user_version = 1",
};

// SQLite's own codes for a file that is damaged or no database at all.
bool corruptCode(const QString &code)
{
    return code == QLatin1String("11") || code == QLatin1String("26");
}

QSqlQuery run(const QSqlDatabase &db, const QString &statement)
{
    QSqlQuery query(db);
    query.exec(statement);
    return query;
}

} // namespace

Journal::Journal() : connection(QStringLiteral("journal-%1").arg(quintptr(this))) {}

Journal::~Journal()
{
    close();
}

void Journal::close()
{
    if (!QSqlDatabase::contains(connection))
        return;
    QSqlDatabase::database(connection, false).close();
    QSqlDatabase::removeDatabase(connection);
}

bool Journal::failed(const QString &what, const QSqlQuery &query)
{
    failure = what + QStringLiteral(": ") + query.lastError().text();
    return false;
}

tools::Result<bool> Journal::open(const QString &path, const JournalLimits &wanted, QString *notice)
{
    using Failure = tools::Result<bool>;
    limits = wanted;
    close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        if (!db.isValid())
            return Failure::failure(QStringLiteral("journal: QtSql has no SQLite driver (Debian: libqt%1sql%1-sqlite)")
                                        .arg(QT_VERSION_MAJOR));
        db.setDatabaseName(path);
        // A second gateway on the same file fails at once rather than waiting.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=200"));
        if (!db.open())
            return Failure::failure(QStringLiteral("journal %1 cannot be opened (%2): does its folder exist, and may "
                                                   "the gateway write there?").arg(path, db.lastError().databaseText()));
    }
    if (prepare())
        return true;
    const QString code = failure.section(QLatin1Char('|'), 0, 0);
    const QString bad = failure.section(QLatin1Char('|'), 1);
    failure.clear();
    close();
    if (code == QLatin1String("5") || code == QLatin1String("6"))
        return Failure::failure(QStringLiteral("journal %1 is in use by another process (another gateway for "
                                               "the same line?)").arg(path));
    if (!corruptCode(code) && code != QLatin1String("version"))
        return Failure::failure(QStringLiteral("journal %1: %2").arg(path, bad));
    // Damaged, not ours, or of another version: keep it for whoever wants to
    // look, out of the way, and start again.
    const QString aside = path + QStringLiteral(".bad-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss.zzz"));
    for (const char *tail : {"", "-wal", "-shm"}) {
        if (QFile::exists(path + QLatin1String(tail)) && !QFile::rename(path + QLatin1String(tail), aside + QLatin1String(tail)))
            return Failure::failure(QStringLiteral("journal %1 is unusable (%2) and cannot be moved aside").arg(path, bad));
    }
    *notice = QStringLiteral("journal %1 is unusable (%2): moved it to %3 and started a new one").arg(path, bad, aside);
    QString again;
    return open(path, wanted, &again);
}

// Sets the connection up, makes the tables of a new file, checks an old one
// and reads its counts. On failure `failure` is "CODE|text": SQLite's code,
// or "version" for a file that is not a journal of ours.
bool Journal::prepare()
{
    const QSqlDatabase db = QSqlDatabase::database(connection);
    const auto sqlFailure = [this](const QSqlQuery &query) {
        failure = query.lastError().nativeErrorCode() + QLatin1Char('|') + query.lastError().databaseText();
        return false;
    };
    for (const char *setting : {"PRAGMA locking_mode = EXCLUSIVE", "PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL"}) {
        QSqlQuery query = run(db, QLatin1String(setting));
        if (query.lastError().isValid())
            return sqlFailure(query);
    }
    QSqlQuery query = run(db, QStringLiteral("PRAGMA user_version"));
    if (!query.next())
        return sqlFailure(query);
    const int found = query.value(0).toInt();
    query = run(db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!query.next())
        return sqlFailure(query);
    const bool empty = query.value(0).toInt() == 0;
    if (found == 0 && empty) {
        QSqlQuery begin = run(db, QStringLiteral("BEGIN IMMEDIATE"));
        if (begin.lastError().isValid())
            return sqlFailure(begin);
        for (const char *statement : schema) {
            QSqlQuery make = run(db, QLatin1String(statement));
            if (make.lastError().isValid())
                return sqlFailure(make);
        }
        QSqlQuery commit = run(db, QStringLiteral("COMMIT"));
        if (commit.lastError().isValid())
            return sqlFailure(commit);
    } else if (found != version) {
        failure = found == 0 ? QStringLiteral("version|not a journal") : QStringLiteral("version|a journal of version %1").arg(found);
        return false;
    } else {
        query = run(db, QStringLiteral("PRAGMA quick_check"));
        if (!query.next())
            return sqlFailure(query);
        if (query.value(0).toString() != QLatin1String("ok")) {
            failure = QStringLiteral("11|") + query.value(0).toString();
            return false;
        }
        // Takes the file for this process: a second gateway stops here.
        QSqlQuery take = run(db, QStringLiteral("BEGIN IMMEDIATE"));
        if (take.lastError().isValid())
            return sqlFailure(take);
        run(db, QStringLiteral("COMMIT"));
    }
    query = run(db, QStringLiteral("SELECT count(*), coalesce(sum(length(topic) + length(payload)), 0), "
                                   "coalesce(max(seq), 0) FROM messages"));
    if (!query.next())
        return sqlFailure(query);
    count = query.value(0).toLongLong();
    bytes = query.value(1).toLongLong();
    last = query.value(2).toULongLong();
    query = run(db, QStringLiteral("SELECT key, value FROM state"));
    while (query.next()) {
        const quint64 value = query.value(1).toULongLong();
        if (query.value(0).toString() == QLatin1String("last_seq"))
            last = std::max(last, value);
        else if (query.value(0).toString() == QLatin1String("lost_total"))
            lostTotal = value;
    }
    return true;
}

bool Journal::setState(const char *key, quint64 value)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO state (key, value) VALUES (?, ?)"));
    query.addBindValue(QLatin1String(key));
    query.addBindValue(value);
    return query.exec() || failed(QStringLiteral("saving the journal's state"), query);
}

bool Journal::append(const QVector<Outgoing> &messages, bool mayDrop)
{
    QSqlDatabase db = QSqlDatabase::database(connection);
    db.transaction();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO messages (seq, topic, payload, read_ms) VALUES (?, ?, ?, ?)"));
    for (const Outgoing &message : messages) {
        insert.addBindValue(message.seq);
        insert.addBindValue(message.topic);
        insert.addBindValue(message.payload);
        insert.addBindValue(message.readMs);
        if (!insert.exec()) {
            db.rollback();
            return failed(QStringLiteral("writing to the journal"), insert);
        }
        ++count;
        bytes += message.topic.size() + message.payload.size();
        last = std::max(last, message.seq);
    }
    if ((mayDrop && !dropOldest()) || !setState("last_seq", last)) {
        db.rollback();
        return false;
    }
    return db.commit() || failed(QStringLiteral("writing to the journal"), insert);
}

// Over a limit, the oldest messages go, and the run they made is kept as a
// gap: joined to the last gap when it follows it without a message between.
bool Journal::dropOldest()
{
    if (count <= limits.messages && bytes <= limits.bytes)
        return true;
    const QSqlDatabase db = QSqlDatabase::database(connection);
    QSqlQuery oldest(db);
    oldest.setForwardOnly(true);
    if (!oldest.exec(QStringLiteral("SELECT seq, read_ms, length(topic) + length(payload) FROM messages ORDER BY seq")))
        return failed(QStringLiteral("reading the journal"), oldest);
    Gap gap;
    while ((count > limits.messages || bytes > limits.bytes) && oldest.next()) {
        const quint64 seq = oldest.value(0).toULongLong();
        if (gap.lost == 0)
            gap.firstSeq = seq, gap.firstMs = oldest.value(1).toLongLong();
        gap.lastSeq = seq;
        gap.lastMs = oldest.value(1).toLongLong();
        ++gap.lost;
        --count;
        bytes -= oldest.value(2).toLongLong();
    }
    oldest.finish();
    QSqlQuery drop(db);
    drop.prepare(QStringLiteral("DELETE FROM messages WHERE seq <= ?"));
    drop.addBindValue(gap.lastSeq);
    if (!drop.exec())
        return failed(QStringLiteral("trimming the journal"), drop);
    QSqlQuery join(db);
    join.prepare(QStringLiteral("UPDATE gaps SET last_seq = ?, last_ms = ?, lost = lost + ? WHERE last_seq = ?"));
    join.addBindValue(gap.lastSeq);
    join.addBindValue(gap.lastMs);
    join.addBindValue(gap.lost);
    join.addBindValue(gap.firstSeq - 1);
    if (!join.exec())
        return failed(QStringLiteral("noting a gap"), join);
    if (join.numRowsAffected() == 0) {
        QSqlQuery add(db);
        add.prepare(QStringLiteral("INSERT INTO gaps (first_seq, last_seq, first_ms, last_ms, lost) VALUES (?, ?, ?, ?, ?)"));
        for (const QVariant &value : {QVariant(gap.firstSeq), QVariant(gap.lastSeq), QVariant(gap.firstMs),
                                      QVariant(gap.lastMs), QVariant(gap.lost)})
            add.addBindValue(value);
        if (!add.exec())
            return failed(QStringLiteral("noting a gap"), add);
    }
    lostTotal += gap.lost;
    return setState("lost_total", lostTotal);
}

bool Journal::remove(const QVector<quint64> &seqs)
{
    QSqlDatabase db = QSqlDatabase::database(connection);
    db.transaction();
    QSqlQuery drop(db);
    // A message the limits pushed out meanwhile is gone already: nothing to count.
    drop.prepare(QStringLiteral("DELETE FROM messages WHERE seq = ? RETURNING length(topic) + length(payload)"));
    for (const quint64 seq : seqs) {
        drop.addBindValue(seq);
        if (!drop.exec()) {
            db.rollback();
            return failed(QStringLiteral("removing sent messages from the journal"), drop);
        }
        if (drop.next()) {
            --count;
            bytes -= drop.value(0).toLongLong();
        }
        drop.finish();
    }
    return db.commit() || failed(QStringLiteral("removing sent messages from the journal"), drop);
}

QVector<Outgoing> Journal::oldest(quint64 after, quint64 upTo, int most)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT seq, topic, payload, read_ms FROM messages WHERE seq > ? AND seq <= ? "
                                 "ORDER BY seq LIMIT ?"));
    query.addBindValue(after);
    query.addBindValue(upTo);
    query.addBindValue(most);
    QVector<Outgoing> found;
    if (!query.exec()) {
        failed(QStringLiteral("reading the journal"), query);
        return found;
    }
    while (query.next())
        found.append({query.value(0).toULongLong(), query.value(1).toByteArray(), query.value(2).toByteArray(),
                      query.value(3).toLongLong()});
    return found;
}

QVector<Gap> Journal::unpublishedGaps()
{
    QSqlQuery query(QSqlDatabase::database(connection));
    QVector<Gap> gaps;
    if (!query.exec(QStringLiteral("SELECT first_seq, last_seq, first_ms, last_ms, lost FROM gaps ORDER BY first_seq")))
        failed(QStringLiteral("reading the journal's gaps"), query);
    while (query.next())
        gaps.append({query.value(0).toULongLong(), query.value(1).toULongLong(), query.value(2).toLongLong(),
                     query.value(3).toLongLong(), query.value(4).toULongLong()});
    return gaps;
}

// The gap as it was published: one that grew meanwhile stays, to go out again whole.
bool Journal::gapPublished(quint64 firstSeq, quint64 lastSeq)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    query.prepare(QStringLiteral("DELETE FROM gaps WHERE first_seq = ? AND last_seq = ?"));
    query.addBindValue(firstSeq);
    query.addBindValue(lastSeq);
    return query.exec() || failed(QStringLiteral("noting a published gap"), query);
}

QString defaultJournalPath(const QString &projectPath, const QString &fallbackName, const QString &lineName,
                           const QString &stateDirectory)
{
    QString name = projectPath.isEmpty() ? fallbackName : QFileInfo(projectPath).completeBaseName();
    if (!lineName.isEmpty())
        name += QLatin1Char('.') + lineName;
    // systemd gives several folders separated by colons when the unit asks for several.
    const QString folder = !stateDirectory.isEmpty() ? stateDirectory.section(QLatin1Char(':'), 0, 0)
                         : !projectPath.isEmpty()    ? QFileInfo(projectPath).path()
                                                     : QStringLiteral(".");
    return QDir(folder).filePath(name + QStringLiteral(".journal"));
}

} // namespace gateway
