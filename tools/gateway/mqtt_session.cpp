#include "mqtt_session.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace gateway {

using tools::msNs;
using tools::nowNs;

namespace {

QString teller = QStringLiteral("ordelin-gateway: ");


MqttSession *session(void *userdata)
{
    return static_cast<MqttSession *>(userdata);
}

void connectCallback(mosquitto *, void *userdata, int reason, int, const mosquitto_property *)
{
    session(userdata)->onConnect(reason);
}

void disconnectCallback(mosquitto *, void *userdata, int rc)
{
    session(userdata)->onDisconnect(rc);
}

// MQTT 5 gives no broker-stamped sender; a publisher may name itself in a
// user property, which the audit line then quotes as the publisher's claim.
void messageCallback(mosquitto *, void *userdata, const mosquitto_message *message,
                     const mosquitto_property *properties)
{
    QString clientId;
    char *name = nullptr;
    char *value = nullptr;
    bool skipFirst = false; // after the first, each search starts past the one found
    for (const mosquitto_property *at = properties;
         (at = mosquitto_property_read_string_pair(at, MQTT_PROP_USER_PROPERTY, &name, &value, skipFirst));
         skipFirst = true) {
        if (std::strcmp(name, "client-id") == 0)
            clientId = QString::fromUtf8(value);
        std::free(name);
        std::free(value);
    }
    session(userdata)->onMessage(QByteArray(message->topic),
                                 QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
                                 message->retain, clientId);
}

void publishCallback(mosquitto *, void *userdata, int mid)
{
    session(userdata)->onPublished(mid);
}

void logCallback(mosquitto *, void *userdata, int level, const char *text)
{
    session(userdata)->onLog(level, text);
}

// Broker's reasons for refusing the user: MQTT 3.1.1 "bad user name or
// password" and "not authorised", MQTT 5 the same two.
bool credentialsReason(int reason)
{
    return reason == 4 || reason == 5 || reason == MQTT_RC_BAD_USERNAME_OR_PASSWORD
        || reason == MQTT_RC_NOT_AUTHORIZED;
}

} // namespace

void tellForLine(const QString &lineName)
{
    if (!lineName.isEmpty())
        teller = QStringLiteral("ordelin-gateway[%1]: ").arg(lineName);
}

void tell(const QString &line)
{
    std::fputs((teller + line + '\n').toUtf8().constData(), stderr);
    std::fflush(stderr);
}

MqttSession::MqttSession(const BrokerSettings &settings, MqttEvents &events, tools::WakeUp &programStop)
    : settings(settings), events(events), programStop(programStop)
{
}

MqttSession::~MqttSession()
{
    if (network.joinable()) {
        finishing = true;
        finishByNs = nowNs();
        mosquitto_disconnect(client);
        quit.raise();
        network.join();
    }
    if (client)
        mosquitto_destroy(client);
}

QString MqttSession::address() const
{
    const QString host = settings.host.contains(QLatin1Char(':')) ? '[' + settings.host + ']' : settings.host;
    return QStringLiteral("%1:%2").arg(host).arg(settings.portOrDefault());
}

tools::Result<bool> MqttSession::start()
{
    const QByteArray id = settings.clientId.toUtf8();
    client = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!client)
        return tools::Result<bool>::failure(QStringLiteral("cannot make an MQTT client: %1").arg(std::strerror(errno)));
    const auto configured = configure();
    if (configured.ok())
        network = std::thread([this] { run(); });
    return configured;
}

