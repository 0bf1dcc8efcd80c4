#include "poll_options.h"

#include "host/host_options.h"
#include "host/project_file.h"
#include "host/variables.h"

#include "common/option_values.h"

namespace pollhost {

namespace {

using tools::Result;
using Failure = Result<PollOptions>;

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Reference host for the Ordelin driver: loads libOrdelin.so at run time, polls a PLC\n"
        "over a serial line and shows the values. Variables are written as the HMI editor\n"
        "writes them, FAMILY then address, with :N for N successive elements, e.g.\n"
        "  DM100:10  RLY00105:4  T5  C0  TM7  TV_c5  TV_p5  CV_c0  CV_p0  CTH1\n"
        "(relay addresses are channel ddd and bit DD, bits 00 to 15). Each one is checked\n"
        "by the driver and by this program before anything is sent.\n\n"
        "Exit codes:\n"
        "  0  everything asked for happened: the link opened, every write and once-read\n"
        "     was answered, no request was dropped\n"
        "  1  bad option\n"
        "  2  bad variable, write, tag or project file, or a bad --init for the built-in\n"
        "     simulator\n"
        "  3  the driver library cannot be loaded or lacks an export\n"
        "  4  the port (or the built-in simulator) cannot be opened, or failed\n"
        "  5  the link never opened (--open-timeout, --count, --duration or Ctrl-C came first)\n"
        "  6  errors: a request was dropped after its retries, or a write or once-read was\n"
        "     not queued, not sent, dropped, or not completed when the run ended; or the\n"
        "     port failed and was reopened (--reconnect)\n"
        "  7  the driver library was built against another Qt major version\n"
        "  8  the --output or --save-config file could not be written\n"
        "  9  --scan: no setting answered"));
    parser.addPositionalArgument(QStringLiteral("variables"),
                                 QStringLiteral("Variables to poll cyclically."),
                                 QStringLiteral("[VARIABLE...]"));
    parser.addOptions({
        option("port", "Serial port of the PLC, e.g. /dev/ttyUSB0.", "device"),
        option("sim", "Poll the built-in PLC simulator on a pseudo-terminal instead of a port."),
        option("sim-options", "Options for the built-in simulator, as ordelin-sim takes them, "
                              "in one argument, e.g. \"--no-reply 0.1 --seed 7\".", "options"),
        option("library", "Driver library to load (default: next to this program, then the "
                          "build tree).", "path"),
        option("file", "Read more variables from this file (whitespace-separated, # comments). "
                       "Repeatable.", "path"),
        option("write", "Write a value through SetRegisterData, e.g. DM100=1234, RLY00105=1, "
                        "DM10=1,2,3 for successive elements. Repeatable; sent in order, each "
                        "after the previous one completed.", "VARIABLE=VALUE"),
        option("once", "Read a variable once through AddListOnceReadVar after the writes "
                       "completed. Repeatable.", "VARIABLE"),
        option("station", "ComInfo default station (default 0).", "n", "0"),
        option("retries", "ComInfo retry limit: rejected replies tolerated before a request "
                          "is dropped (default 3).", "n", "3"),
        option("protocol-mode", "ComInfo protocol mode: 0 opens the link with the start-up "
                                "exchange (default 0).", "n", "0"),
        option("write-mode", "ComInfo write mode: 2 sends writes to the PLC, others only "
                             "change the driver's image (default 2).", "n", "2"),
        option("timeout", "Reply timeout in ms (default 500).", "ms", "500"),
        option("guard", "After a reply timed out, send nothing until the line has been quiet "
                        "this long, so a late reply is thrown away (default: the reply timeout).",
               "ms"),
        option("gap", "Pause between two exchanges in ms (default 0).", "ms", "0"),
        option("interval", "Pause after each full read cycle in ms (default 100).", "ms", "100"),
        option("open-timeout", "Give up when the link has not opened within this many ms "
                               "(default 5000).", "ms", "5000"),
        option("duration", "Stop after this many seconds (default: run until Ctrl-C).",
               "seconds", "0"),
        option("count", "Stop after this many exchanges; 0, the default, for no limit.", "n", "0"),
        option("format", "Output: table (refreshed in place on a terminal), csv or json "
                         "(one line per read cycle).", "format", "table"),
        option("trace", "Print every frame and reply in hex and ASCII with a timestamp "
                        "to standard error."),
        option("config", "Read the line settings and tags from this project file; options "
                         "given here override its settings.", "file"),
        option("save-config", "Write the line settings and the variables and tags as a project "
                              "file, then exit without opening the line.", "file"),
        option("force", "Let --save-config replace a file that exists."),
        option("verify", "Read every written element back once its write completed; a value that "
                         "differs is an error (exit code 6)."),
        option("output", "Write the CSV or JSON lines to this file (CSV unless --format json "
                         "or a .json name); the table stays on the terminal.", "file"),
        option("rotate", "Start a new --output file at this size (10M, 512k) or daily.", "size"),
        option("keep", "Keep only the last N --output files, the one being written included.",
               "n", "0"),
        option("log-changes", "Write a CSV or JSON line only when a value or the link changed."),
        option("scan", "Find the line settings: send the start-up command at each usual baud "
                       "rate and framing in turn on --port, print which answered and how fast, "
                       "and the options to use; each waits --timeout (default here 100 ms). "
                       "Nothing else is sent."),
        option("reconnect", "When the port fails, show the link down and reopen it every second "
                            "until it comes back."),
    });
    addSharedHostOptions(parser);
    tools::addLineOptions(parser);
}

