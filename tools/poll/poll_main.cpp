// ordelin-poll: the reference host. Loads the driver at run time, polls a
// PLC on a serial port (or the built-in simulator) and shows the values.
#include "output.h"
#include "poll_options.h"
#include "stop_signals.h"

#include "host/driver_api.h"
#include "host/driver_host.h"
#include "host/embedded_sim.h"
#include "host/poll_loop.h"
#include "host/request_set.h"
#include "host/serial_link.h"

#include <QtCore/QCoreApplication>

#include <unistd.h>

namespace {

using namespace pollhost;

// The table of docs/tools.md and of --help.
enum ExitCode {
    Success = 0,
    BadOption = 1,
    BadVariable = 2,
    LibraryFailed = 3,
    PortFailed = 4,
    LinkNeverOpened = 5,
    ErrorsSeen = 6,
    OtherQtMajor = 7,
};

int fail(const QString &message, ExitCode code)
{
    printError(QStringLiteral("ordelin-poll: %1\n").arg(message));
    return code;
}

std::unique_ptr<Output> makeOutput(const PollOptions &options, const QString &port)
{
    switch (options.format) {
    case OutputFormat::Csv: return csvOutput();
    case OutputFormat::Json: return jsonOutput();
    case OutputFormat::Table: break;
    }
    // A trace on the same terminal would scroll the table away mid-redraw.
    return tableOutput(port, isatty(STDOUT_FILENO) && !options.host.trace);
}

int exitCode(const PollLoop &loop, LoopEnd end, const SerialLink &link, const HostSettings &settings)
{
    if (end == LoopEnd::PortFailed)
        return fail(QStringLiteral("the port failed: ") + link.failure(), PortFailed);
    const bool neededTheLink = end != LoopEnd::Done || loop.stats().exchanges > 0;
    if (!loop.stats().everOpened && neededTheLink)
        return fail(end == LoopEnd::NeverOpened
                        ? QStringLiteral("the link did not open within %1 ms (--open-timeout)")
                              .arg(settings.openTimeoutMs)
                        : QStringLiteral("the link never opened"),
                    LinkNeverOpened);
    if (loop.stats().dropped > 0 || loop.failedRequests() > 0)
        return ErrorsSeen;
    return Success;
}

// The built-in simulator's --init file is the user's input: a bad one is
// refused like a bad variable, as ordelin-sim refuses it.
QString badInitialValues(const sim::SimConfig &config)
{
    sim::SimEngine probe(config, 0);
    return probe.prepareMemory().join(QStringLiteral("; "));
}

int runHost(const PollOptions &options)
{
    bool otherQtMajor = false;
    const auto api = loadDriver(options.library.isEmpty() ? defaultLibraryPath() : options.library,
                                &otherQtMajor);
    if (!api.ok())
        return fail(api.error(), otherQtMajor ? OtherQtMajor : LibraryFailed);
    const auto requests = buildRequests(api.value(), options.variables, options.writes,
                                        options.onceReads, options.host.language);
    if (!requests.ok())
        return fail(requests.error(), BadVariable);

    std::shared_ptr<sim::Simulator> simulator;
    QString port = options.port;
    if (options.sim) {
        const QString badInit = badInitialValues(options.simConfig);
        if (!badInit.isEmpty())
            return fail(QStringLiteral("--sim-options --init: ") + badInit, BadVariable);
        const auto started = startEmbeddedSimulator(options.simConfig);
        if (!started.ok())
            return fail(QStringLiteral("built-in simulator: ") + started.error(), PortFailed);
        simulator = started.value();
        port = simulator->portName();
    }
    WakeUp stop;
    SerialLink link(stop, options.host.guardMs);
    const auto opened = link.open(port, options.line);
    if (!opened.ok())
        return fail(opened.error(), PortFailed);

    const RequestSet &set = requests.value();
    DriverHost host(api.value(), options.host, set.cyclic, set.writes, set.onceReads);
    const std::unique_ptr<Output> output = makeOutput(options, port);
    raiseOnStopSignals(stop);
    host.start();
    PollLoop loop(api.value(), host, link, *output, options.host, stop);
    const LoopEnd end = loop.run();
    output->finish(loop.view(), loop.stats().summary(port, loop.elapsedMs()));
    if (simulator) {
        simulator->stop();
        for (const QString &line : simulator->inspect([](sim::SimEngine &e) { return e.report(); }))
            printError(QStringLiteral("simulator: %1\n").arg(line));
    }
    return exitCode(loop, end, link, options.host);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORDELIN_VERSION));
    const auto options = parsePollOptions(QCoreApplication::arguments());
    if (!options.ok())
        return fail(options.error() + QStringLiteral(" (see --help)"), BadOption);
    if (options.value().showHelp) {
        printOut(options.value().helpText);
        return Success;
    }
    return runHost(options.value());
}