// Everything a new client, or one made new again, needs before it connects.
tools::Result<bool> MqttSession::configure()
{
    using Failure = tools::Result<bool>;
    mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, settings.version == 5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311);
    mosquitto_threaded_set(client, true);
    mosquitto_connect_v5_callback_set(client, connectCallback);
    mosquitto_disconnect_callback_set(client, disconnectCallback);
    mosquitto_message_v5_callback_set(client, messageCallback);
    mosquitto_publish_callback_set(client, publishCallback);
    mosquitto_log_callback_set(client, logCallback);
    if (settings.tls()) {
        const QByteArray ca = settings.cafile.toUtf8();
        const QByteArray cert = settings.certfile.toUtf8();
        const QByteArray key = settings.keyfile.toUtf8();
        const int rc = mosquitto_tls_set(client, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                                         key.isEmpty() ? nullptr : key.constData(), nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return Failure::failure(QStringLiteral("cannot use the TLS files (--cafile, --cert, --key): %1 "
                                                   "(a file is missing or unreadable)").arg(mosquitto_strerror(rc)));
    }
    if (!settings.username.isEmpty()) {
        const QByteArray user = settings.username.toUtf8();
        const QByteArray password = settings.password.toUtf8();
        mosquitto_username_pw_set(client, user.constData(), settings.password.isNull() ? nullptr : password.constData());
    }
    const int will = mosquitto_will_set(client, settings.willTopic.constData(), int(settings.willPayload.size()),
                                        settings.willPayload.constData(), settings.qos, true);
    if (will != MOSQ_ERR_SUCCESS)
        return Failure::failure(QStringLiteral("cannot set the last will: %1").arg(mosquitto_strerror(will)));
    return true;
}

bool MqttSession::publish(const QByteArray &topic, const QByteArray &payload, bool retain, quint64 token)
{
    std::lock_guard<std::mutex> hold(clientMutex);
    std::lock_guard<std::mutex> holdTokens(tokensMutex);
    int mid = 0;
    const bool sent = isConnected && mosquitto_publish(client, &mid, topic.constData(), int(payload.size()),
                                                       payload.constData(), settings.qos, retain) == MOSQ_ERR_SUCCESS;
    if (sent && token)
        tokens.insert(mid, token);
    return sent;
}

bool MqttSession::subscribe(const QByteArray &pattern)
{
    std::lock_guard<std::mutex> hold(clientMutex);
    return mosquitto_subscribe(client, nullptr, pattern.constData(), settings.qos) == MOSQ_ERR_SUCCESS;
}

void MqttSession::finish(const QByteArray &topic, const QByteArray &payload)
{
    if (!network.joinable())
        return;
    // libmosquitto closes the socket right after writing the DISCONNECT; an
    // acknowledgement still unread then turns the close into a reset, which
    // can cost the broker the last words and the DISCONNECT both (it then
    // sends the will). So the last words go at QoS 1 and the DISCONNECT
    // only after their acknowledgement, which answers everything before it.
    {
        std::lock_guard<std::mutex> hold(lastWordsMutex);
        std::lock_guard<std::mutex> holdClient(clientMutex);
        if (!isConnected || mosquitto_publish(client, &lastWordsMid, topic.constData(), int(payload.size()),
                                              payload.constData(), 1, true) != MOSQ_ERR_SUCCESS)
            lastWordsMid = -1;
    }
    if (lastWordsMid >= 0)
        acknowledged.sleepUntil(nowNs() + 500 * msNs);
    // The thread writes the DISCONNECT and ends when the socket has closed,
    // or at this bound.
    finishByNs = nowNs() + 300 * msNs;
    finishing = true;
    mosquitto_disconnect(client);
    quit.raise();
    network.join();
}

void MqttSession::onPublished(int mid)
{
    {
        std::lock_guard<std::mutex> hold(lastWordsMutex);
        if (mid == lastWordsMid)
            acknowledged.raise();
    }
    std::unique_lock<std::mutex> hold(tokensMutex);
    const quint64 token = tokens.take(mid);
    hold.unlock();
    if (token)
        events.acknowledged(token);
}