// The numbers of the options, all checked; the first error is reported.
QStringList readNumbers(const QCommandLineParser &parser, PollOptions &o)
{
    const int most = 0x7FFFFFFF;
    HostSettings &h = o.host;
    QStringList errors = readIntegers(parser, {lineOption("station", &h.station),
                                               lineOption("retries", &h.retries),
                                               {"protocol-mode", -most, most, &h.protocolMode},
                                               {"write-mode", -most, most, &h.writeMode},
                                               lineOption("timeout", &h.timeoutMs),
                                               {"gap", 0, 600000, &h.gapMs},
                                               {"interval", 0, 600000, &h.intervalMs},
                                               lineOption("open-timeout", &h.openTimeoutMs)});
    h.guardMs = h.timeoutMs;
    if (parser.isSet(QStringLiteral("guard")))
        errors += readIntegers(parser, {{"guard", 0, 600000, &h.guardMs}});
    errors += readSharedHostOptions(parser, h);
    const auto count = tools::integerOption(parser, QStringLiteral("count"), 0, 1LL << 62);
    const auto seconds = tools::decimalOption(parser, QStringLiteral("duration"), 0, 1e7);
    if (!count.ok())
        errors << count.error();
    if (!seconds.ok())
        errors << seconds.error();
    if (errors.isEmpty()) {
        h.count = count.value();
        h.durationMs = qint64(seconds.value() * 1000);
    }
    return errors;
}

QStringList readChoices(const QCommandLineParser &parser, PollOptions &o)
{
    const auto format = tools::choiceOption(
        parser, QStringLiteral("format"),
        {QStringLiteral("table"), QStringLiteral("csv"), QStringLiteral("json")});
    if (!format.ok())
        return {format.error()};
    o.format = format.value() == QLatin1String("csv")    ? OutputFormat::Csv
             : format.value() == QLatin1String("json")   ? OutputFormat::Json
                                                         : OutputFormat::Table;
    return {};
}

QStringList readLogging(const QCommandLineParser &parser, PollOptions &o)
{
    o.outputPath = parser.value(QStringLiteral("output"));
    o.logChanges = parser.isSet(QStringLiteral("log-changes"));
    o.host.reconnect = parser.isSet(QStringLiteral("reconnect"));
    o.saveConfig = parser.value(QStringLiteral("save-config"));
    o.force = parser.isSet(QStringLiteral("force"));
    o.host.verifyWrites = parser.isSet(QStringLiteral("verify"));
    // The options as they now stand, over what the project gave but they left out.
    const QJsonObject options = lineFromOptions(parser);
    for (const LineField &field : lineFields()) {
        const QString key = QLatin1String(field.key);
        if (options.contains(key) && (!o.projectLine.contains(key) || parser.isSet(QLatin1String(field.option))))
            o.projectLine.insert(key, options.value(key));
    }
    if (o.outputPath.isEmpty() && (parser.isSet(QStringLiteral("rotate")) || parser.isSet(QStringLiteral("keep"))))
        return {QStringLiteral("--rotate and --keep need --output")};
    if (!o.outputPath.isEmpty() && o.format == OutputFormat::Table) {
        const bool json = o.outputPath.endsWith(QLatin1String(".json")) || o.outputPath.endsWith(QLatin1String(".jsonl"));
        o.format = json ? OutputFormat::Json : OutputFormat::Csv;
    }
    const auto keep = tools::integerOption(parser, QStringLiteral("keep"), 0, 1000000);
    if (!keep.ok())
        return {keep.error()};
    if (parser.isSet(QStringLiteral("rotate"))) {
        const auto rotation = parseRotation(parser.value(QStringLiteral("rotate")));
        if (!rotation.ok())
            return {rotation.error()};
        o.rotation = rotation.value();
    }
    o.rotation.keep = int(keep.value());
    return {};
}

