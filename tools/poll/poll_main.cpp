// ordelin-poll: the reference host. Loads the driver at run time, polls a
// PLC on a serial port (or the built-in simulator) and shows the values.
#include "driver_api.h"
#include "driver_host.h"
#include "embedded_sim.h"
#include "output.h"
#include "poll_loop.h"
#include "poll_options.h"
#include "request_set.h"
#include "serial_link.h"

#include <QtCore/QCoreApplication>

#include <unistd.h>

namespace {

using namespace pollhost;

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
    return tableOutput(port, isatty(STDOUT_FILENO) && !options.trace);
}

int exitCode(const PollLoop &loop)
{
    if (loop.gaveUpOpening())
        return fail(QStringLiteral("the link did not open within %1 ms").arg(loop.elapsedMs()),
                    LinkNeverOpened);
    if (!loop.portFailure().isEmpty())
        return fail(QStringLiteral("the port failed: ") + loop.portFailure(), ErrorsSeen);
    if (loop.stats().dropped > 0 || loop.failedRequests() > 0)
        return ErrorsSeen;
    return Success;
}

int runHost(const PollOptions &options)
{
    bool otherQtMajor = false;
    const auto api = loadDriver(options.library.isEmpty() ? defaultLibraryPath() : options.library,
                                &otherQtMajor);
    if (!api.ok())
        return fail(api.error(), otherQtMajor ? OtherQtMajor : LibraryFailed);
    const auto requests = buildRequests(api.value(), options);
    if (!requests.ok())
        return fail(requests.error(), BadVariable);

    std::shared_ptr<sim::Simulator> simulator;
    QString port = options.port;
    if (options.sim) {
        const auto started = startEmbeddedSimulator(options.simConfig);
        if (!started.ok())
            return fail(QStringLiteral("built-in simulator: ") + started.error(), PortFailed);
        simulator = started.value();
        port = simulator->portName();
    }
    SerialLink link;
    const auto opened = link.open(port, options.line);
    if (!opened.ok())
        return fail(opened.error(), PortFailed);

    const RequestSet &set = requests.value();
    DriverHost host(api.value(), options, set.cyclic, set.writes, set.onceReads);
    const std::unique_ptr<Output> output = makeOutput(options, port);
    installStopHandlers();
    host.start();
    PollLoop loop(api.value(), host, link, *output, options);
    loop.run();
    output->finish(loop.view(), loop.stats().summary(port, loop.elapsedMs()));
    if (simulator) {
        simulator->stop();
        for (const QString &line : simulator->inspect([](sim::SimEngine &e) { return e.report(); }))
            printError(QStringLiteral("simulator: %1\n").arg(line));
    }
    return exitCode(loop);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const auto options = parsePollOptions(QCoreApplication::arguments());
    if (!options.ok())
        return fail(options.error() + QStringLiteral(" (see --help)"), BadOption);
    if (options.value().showHelp) {
        printOut(options.value().helpText);
        return Success;
    }
    return runHost(options.value());
}
