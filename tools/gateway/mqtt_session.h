// The gateway's side of the broker, through libmosquitto: one connection,
// kept up for the whole run, with its last will set.
//
// Threads. The poll loop owns the main thread and all its waiting, so the
// broker gets one thread of its own, which runs libmosquitto's
// mosquitto_loop() and nothing else. That is what mosquitto_loop_start()
// would start too; we drive the loop ourselves because its thread retries
// a refused password for ever, ends without a word when the TLS handshake
// is refused, and waits 1, 4, 9, ... s between attempts where we want
// 1, 2, 4, ... 30 s. The callbacks run on that thread; they hand writes to
// the poll loop through the host library's thread-safe DriverHost::postWrite
// and the gateway's mutex-guarded table of open writes (see gateway.h).
// mosquitto_publish() may be called from any thread (threaded mode).
#ifndef ORDELIN_GATEWAY_MQTT_SESSION_H
#define ORDELIN_GATEWAY_MQTT_SESSION_H

#include "common/result.h"
#include "common/wake_up.h"

#include <QtCore/QByteArray>
#include <QtCore/QHash>
#include <QtCore/QString>

#include <atomic>
#include <mutex>
#include <thread>

struct mosquitto;

namespace gateway {

// One line on standard error, "ordelin-gateway: " first, written whole
// whichever thread says it. The process of one line of a plant names its
// line there ("ordelin-gateway[press]: "), so that the lines' messages,
// which share the supervisor's standard error, can be told apart.
void tell(const QString &line);
// The line this process serves, or none; said once, before any thread starts.
void tellForLine(const QString &lineName);

struct BrokerSettings {
    QString host = QStringLiteral("127.0.0.1");
    int port = 0; // 0: 1883, or 8883 with TLS
    QString clientId;
    int qos = 1;
    int version = 5; // MQTT 5, or 4 for 3.1.1
    QString cafile, certfile, keyfile; // TLS when cafile is given
    QString username, password;
    QByteArray willTopic, willPayload; // retained
    bool tls() const { return !cafile.isEmpty(); }
    int portOrDefault() const { return port ? port : tls() ? 8883 : 1883; }
};

// What the session tells the gateway, on the network thread.
class MqttEvents {
public:
    virtual ~MqttEvents() = default;
    // The broker accepted us: subscribe and publish what it must know.
    virtual void connected() = 0;
    // `clientId`: the publisher's user property "client-id" (MQTT 5), if it sent one.
    virtual void message(const QByteArray &topic, const QByteArray &payload, bool retained,
                         const QString &clientId) = 0;
    // The broker acknowledged the publication given this token.
    virtual void acknowledged(quint64 token) { Q_UNUSED(token) }
    // The connection is gone, and with it every publication not yet acknowledged.
    virtual void disconnected() {}
};

// Why the session gave up: causes that no retry can mend.
enum class MqttFatal { None, Credentials, Tls };

class MqttSession {
public:
    // `programStop` is raised when the session gives up for good.
    MqttSession(const BrokerSettings &settings, MqttEvents &events, tools::WakeUp &programStop);
    ~MqttSession();
    MqttSession(const MqttSession &) = delete;
    MqttSession &operator=(const MqttSession &) = delete;

    // Sets the client up (TLS files, credentials, last will) and starts the
    // network thread, which connects when the broker can be reached.
    tools::Result<bool> start();
    // False when not connected: the message is not kept here. A `token`
    // other than 0 comes back through MqttEvents::acknowledged() when the
    // broker acknowledged the message (at QoS 0: when it was written out).
    bool publish(const QByteArray &topic, const QByteArray &payload, bool retain, quint64 token = 0);
    bool subscribe(const QByteArray &pattern);
    // Publishes the last words (a clean stop is no death, so the broker
    // sends no will), disconnects and ends the thread, within a second.
    void finish(const QByteArray &topic, const QByteArray &payload);

    MqttFatal fatal() const { return fatalCause; }
    const QString &fatalMessage() const { return fatalText; }
    quint64 outages() const { return lost; }
    QString address() const;

    // libmosquitto's callbacks, on the network thread.
    void onConnect(int reason);
    void onDisconnect(int rc);
    void onMessage(const QByteArray &topic, const QByteArray &payload, bool retained, const QString &clientId);
    void onPublished(int mid);
    void onLog(int level, const char *text);

private:
    tools::Result<bool> configure();
    void run();
    void connectionEnded();
    bool giveUp(int rc, int error);

    BrokerSettings settings;
    MqttEvents &events;
    tools::WakeUp &programStop;
    tools::WakeUp quit; // ends the thread's back-off wait
    std::mutex lastWordsMutex; // guards lastWordsMid
    int lastWordsMid = -1;     // of the offline status a clean stop publishes
    // Held across mosquitto_publish() so that an acknowledgement, which may
    // come before it returns, finds its token. Message ids start again with
    // each connection, so the table is emptied when one ends.
    std::mutex tokensMutex;
    QHash<int, quint64> tokens; // by message id
    tools::WakeUp acknowledged; // raised when the broker acknowledged it
    std::mutex clientMutex; // the network thread makes the client new while no one else uses it
    mosquitto *client = nullptr;
    std::thread network;
    std::atomic<bool> isConnected{false};
    std::atomic<bool> finishing{false};
    std::atomic<qint64> finishByNs{tools::never};
    // Written on the network thread only, read by the main one after it ended.
    bool connectedThisAttempt = false;
    bool credentialsRefused = false;
    QString refusal;  // the broker's reason when it refused the connection
    QString tlsError; // the last TLS error libmosquitto logged
    MqttFatal fatalCause = MqttFatal::None;
    QString fatalText;
    std::atomic<quint64> lost{0};
};

} // namespace gateway

#endif