// The project's line settings go before the user's own arguments, which
// then override them; its port only when no --port or --sim is given.
tools::Result<QStringList> withProject(const QCommandLineParser &parser, const QStringList &arguments,
                                       PollOptions &o)
{
    const auto project = readProject(parser.value(QStringLiteral("config")), parser.value(QStringLiteral("line")));
    if (!project.ok())
        return tools::Result<QStringList>::failure(project.error());
    o.projectTags = project.value().tags;
    o.projectPath = parser.value(QStringLiteral("config"));
    o.inputFiles << o.projectPath;
    const bool sim = parser.isSet(QStringLiteral("sim"));
    // What is left out here is still saved by --save-config.
    return withProjectLine(arguments, project.value().line, sim || parser.isSet(QStringLiteral("port")), sim,
                           &o.projectLine);
}

QStringList readLine(const QCommandLineParser &parser, PollOptions &o)
{
    LineChoice choice;
    const QStringList errors = readLineChoice(parser, choice, parser.isSet(QStringLiteral("save-config")));
    o.port = choice.port;
    o.sim = choice.sim;
    o.simConfig = choice.simConfig;
    o.line = choice.line;
    return errors;
}

QStringList readRequests(const QCommandLineParser &parser, PollOptions &o)
{
    for (const QString &text : parser.positionalArguments())
        o.variables.append({text, {}});
    for (const QString &path : parser.values(QStringLiteral("file"))) {
        o.inputFiles << path;
        const auto more = readVariableFile(path);
        if (!more.ok())
            return {more.error()};
        o.variables += more.value();
    }
    o.writes = parser.values(QStringLiteral("write"));
    o.onceReads = parser.values(QStringLiteral("once"));
    if (o.scan)
        return {};
    if (o.variables.isEmpty() && o.projectTags.isEmpty() && o.writes.isEmpty() && o.onceReads.isEmpty())
        return {QStringLiteral("nothing to do: give variables, --write or --once")};
    return {};
}

Result<PollOptions> readOptions(const QCommandLineParser &parser, PollOptions &o)
{
    o.library = parser.value(QStringLiteral("library"));
    o.host.trace = parser.isSet(QStringLiteral("trace"));
    o.scan = parser.isSet(QStringLiteral("scan"));
    if (o.scan && !parser.isSet(QStringLiteral("port")))
        return Failure::failure(QStringLiteral("--scan needs --port"));
    for (const QStringList &errors : {readNumbers(parser, o), readChoices(parser, o),
                                      readLine(parser, o), readRequests(parser, o),
                                      readLogging(parser, o)}) {
        if (!errors.isEmpty())
            return Failure::failure(errors.first());
    }
    if (o.scan && parser.isSet(QStringLiteral("timeout")))
        o.scanTimeoutMs = o.host.timeoutMs;
    return o;
}

} // namespace

Result<PollOptions> parsePollOptions(const QStringList &arguments)
{
    QCommandLineParser first;
    describeOptions(first);
    const auto parsed = tools::parseArguments(first, arguments, true);
    if (!parsed.ok())
        return Failure::failure(parsed.error());
    PollOptions o;
    o.showHelp = parsed.value();
    if (o.showHelp) {
        o.helpText = first.helpText();
        return o;
    }
    if (!first.isSet(QStringLiteral("config")) && first.isSet(QStringLiteral("line")))
        return Failure::failure(QStringLiteral("--line needs --config"));
    if (!first.isSet(QStringLiteral("config")))
        return readOptions(first, o);
    const auto effective = withProject(first, arguments, o);
    if (!effective.ok()) {
        o.projectError = effective.error();
        return o;
    }
    QCommandLineParser parser;
    describeOptions(parser);
    const auto again = tools::parseArguments(parser, effective.value(), true);
    if (!again.ok())
        return Failure::failure(parser.value(QStringLiteral("config")) + QStringLiteral(": ") + again.error());
    return readOptions(parser, o);
}

} // namespace pollhost
