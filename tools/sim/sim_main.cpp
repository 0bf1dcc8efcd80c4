// ordelin-sim: a software PLC on a pseudo-terminal or a serial port.
// Exit codes: 0 stopped by a signal, 1 bad option, 2 bad initial values
// file, 3 the line cannot be opened or hung up, and --reconnect was not given.
#include "simulator.h"
#include "sim_options.h"

#include "common/stop_signals.h"

#include <QtCore/QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

int fail(const QString &message, int code)
{
    std::fprintf(stderr, "ordelin-sim: %s\n", qPrintable(message));
    return code;
}

// Until a stop: true when the port is back, false when stopped first. One
// try a second, sleeping in between.
bool reopen(sim::Simulator &simulator, const sim::SimOptions &o)
{
    std::fprintf(stderr, "ordelin-sim: waiting for %s to come back\n", qPrintable(o.port));
    while (simulator.sleep(1000)) {
        auto device = sim::openSerialPort(o.port, o.config.line.settings);
        if (device.ok()) {
            simulator.setDevice(device.value());
            std::fprintf(stderr, "ordelin-sim: %s is back\n", qPrintable(o.port));
            return true;
        }
    }
    return false;
}

// With --reconnect a port that is not there yet (an adapter to be plugged
// in) is waited for like one that went away: one try a second until it
// opens or a stop signal comes.
sim::DeviceResult awaitPort(const sim::SimOptions &o, tools::WakeUp &stop, const QString &why)
{
    std::fprintf(stderr, "ordelin-sim: %s; waiting for %s to appear (--reconnect)\n", qPrintable(why),
                 qPrintable(o.port));
    tools::raiseOnStopSignals(stop);
    while (stop.sleepUntil(tools::nowNs() + 1000 * tools::msNs)) {
        auto device = sim::openSerialPort(o.port, o.config.line.settings);
        if (device.ok())
            return device;
    }
    return sim::DeviceResult::failure(QString());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORDELIN_VERSION));
    const auto options = sim::parseSimOptions(QCoreApplication::arguments());
    if (!options.ok())
        return fail(options.error() + QStringLiteral(" (see --help)"), 1);
    if (options.value().showHelp) {
        std::fputs(qPrintable(options.value().helpText), stdout);
        return 0;
    }
    const sim::SimOptions &o = options.value();
    auto device = o.port.isEmpty() ? sim::openPseudoTerminal()
                                   : sim::openSerialPort(o.port, o.config.line.settings);
    tools::WakeUp waiting; // only until the simulator has its own stop request
    if (!device.ok() && o.reconnect)
        device = awaitPort(o, waiting, device.error());
    if (!device.ok() && waiting.raised())
        return 0;
    if (!device.ok())
        return fail(device.error(), 3);
    const QString portName = device.value()->portName();
    const auto created = sim::Simulator::create(o.config, std::move(device.value()));
    if (!created.ok()) {
        for (const QString &line : created.error().split(QLatin1Char('\n')))
            fail(line, 2);
        return 2;
    }
    sim::Simulator &simulator = *created.value();
    tools::raiseOnStopSignals(simulator.stopRequest());
    if (waiting.raised()) // a signal that came while the port had just opened
        simulator.stopRequest().raise();
    std::printf("%s\n", qPrintable(portName));
    std::fflush(stdout);

    int code = 0;
    while (simulator.serve() == sim::Simulator::End::HungUp) {
        std::fprintf(stderr, "ordelin-sim: %s hung up\n", qPrintable(portName));
        simulator.setDevice(nullptr); // closes it
        if (!o.reconnect) {
            code = 3;
            break;
        }
        if (!reopen(simulator, o))
            break;
    }
    const QStringList report = simulator.inspect([](sim::SimEngine &e) { return e.report(); });
    for (const QString &line : report)
        std::printf("ordelin-sim: %s\n", qPrintable(line));
    return code;
}
