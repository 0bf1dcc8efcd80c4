#include "forwarder.h"

#include "messages.h"
#include "mqtt_session.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

namespace gateway {

namespace {

// Tokens of gap messages carry this bit; those of tag messages are their seq.
const quint64 gapBit = quint64(1) << 63;

// The message as it was made, marked: our payloads are compact JSON objects.
QByteArray replayed(const QByteArray &payload)
{
    return payload.left(payload.size() - 1) + ",\"replayed\":true}";
}

QByteArray gapPayload(const Gap &gap, quint64 lostInAll)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("first_seq"), double(gap.firstSeq)},
                                     {QStringLiteral("last_seq"), double(gap.lastSeq)},
                                     {QStringLiteral("first_ts"), isoTime(gap.firstMs)},
                                     {QStringLiteral("last_ts"), isoTime(gap.lastMs)},
                                     {QStringLiteral("lost"), double(gap.lost)},
                                     {QStringLiteral("lost_in_all"), double(lostInAll)}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

Forwarder::Forwarder(MqttSession &mqtt, const QByteArray &gapsTopic) : mqtt(mqtt), gapsTopic(gapsTopic)
{
    thread.setObjectName(QStringLiteral("journal"));
    context.moveToThread(&thread);
}

Forwarder::~Forwarder()
{
    stop();
}

void Forwarder::post(std::function<void()> call)
{
    QMetaObject::invokeMethod(&context, std::move(call), Qt::QueuedConnection);
}

tools::Result<bool> Forwarder::start(const QString &path, const JournalLimits &limits, QString *notice)
{
    thread.start();
    tools::Result<bool> opened = false;
    QMetaObject::invokeMethod(&context, [&] {
        opened = journal.open(path, limits, notice);
        startSeq = journal.lastSeq();
    }, Qt::BlockingQueuedConnection);
    if (!opened.ok())
        stop();
    return opened;
}

void Forwarder::stop()
{
    if (!thread.isRunning())
        return;
    QMetaObject::invokeMethod(&context, [this] {
        flushAcknowledged();
        done.kept = journal.kept();
        done.lost = journal.lostInAll();
        journal.close();
    }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
}

void Forwarder::send(const QVector<Outgoing> &messages)
{
    post([this, messages] { store(messages); });
}

void Forwarder::brokerUp()
{
    post([this] { up(); });
}

void Forwarder::brokerDown()
{
    // What was in flight stays in the journal, to be replayed next time.
    post([this] {
        connected = false;
        replayStart = -1;
        replaying.clear();
        gapsInFlight.clear();
        cursor = replayEnd = 0;
    });
}

void Forwarder::acknowledged(quint64 token)
{
    std::lock_guard<std::mutex> hold(acknowledgedMutex);
    if (acknowledgedTokens.isEmpty())
        post([this] { flushAcknowledged(); });
    acknowledgedTokens.append(token);
}

void Forwarder::diskFailed()
{
    if (diskFailureTold)
        return;
    diskFailureTold = true;
    tell(QStringLiteral("journal: %1; messages still go to the broker, but an outage now loses them")
             .arg(journal.error()));
}

// The limits apply while the broker is away. While it is there the journal
// only holds what is on its way, and a message dropped then might be one
// the broker has, or one the replay is about to send: a gap must be a gap.
void Forwarder::store(const QVector<Outgoing> &messages)
{
    if (!journal.append(messages, !connected))
        diskFailed();
    if (!connected)
        return;
    for (const Outgoing &message : messages)
        mqtt.publish(message.topic, message.payload, true, message.seq);
}

void Forwarder::up()
{
    connected = true;
    cursor = 0;
    replayEnd = journal.lastSeq();
    replayStart = journal.kept() > 0 ? QDateTime::currentMSecsSinceEpoch() : -1;
    replayedNow = 0;
    if (journal.kept() > 0)
        tell(QStringLiteral("journal: replaying %1 messages made while the broker was not there").arg(journal.kept()));
    publishGaps();
    replayMore();
}

void Forwarder::flushAcknowledged()
{
    QVector<quint64> tokens;
    {
        std::lock_guard<std::mutex> hold(acknowledgedMutex);
        tokens.swap(acknowledgedTokens);
    }
    QVector<quint64> seqs;
    seqs.reserve(tokens.size());
    for (const quint64 token : tokens) {
        if (token & gapBit) {
            const Gap gap = gapsInFlight.take(token);
            if (gap.lost && !journal.gapPublished(gap.firstSeq, gap.lastSeq))
                diskFailed();
            continue;
        }
        seqs.append(token);
        if (replaying.remove(token))
            ++done.replayed, ++replayedNow;
    }
    if (!seqs.isEmpty() && !journal.remove(seqs))
        diskFailed();
    replayMore();
    if (replayStart >= 0 && cursor >= replayEnd && replaying.isEmpty()) {
        tell(QStringLiteral("journal: replay done, %1 messages up to seq %2 in %3 s")
                 .arg(replayedNow).arg(lastReplayed)
                 .arg(double(QDateTime::currentMSecsSinceEpoch() - replayStart) / 1000, 0, 'f', 1));
        replayStart = -1;
    }
}

void Forwarder::replayMore()
{
    while (connected && cursor < replayEnd && replaying.size() < replayWindow) {
        const QVector<Outgoing> batch = journal.oldest(cursor, replayEnd, replayWindow - replaying.size());
        if (batch.isEmpty()) {
            cursor = replayEnd;
            break;
        }
        for (const Outgoing &message : batch) {
            if (!mqtt.publish(message.topic, replayed(message.payload), false, message.seq))
                return; // the broker went; its brokerDown() is on its way
            replaying.insert(message.seq);
            cursor = lastReplayed = message.seq;
        }
    }
}

// At each connection: each gap goes out once, retained, and leaves the
// journal when acknowledged (one that was not goes out at the next).
void Forwarder::publishGaps()
{
    for (const Gap &gap : journal.unpublishedGaps()) {
        const quint64 token = gapBit | ++nextGapToken;
        if (mqtt.publish(gapsTopic, gapPayload(gap, journal.lostInAll()), true, token))
            gapsInFlight.insert(token, gap);
    }
}

} // namespace gateway
