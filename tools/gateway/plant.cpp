#include "plant.h"

#include "exit_codes.h"
#include "messages.h"
#include "plant_line.h"

#include "common/stop_signals.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QSocketNotifier>

#include <memory>
#include <mutex>
#include <vector>

namespace gateway {

namespace {

// A line still there this long after the stop is killed, so that the
// supervisor's own last words still go out within two seconds.
const int killAfterMs = 1800;

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

BrokerSettings withWill(BrokerSettings broker, const QByteArray &topic)
{
    broker.willTopic = topic;
    broker.willPayload = compact({{QStringLiteral("state"), QStringLiteral("offline")}});
    return broker;
}

class Plant : public MqttEvents {
public:
    Plant(const GatewayOptions &options, const QStringList &arguments);
    int run();

    void connected() override;
    void message(const QByteArray &, const QByteArray &, bool, const QString &) override {}

private:
    QByteArray payload(const QString &state) const;
    void lineChanged();
    void stopLines();

    const QByteArray topic;
    const QStringList names;
    tools::WakeUp stop;
    MqttSession mqtt;
    std::vector<std::unique_ptr<PlantLine>> lines;
    QTimer killTimer;
    bool stopping = false;
    std::mutex mutex; // guards `latest`, which a new connection publishes again
    QByteArray latest;
};

Plant::Plant(const GatewayOptions &options, const QStringList &arguments)
    : topic((options.prefix + QStringLiteral("/lines")).toUtf8()), names(options.plantLines),
      mqtt(withWill(options.broker, topic), *this, stop)
{
    for (const QString &name : options.plantLines)
        lines.push_back(std::make_unique<PlantLine>(name, arguments.mid(1), [this] { lineChanged(); }));
    killTimer.setSingleShot(true);
    QObject::connect(&killTimer, &QTimer::timeout, [this] {
        for (const auto &line : lines)
            line->kill();
    });
}

int Plant::run()
{
    tools::raiseOnStopSignals(stop);
    const auto started = mqtt.start();
    if (!started.ok()) {
        tell(started.error());
        return BadOption;
    }
    QSocketNotifier stopNotifier(stop.fd(), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, [&] {
        stopNotifier.setEnabled(false); // the pipe stays readable
        stopLines();
    });
    tell(QStringLiteral("running the lines %1 under %2; broker %3")
             .arg(names.join(QStringLiteral(", ")), QString::fromUtf8(topic.chopped(6)), mqtt.address()));
    // From the event loop, which hears of every start and end.
    QTimer::singleShot(0, [this] {
        for (const auto &line : lines) {
            if (!stopping)
                line->start();
        }
    });
    const int code = QCoreApplication::exec();
    mqtt.finish(topic, payload(QStringLiteral("offline")));
    if (mqtt.fatal() != MqttFatal::None) {
        tell(mqtt.fatalMessage());
        return mqtt.fatal() == MqttFatal::Credentials ? CredentialsRefused : TlsRefused;
    }
    return code;
}

QByteArray Plant::payload(const QString &state) const
{
    QJsonArray states;
    for (const auto &line : lines)
        states.append(line->toJson());
    return compact({{QStringLiteral("state"), state},
                    {QStringLiteral("ts"), isoTime(QDateTime::currentMSecsSinceEpoch())},
                    {QStringLiteral("lines"), states}});
}

// On the network thread.
void Plant::connected()
{
    std::lock_guard<std::mutex> hold(mutex);
    if (!latest.isEmpty()) // an empty retained message would clear the broker's
        mqtt.publish(topic, latest, true);
}

void Plant::lineChanged()
{
    {
        std::lock_guard<std::mutex> hold(mutex);
        latest = payload(QStringLiteral("online"));
        mqtt.publish(topic, latest, true);
    }
    bool allEnded = true;
    for (const auto &line : lines)
        allEnded = allEnded && line->ended();
    if (!allEnded)
        return;
    if (!stopping)
        tell(QStringLiteral("every line has failed; the plant stops"));
    QCoreApplication::exit(stopping ? Stopped : lines.front()->exitCode());
}

// Every line at once, so that the slowest sets the time the stop takes.
void Plant::stopLines()
{
    stopping = true;
    killTimer.start(killAfterMs);
    for (const auto &line : lines)
        line->stop();
}

} // namespace

int runPlant(const GatewayOptions &options, const QStringList &arguments)
{
    if (!inClearRefusal(options).isEmpty()) {
        tell(inClearRefusal(options));
        return BrokerInClear;
    }
    Plant plant(options, arguments);
    return plant.run();
}

} // namespace gateway
