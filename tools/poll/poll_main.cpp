// ordelin-poll: the reference host. Loads the driver at run time, polls a
// PLC on a serial port (or the built-in simulator) and shows the values.
#include "output.h"
#include "poll_options.h"

#include "host/driver_api.h"
#include "host/driver_host.h"
#include "host/embedded_sim.h"
#include "host/line_scan.h"
#include "host/poll_loop.h"
#include "host/project_file.h"
#include "host/request_set.h"
#include "host/serial_link.h"

#include "common/option_values.h"
#include "common/stop_signals.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QSet>

#include <cstdio>
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
    OutputFailed = 8,
    NothingAnswered = 9,
};

int fail(const QString &message, ExitCode code)
{
    printError(QStringLiteral("%1: %2\n").arg(tools::programName(), message));
    return code;
}

// A log file that cannot be written ends the run, with the reason in
// `failure`: nothing is lost silently.
std::unique_ptr<Output> makeOutput(const PollOptions &options, const QString &port,
                                   const QList<ShownTag> &tags, tools::WakeUp &stop, QString &failure)
{
    RecordTarget target{tags, nullptr, options.logChanges, [&stop, &failure](const QString &why) {
                            failure = why;
                            stop.raise();
                        }};
    if (!options.outputPath.isEmpty())
        target.file = std::make_unique<LogSink>(options.outputPath, options.rotation);
    // A trace on the same terminal would scroll the table away mid-redraw.
    auto table = tableOutput(port, isatty(STDOUT_FILENO) && !options.host.trace, tags);
    auto records = options.format == OutputFormat::Json ? jsonOutput(std::move(target))
                 : options.format == OutputFormat::Csv  ? csvOutput(std::move(target))
                                                        : nullptr;
    if (!records)
        return table;
    return options.outputPath.isEmpty() ? std::move(records)
                                        : bothOutputs(std::move(table), std::move(records));
}

int saveProject(const PollOptions &options, const RequestSet &set)
{
    if (QFileInfo::exists(options.saveConfig) && !options.force)
        return fail(QStringLiteral("%1 exists: not replaced without --force").arg(options.saveConfig), OutputFailed);
    Project project{options.projectLine, {}, {}};
    // The project's tags first, then the plain variables it does not have yet.
    QSet<QString> named;
    for (const ShownTag &shown : set.tags) {
        if (shown.named) {
            named << shown.tag.name;
            project.tags << shown.tag;
        }
    }
    for (const ShownTag &shown : set.tags) {
        if (!shown.named && !named.contains(shown.tag.name))
            project.tags << shown.tag;
    }
    const auto saved = writeProject(options.saveConfig, project);
    if (!saved.ok())
        return fail(saved.error(), OutputFailed);
    printError(QStringLiteral("%1: saved %2 tags and the line settings in %3; nothing was sent\n")
                   .arg(tools::programName()).arg(project.tags.size()).arg(options.saveConfig));
    return Success;
}

