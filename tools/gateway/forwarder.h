// Store and forward for the tag messages. Every message goes into the
// journal first; while the broker is there it is published at once,
// retained, and leaves the journal when the broker acknowledged it. What
// the journal holds when the broker comes back (made during the outage, or
// published and never acknowledged) is replayed oldest first, each message
// as it was made plus "replayed": true and without the retain flag, so
// that the broker's retained message of a tag stays its latest value.
//
// The replay keeps at most `replayWindow` messages unacknowledged, so a
// live message never waits behind more than that many in libmosquitto's
// queue (a few milliseconds on a local broker), however long the backlog.
//
// The journal and all this bookkeeping live on a thread of the forwarder's
// own: the poll loop and the broker's network thread only queue calls to
// it, in the order they make them.
#ifndef ORDELIN_GATEWAY_FORWARDER_H
#define ORDELIN_GATEWAY_FORWARDER_H

#include "journal.h"

#include <QtCore/QHash>
#include <QtCore/QObject>
#include <QtCore/QSet>
#include <QtCore/QThread>

#include <functional>
#include <mutex>

namespace gateway {

class MqttSession;

class Forwarder {
public:
    Forwarder(MqttSession &mqtt, const QByteArray &gapsTopic);
    ~Forwarder();
    Forwarder(const Forwarder &) = delete;
    Forwarder &operator=(const Forwarder &) = delete;

    // Starts the thread and opens the journal on it; `notice` as Journal::open.
    tools::Result<bool> start(const QString &path, const JournalLimits &limits, QString *notice);
    // The last sequence number the journal has seen, for the next to follow it.
    quint64 lastSeq() const { return startSeq; }

    // Thread-safe; carried out on the forwarder's thread in call order.
    void send(const QVector<Outgoing> &messages);
    void brokerUp();
    void brokerDown();
    // From the broker's network thread: the publication with this token
    // was acknowledged. Coming in bursts, these are handled in batches.
    void acknowledged(quint64 token);

    // Handles what is queued, closes the journal and ends the thread.
    void stop();
    struct Figures {
        qint64 kept = 0;     // messages still in the journal
        quint64 lost = 0;    // to its limits, in all its life
        quint64 replayed = 0; // acknowledged replays of this run
    };
    Figures figures() const { return done; } // after stop()

    static const int replayWindow = 200;

private:
    void post(std::function<void()> call);
    // On the forwarder's thread.
    void store(const QVector<Outgoing> &messages);
    void up();
    void flushAcknowledged();
    void replayMore();
    void publishGaps();
    void diskFailed();

    MqttSession &mqtt;
    const QByteArray gapsTopic;
    QThread thread;
    QObject context; // lives on `thread`: what the queued calls run in
    Journal journal;
    quint64 startSeq = 0;

    std::mutex acknowledgedMutex; // guards `acknowledgedTokens`
    QVector<quint64> acknowledgedTokens;

    // The forwarder thread's own.
    bool connected = false;
    bool diskFailureTold = false;
    quint64 replayEnd = 0; // the newest message of the backlog this connection replays
    quint64 cursor = 0;    // the newest replayed so far
    QSet<quint64> replaying;
    qint64 replayStart = -1; // epoch ms while a replay runs
    quint64 replayedNow = 0; // by this connection's replay
    quint64 lastReplayed = 0;
    QHash<quint64, Gap> gapsInFlight; // by token
    quint64 nextGapToken = 0;
    Figures done;
};

} // namespace gateway

#endif
