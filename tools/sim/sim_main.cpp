// ordelin-sim: a software PLC on a pseudo-terminal or a serial port.
// Exit codes: 0 stopped by a signal, 1 bad option, 2 bad initial values
// file, 3 the line cannot be opened.
#include "simulator.h"
#include "sim_options.h"

#include <QtCore/QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

int fail(const QString &message, int code)
{
    std::fprintf(stderr, "ordelin-sim: %s\n", qPrintable(message));
    return code;
}

// Blocked in every thread, so the main thread alone takes them, by sigwait.
sigset_t stopSignals()
{
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGTERM);
    return stopSet;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const auto options = sim::parseSimOptions(QCoreApplication::arguments());
    if (!options.ok())
        return fail(options.error() + QStringLiteral(" (see --help)"), 1);
    if (options.value().showHelp) {
        std::fputs(qPrintable(options.value().helpText), stdout);
        return 0;
    }
    const sim::SimOptions &o = options.value();
    const auto device = o.port.isEmpty() ? sim::openPseudoTerminal()
                                         : sim::openSerialPort(o.port, o.config.line.settings);
    if (!device.ok())
        return fail(device.error(), 3);

    const sigset_t stopSet = stopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
    const auto simulator = sim::Simulator::start(o.config, device.value());
    if (!simulator.ok())
        return fail(simulator.error(), 2);
    std::printf("%s\n", qPrintable(device.value()->portName()));
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSet, &received);
    simulator.value()->stop();
    const QStringList report = simulator.value()->inspect([](sim::SimEngine &e) { return e.report(); });
    for (const QString &line : report)
        std::printf("ordelin-sim: %s\n", qPrintable(line));
    return 0;
}