int exitCode(const PollLoop &loop, LoopEnd end, const SerialLink &link, const HostSettings &settings,
             const QString &outputFailure)
{
    if (!outputFailure.isEmpty())
        return fail(QStringLiteral("cannot write the log: ") + outputFailure, OutputFailed);
    if (end == LoopEnd::PortFailed)
        return fail(QStringLiteral("the port failed: ") + link.failure(), PortFailed);
    const bool neededTheLink = end != LoopEnd::Done || loop.stats().exchanges > 0;
    if (!loop.stats().everOpened && neededTheLink)
        return fail(end == LoopEnd::NeverOpened
                        ? QStringLiteral("the link did not open within %1 ms (--open-timeout)")
                              .arg(settings.openTimeoutMs)
                        : QStringLiteral("the link never opened"),
                    LinkNeverOpened);
    if (loop.stats().dropped > 0 || loop.failedRequests() > 0 || loop.stats().outages > 0)
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

// --scan: each setting that answered as it comes, then the options to use.
int runScan(const PollOptions &options)
{
    tools::WakeUp stop;
    tools::raiseOnStopSignals(stop);
    const QList<tools::LineSettings> candidates = scanCandidates();
    printOut(QStringLiteral("scanning %1: %2 settings, up to %3 ms each\n")
                 .arg(options.port).arg(candidates.size()).arg(options.scanTimeoutMs));
    // Only what was heard is listed; the silent and refused are counted.
    const ScanReport report = scanLine(options.port, candidates, options.scanTimeoutMs, stop, [](const ScanStep &step) {
        if (step.outcome == ScanOutcome::Answered || step.outcome == ScanOutcome::Garbled)
            printOut(QStringLiteral("  %1  %2\n").arg(tools::describe(step.settings), -11).arg(describe(step)));
    });
    if (!report.failure.isEmpty())
        return fail(report.failure, PortFailed);
    int counts[4] = {};
    for (const ScanStep &step : report.steps)
        ++counts[int(step.outcome)];
    printOut(QStringLiteral("%1 settings tried%2: %3 answered, %4 heard otherwise, %5 silent, %6 refused by the port\n")
                 .arg(report.steps.size())
                 .arg(report.stopped ? QStringLiteral(" (stopped before the end)") : QString())
                 .arg(counts[int(ScanOutcome::Answered)]).arg(counts[int(ScanOutcome::Garbled)])
                 .arg(counts[int(ScanOutcome::Silent)]).arg(counts[int(ScanOutcome::Refused)]));
    if (report.pseudoTerminal && counts[int(ScanOutcome::Answered)] > 0)
        printOut(QStringLiteral("%1 is a pseudo-terminal: it keeps a host's baud rate but not its framing, "
                                "so the framings that answered there are not told apart\n")
                     .arg(options.port));
    const ScanStep *found = report.found();
    if (!found && report.stopped)
        return fail(QStringLiteral("stopped before any setting answered on %1").arg(options.port), NothingAnswered);
    if (!found)
        return fail(QStringLiteral("no setting answered on %1: check the cable, the PLC's port settings "
                                   "and that it is powered").arg(options.port), NothingAnswered);
    printOut(QStringLiteral("use: %1 --port %2 %3 VARIABLE...\n")
                 .arg(tools::programName(), options.port, lineArguments(found->settings).join(QLatin1Char(' '))));
    return Success;
}

int runHost(const PollOptions &options)
{
    bool otherQtMajor = false;
    const auto api = loadDriver(options.library.isEmpty() ? defaultLibraryPath() : options.library,
                                &otherQtMajor);
    if (!api.ok())
        return fail(api.error(), otherQtMajor ? OtherQtMajor : LibraryFailed);
    const auto requests = buildRequests(api.value(), options.variables, {options.projectTags, options.projectPath},
                                        options.writes, options.onceReads, options.host.language);
    if (!requests.ok())
        return fail(requests.error(), BadVariable);
    if (!options.saveConfig.isEmpty())
        return saveProject(options, requests.value());

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
    // A log never takes the place of what the run reads.
    const QStringList inputs = options.inputFiles + QStringList{options.simConfig.initialValuesPath};
    for (const QString &input : inputs) {
        if (!options.outputPath.isEmpty() && !input.isEmpty()
            && QFileInfo(input).canonicalFilePath() == QFileInfo(options.outputPath).canonicalFilePath())
            return fail(QStringLiteral("--output %1 is one of the run's own input files").arg(options.outputPath),
                        OutputFailed);
    }
    tools::WakeUp stop;
    const RequestSet &set = requests.value();
    QString outputFailure;
    const std::unique_ptr<Output> output = makeOutput(options, port, set.tags, stop, outputFailure);
    const QString unwritable = output->prepare();
    if (!unwritable.isEmpty())
        return fail(QStringLiteral("cannot write the log: ") + unwritable, OutputFailed);
    SerialLink link(stop, options.host.guardMs, options.host.protocolMode == 0);
    const auto opened = link.open(port, options.line);
    if (!opened.ok() && !options.host.reconnect)
        return fail(opened.error() + (options.sim ? simulatorLineHint(options.line) : QString()), PortFailed);
    // An overnight logger may start before its adapter is plugged in.
    if (!opened.ok())
        printError(QStringLiteral("%1: %2; waiting for it (--reconnect)\n").arg(tools::programName(), opened.error()));

    DriverHost host(api.value(), options.host, set.cyclic, set.writes, set.onceReads);
    tools::raiseOnStopSignals(stop);
    host.start();
    PollLoop loop(api.value(), host, link, *output, options.host, stop);
    const LoopEnd end = loop.run();
    output->finish(loop.view(), loop.stats().summary(port, loop.elapsedMs(), options.line));
    if (outputFailure.isEmpty() && std::ferror(stdout))
        outputFailure = QStringLiteral("standard output: a write failed");
    if (simulator) {
        simulator->stop();
        for (const QString &line : simulator->inspect([](sim::SimEngine &e) { return e.report(); }))
            printError(QStringLiteral("simulator: %1\n").arg(line));
    }
    return exitCode(loop, end, link, options.host, outputFailure);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(ORDELIN_VERSION));
    const auto options = parsePollOptions(QCoreApplication::arguments());
    if (!options.ok())
        return fail(options.error() + QStringLiteral(" (see --help)"), BadOption);
    if (!options.value().projectError.isEmpty())
        return fail(options.value().projectError, BadVariable);
    if (options.value().showHelp) {
        printOut(options.value().helpText);
        return Success;
    }
    return options.value().scan ? runScan(options.value()) : runHost(options.value());
}
