// ordelin-gateway: one PLC line's tags on an MQTT broker. The host library
// polls the line exactly as ordelin-poll does; what it shows goes to the
// broker instead of a terminal, and write requests come back from it. A
// project of several lines makes it the supervisor of one such process per
// line (plant.h).
#include "exit_codes.h"
#include "gateway.h"
#include "gateway_options.h"
#include "line_child.h"
#include "plant.h"

#include "host/embedded_sim.h"
#include "host/poll_loop.h"
#include "host/request_set.h"
#include "host/serial_link.h"

#include "common/stop_signals.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDateTime>

#include <mosquitto.h>

#include <cstdio>

namespace {

using namespace pollhost;
using namespace gateway;

int fail(const QString &message, ExitCode code)
{
    tell(message);
    return code;
}

// Tag names become topic levels: a / would split one, + and # are wildcards.
QString badTopicName(const QList<ShownTag> &tags)
{
    for (const ShownTag &shown : tags) {
        const QString &name = shown.tag.name;
        if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('+')) || name.contains(QLatin1Char('#')))
            return QStringLiteral("tag '%1': a name published as a topic level cannot hold /, + or #").arg(name);
    }
    return {};
}

int runGateway(const GatewayOptions &options)
{
    if (!inClearRefusal(options).isEmpty())
        return fail(inClearRefusal(options), BrokerInClear);
    bool otherQtMajor = false;
    const auto api = loadDriver(options.library.isEmpty() ? defaultLibraryPath() : options.library, &otherQtMajor);
    if (!api.ok())
        return fail(api.error(), otherQtMajor ? OtherQtMajor : LibraryFailed);
    const auto requests = buildRequests(api.value(), options.variables, {options.projectTags, options.projectPath},
                                        {}, {}, options.host.language);
    if (!requests.ok())
        return fail(requests.error(), BadTag);
    const QString badName = badTopicName(requests.value().tags);
    if (!badName.isEmpty())
        return fail(badName, BadTag);

    std::shared_ptr<sim::Simulator> simulator;
    QString port = options.line.port;
    if (options.line.sim) {
        sim::SimEngine probe(options.line.simConfig, 0);
        const QString badInit = probe.prepareMemory().join(QStringLiteral("; "));
        if (!badInit.isEmpty())
            return fail(QStringLiteral("--sim-options --init: ") + badInit, BadTag);
        const auto started = startEmbeddedSimulator(options.line.simConfig);
        if (!started.ok())
            return fail(QStringLiteral("built-in simulator: ") + started.error(), PortFailed);
        simulator = started.value();
        port = simulator->portName();
    }
    tools::WakeUp stop;
    SerialLink link(stop, options.host.guardMs, options.host.protocolMode == 0);
    const auto opened = link.open(port, options.line.line);
    if (!opened.ok())
        return fail(opened.error() + (options.line.sim ? simulatorLineHint(options.line.line) : QString()), PortFailed);

    DriverHost host(api.value(), options.host, requests.value().cyclic);
    Gateway gateway(options.prefix, options.heartbeatS, requests.value().tags, host);
    BrokerSettings broker = options.broker;
    broker.willTopic = gateway.statusTopic();
    broker.willPayload = offlinePayload(-1);
    MqttSession mqtt(broker, gateway, stop);
    Forwarder forwarder(mqtt, gateway.gapsTopic());
    QString notice;
    const auto journaled = forwarder.start(journalPath(options, qEnvironmentVariable("STATE_DIRECTORY")),
                                           options.journalLimits, &notice);
    if (!notice.isEmpty())
        tell(notice);
    if (!journaled.ok())
        return fail(journaled.error(), JournalFailed);
    gateway.attach(&mqtt, &forwarder);
    tools::raiseOnStopSignals(stop);
    host.start();
    const auto started = mqtt.start();
    if (!started.ok())
        return fail(started.error(), BadOption);
    tell(QStringLiteral("polling %1 as %2; broker %3").arg(port, options.prefix, mqtt.address()));
    PollLoop loop(api.value(), host, link, gateway, options.host, stop);
    gateway.loopStarts(QDateTime::currentMSecsSinceEpoch());
    const LoopEnd end = loop.run();
    mqtt.finish(gateway.statusTopic(), offlinePayload(QDateTime::currentMSecsSinceEpoch()));
    forwarder.stop();
    if (simulator)
        simulator->stop();
    const Forwarder::Figures journal = forwarder.figures();
    tell(QStringLiteral("stopped: %1 exchanges, %2 dropped, %3 port outages, %4 broker outages; journal: %5 "
                        "messages replayed, %6 kept for the next run, %7 lost to its limits in all")
             .arg(loop.stats().exchanges).arg(loop.stats().dropped).arg(loop.stats().outages).arg(mqtt.outages())
             .arg(journal.replayed).arg(journal.kept).arg(journal.lost));
    if (mqtt.fatal() != MqttFatal::None)
        return fail(mqtt.fatalMessage(), mqtt.fatal() == MqttFatal::Credentials ? CredentialsRefused : TlsRefused);
    if (end == LoopEnd::PortFailed)
        return fail(QStringLiteral("the port failed: ") + link.failure(), PortFailed);
    if (end == LoopEnd::NeverOpened)
        return fail(QStringLiteral("the link did not open within %1 ms (--open-timeout)").arg(options.host.openTimeoutMs),
                    LinkNeverOpened);
    return Stopped;
}

} // namespace

int main(int argc, char *argv[])
{
    if (!followSupervisor())
        return Stopped; // the plant it belonged to has stopped
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORDELIN_VERSION));
    const auto options = parseGatewayOptions(QCoreApplication::arguments(),
                                             qEnvironmentVariable("ORDELIN_MQTT_PASSWORD"));
    if (!options.ok())
        return fail(options.error() + QStringLiteral(" (see --help)"), BadOption);
    if (!options.value().projectError.isEmpty())
        return fail(options.value().projectError, BadTag);
    if (options.value().showHelp) {
        std::fputs(options.value().helpText.toUtf8().constData(), stdout);
        return Stopped;
    }
    tellForLine(options.value().lineName);
    mosquitto_lib_init();
    const int code = options.value().plantLines.isEmpty()
                         ? runGateway(options.value())
                         : runPlant(options.value(), QCoreApplication::arguments());
    mosquitto_lib_cleanup();
    return code;
}
