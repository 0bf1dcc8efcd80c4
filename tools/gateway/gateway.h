// What the gateway does between the poll loop and the broker. The loop's
// thread reports values, link changes and ended writes (LoopEvents); the
// broker's network thread reports connections, acknowledgements and write
// requests (MqttEvents). One mutex guards what both touch: the last message
// of each tag, the message counter, the status and the table of open
// writes, so a republication after a reconnect and a change seen by the
// loop never interleave out of order. Tag messages go to the broker through
// the forwarder and its journal; the status and write results go directly.
#ifndef ORDELIN_GATEWAY_GATEWAY_H
#define ORDELIN_GATEWAY_GATEWAY_H

#include "forwarder.h"
#include "messages.h"
#include "mqtt_session.h"

#include "host/loop_events.h"

#include <QtCore/QHash>

#include <atomic>
#include <mutex>

namespace gateway {

class Gateway : public pollhost::LoopEvents, public MqttEvents {
public:
    // `heartbeatS` 0: a tag is published only when it changed.
    Gateway(const QString &prefix, int heartbeatS, QList<pollhost::ShownTag> tags, pollhost::DriverHost &host);

    // Both before the loop and the session start; `seq` goes on after the
    // forwarder's journal's last.
    void attach(MqttSession *session, Forwarder *forwarder);
    // The epoch time of the loop clock's zero: PollLoop::run() is next.
    void loopStarts(qint64 epochMs) { loopStartMs = sinceMs = epochMs; }
    QByteArray statusTopic() const { return topic(QStringLiteral("status")); }
    QByteArray gapsTopic() const { return topic(QStringLiteral("gaps")); }

    void show(const pollhost::PollView &view) override;
    void event(qint64 elapsedMs, const pollhost::HostEvent &event) override;
    void linkChanged(qint64 elapsedMs, const pollhost::ExchangeStats &stats) override;
    void trace(const QString &line) override;

    void connected() override;
    void message(const QByteArray &topic, const QByteArray &payload, bool retained,
                 const QString &clientId) override;
    void acknowledged(quint64 token) override { forwarder->acknowledged(token); }
    void disconnected() override { forwarder->brokerDown(); }

private:
    struct Published {
        bool made = false;
        TagState state;
        qint64 atNs = 0;
    };
    // A write handed to the loop, until its event comes back.
    struct OpenWrite {
        QString tag;
        QString id;
        QJsonValue asked;
        QString clientId;
    };
    QByteArray topic(const QString &tail) const { return (prefix + QLatin1Char('/') + tail).toUtf8(); }
    Outgoing tagMessage(int index); // with the mutex held
    void publishStatus();       // with the mutex held
    void answer(const OpenWrite &write, const QString &status, const QString &reason);

    const QString prefix;
    const qint64 heartbeatNs;
    const QList<pollhost::ShownTag> tags;
    QHash<QString, int> byName;
    pollhost::DriverHost &host;
    MqttSession *mqtt = nullptr;
    Forwarder *forwarder = nullptr;
    std::atomic<pollhost::LinkState> link{pollhost::LinkState::Opening};
    qint64 loopStartMs = 0;

    std::mutex mutex; // guards the members below
    QVector<Published> published;
    quint64 seq = 0;
    qint64 sinceMs = 0; // of the link's state
    QHash<QString, OpenWrite> open; // by the write's text, which its event names
    quint64 requests = 0;
};

} // namespace gateway

#endif