// The network thread: one connection attempt after another, each served by
// mosquitto_loop() until it ends, with a pause doubling from 1 s to 30 s
// between attempts that failed, back to 1 s after a connection that held.
void MqttSession::run()
{
    int pauseS = 1;
    for (bool first = true; !finishing; first = false) {
        connectedThisAttempt = credentialsRefused = false;
        refusal.clear();
        tlsError.clear();
        // libmosquitto would send the publications of the last connection
        // that the broker had not acknowledged again after the new CONNACK,
        // behind the fresh ones that connected() publishes, and turn the
        // broker's retained values back. A client made new forgets them.
        if (!first) {
            {
                std::lock_guard<std::mutex> hold(clientMutex);
                const QByteArray id = settings.clientId.toUtf8();
                mosquitto_reinitialise(client, id.isEmpty() ? nullptr : id.constData(), true, this);
            }
            // Outside the lock: the setters take libmosquitto's callback
            // lock, under which it calls us, and we take clientMutex there.
            // Nobody else calls into the client until it is connected again.
            configure(); // it worked once with the same settings
        }
        const QByteArray host = settings.host.toUtf8();
        int rc = mosquitto_connect_async(client, host.constData(), settings.portOrDefault(), 30);
        int error = errno;
        // Each call waits at most 500 ms on the socket and libmosquitto's
        // wake-up pipe, which a publication or the DISCONNECT writes to.
        while (rc == MOSQ_ERR_SUCCESS && !(finishing && nowNs() >= finishByNs)) {
            rc = mosquitto_loop(client, 500, 1);
            error = errno;
        }
        connectionEnded();
        if (finishing || giveUp(rc, error))
            return;
        const QString why = rc == MOSQ_ERR_ERRNO         ? QString::fromUtf8(std::strerror(error))
                          : !refusal.isEmpty()            ? QStringLiteral("refused: ") + refusal
                                                          : QString::fromUtf8(mosquitto_strerror(rc));
        if (connectedThisAttempt) {
            pauseS = 1;
            tell(QStringLiteral("lost the broker at %1 (%2), outage %3; polling goes on, reconnecting in 1 s")
                     .arg(address(), why).arg(++lost));
        } else {
            tell(QStringLiteral("cannot reach the broker at %1 (%2); polling goes on, retrying in %3 s")
                     .arg(address(), why).arg(pauseS));
        }
        quit.sleepUntil(nowNs() + pauseS * 1000 * msNs);
        pauseS = std::min(2 * pauseS, 30);
    }
}

// A refused password, or a TLS handshake that failed before the broker
// answered, will fail the same way every time: the run ends with its cause.
bool MqttSession::giveUp(int rc, int error)
{
    if (credentialsRefused) {
        fatalCause = MqttFatal::Credentials;
        fatalText = QStringLiteral("the broker at %1 refused the user name or password (%2)").arg(address(), refusal);
    } else if (settings.tls() && !connectedThisAttempt
               && (rc == MOSQ_ERR_TLS || (rc == MOSQ_ERR_ERRNO && error == EPROTO))) {
        fatalCause = MqttFatal::Tls;
        fatalText = QStringLiteral("the TLS handshake with the broker at %1 failed: %2")
                        .arg(address(), tlsError.isEmpty() ? QString::fromUtf8(mosquitto_strerror(rc)) : tlsError);
    } else {
        return false;
    }
    programStop.raise();
    return true;
}

void MqttSession::onConnect(int reason)
{
    if (reason != 0) {
        refusal = QString::fromUtf8(settings.version == 5 ? mosquitto_reason_string(reason)
                                                          : mosquitto_connack_string(reason));
        credentialsRefused = credentialsReason(reason);
        return;
    }
    connectedThisAttempt = true;
    isConnected = true;
    tell(QStringLiteral("connected to the broker at %1").arg(address()));
    events.connected();
}

void MqttSession::onDisconnect(int)
{
    connectionEnded();
}

void MqttSession::connectionEnded()
{
    isConnected = false;
    {
        std::lock_guard<std::mutex> hold(tokensMutex);
        tokens.clear();
    }
    events.disconnected();
}

void MqttSession::onMessage(const QByteArray &topic, const QByteArray &payload, bool retained, const QString &clientId)
{
    events.message(topic, payload, retained, clientId);
}

// libmosquitto logs OpenSSL's own words for a failed handshake; they name
// the cause better than its error code.
void MqttSession::onLog(int level, const char *text)
{
    static const char openssl[] = "OpenSSL Error";
    if ((level & MOSQ_LOG_ERR) && std::strncmp(text, openssl, sizeof openssl - 1) == 0) {
        const char *colon = std::strstr(text, "]: ");
        tlsError = QString::fromUtf8(colon ? colon + 3 : text);
    }
}

} // namespace gateway
