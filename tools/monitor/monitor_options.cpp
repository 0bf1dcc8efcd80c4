#include "monitor_options.h"

#include "common/option_values.h"
#include "host/host_options.h"
#include "host/project_file.h"
#include "variable_set.h"

#include <limits>

namespace monitor {

namespace {

using tools::Result;
using Failure = Result<MonitorOptions>;

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Desktop monitor for the Ordelin driver: live values, writes, trends and the line's\n"
        "health. Variables are written as the HMI editor writes them, e.g. DM100:10\n"
        "RLY00105:4 TV_c5; each one is checked by the driver."));
    parser.addPositionalArgument(QStringLiteral("variables"), QStringLiteral("Variables to poll."),
                                 QStringLiteral("[VARIABLE...]"));
    using pollhost::option;
    parser.addOptions({
        option("port", "Connect at start to this serial port, e.g. /dev/ttyUSB0.", "device"),
        option("sim", "Connect at start to the built-in PLC simulator."),
        option("library", "Driver library to load (default: next to this program, then the "
                          "build tree).", "path"),
        option("load", "Open a variable set saved by the monitor, or a project file (tags and "
                       "line settings; the options given here win).", "file"),
        option("trend", "Tick the elements of this variable, or a project's tag, for the chart "
                        "(it is polled too). Repeatable.", "VARIABLE"),
        option("station", "Station of the PLC (default 0).", "n", "0"),
        option("retries", "Rejected replies tolerated before a request is dropped (default 3).",
               "n", "3"),
        option("timeout", "Reply timeout in ms (default 500).", "ms", "500"),
        option("interval", "Pause after each full read cycle in ms (default 100).", "ms", "100"),
        option("duration", "Close after this many seconds (default: when the user does).",
               "seconds", "0"),
        option("screenshot", "Save the whole window as a PNG when --duration ends.", "file"),
    });
    pollhost::addSharedHostOptions(parser);
    tools::addLineOptions(parser);
}

// The panel's fields hold what these ranges allow.
QStringList readNumbers(const QCommandLineParser &parser, MonitorOptions &o)
{
    pollhost::HostSettings &h = o.connection.host;
    QStringList errors = pollhost::readIntegers(parser, {pollhost::lineOption("station", &h.station),
                                                         pollhost::lineOption("retries", &h.retries),
                                                         pollhost::lineOption("timeout", &h.timeoutMs),
                                                         {"interval", 0, 600000, &h.intervalMs}});
    errors += pollhost::readSharedHostOptions(parser, h);
    // A Qt timer counts milliseconds in an int: about 24 days.
    const auto seconds = tools::decimalOption(parser, QStringLiteral("duration"), 0, 2e6);
    if (seconds.ok())
        o.durationMs = qint64(seconds.value() * 1000);
    else
        errors << seconds.error();
    return errors;
}

QStringList readConnection(const QCommandLineParser &parser, MonitorOptions &o)
{
    SessionConfig &c = o.connection;
    c.port = parser.value(QStringLiteral("port"));
    c.sim = parser.isSet(QStringLiteral("sim"));
    if (c.sim && !c.port.isEmpty())
        return {QStringLiteral("give --port DEVICE or --sim, not both")};
    o.connectAtStart = c.sim || !c.port.isEmpty();
    c.sim = c.sim || c.port.isEmpty(); // what the panel offers first
    const auto line = tools::lineSettings(parser);
    if (!line.ok())
        return {line.error()};
    c.line = line.value();
    // A window keeps its loop until the user disconnects, with or without
    // variables, reopens a port that failed, and traces the line for its
    // trace pane.
    c.host.untilStopped = true;
    c.host.reconnect = true;
    c.host.verifyWrites = true; // a write cell shows whether the PLC holds what was written
    c.host.trace = true;
    c.host.openTimeoutMs = std::numeric_limits<int>::max();
    return {};
}

QStringList readRest(const QCommandLineParser &parser, MonitorOptions &o)
{
    o.library = parser.value(QStringLiteral("library"));
    o.variableSet = parser.value(QStringLiteral("load"));
    o.lineName = parser.value(QStringLiteral("line"));
    if (!o.lineName.isEmpty() && o.variableSet.isEmpty())
        return {QStringLiteral("--line needs --load")};
    o.variables = parser.positionalArguments();
    o.trends = parser.values(QStringLiteral("trend"));
    o.screenshot = parser.value(QStringLiteral("screenshot"));
    if (!o.screenshot.isEmpty() && o.durationMs == 0)
        return {QStringLiteral("--screenshot needs --duration SECONDS")};
    return {};
}

// The arguments again, with a project's line settings before the user's.
Result<QStringList> withProject(const QCommandLineParser &parser, const QStringList &arguments)
{
    const auto project = pollhost::readProject(parser.value(QStringLiteral("load")), parser.value(QStringLiteral("line")));
    if (!project.ok())
        return Result<QStringList>::failure(project.error());
    const bool sim = parser.isSet(QStringLiteral("sim")), port = parser.isSet(QStringLiteral("port"));
    const QJsonObject line = project.value().line;
    const bool simulator = sim || (!port && !line.contains(QStringLiteral("port")));
    return withProjectLine(arguments, line, sim || port, simulator);
}

bool isProject(const QString &path, const QString &lineName)
{
    if (path.isEmpty())
        return false;
    const auto set = loadVariableSet(path, lineName);
    return set.ok() && !set.value().line.isEmpty();
}

} // namespace

QStringList withProjectLine(const QStringList &arguments, QJsonObject line, bool portGiven, bool simulator)
{
    line.remove(QStringLiteral("open_timeout_ms")); // the monitor tries until told to stop
    return pollhost::withProjectLine(arguments, line, portGiven, simulator);
}

Result<MonitorOptions> parseMonitorOptions(const QStringList &given)
{
    QCommandLineParser first;
    describeOptions(first);
    QStringList arguments = given;
    const auto looked = tools::parseArguments(first, given, true);
    if (looked.ok() && !looked.value() && isProject(first.value(QStringLiteral("load")), first.value(QStringLiteral("line")))) {
        const auto merged = withProject(first, given);
        if (!merged.ok())
            return Failure::failure(merged.error());
        arguments = merged.value();
    }
    QCommandLineParser parser;
    describeOptions(parser);
    const auto parsed = tools::parseArguments(parser, arguments, true);
    if (!parsed.ok())
        return Failure::failure(parsed.error());
    MonitorOptions o;
    o.helpText = parser.helpText();
    o.showHelp = parsed.value();
    if (o.showHelp)
        return o;
    for (const QStringList &errors :
         {readNumbers(parser, o), readConnection(parser, o), readRest(parser, o)}) {
        if (!errors.isEmpty())
            return Failure::failure(errors.first());
    }
    return o;
}

} // namespace monitor
