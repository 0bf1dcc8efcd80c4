#include "sim_options.h"

#include "common/option_values.h"

namespace sim {

namespace {

using tools::Result;

struct RateOption {
    const char *name;
    double FaultRates::*rate;
    const char *what;
};

const RateOption rateOptions[] = {
    {"no-reply", &FaultRates::noReply, "leave a command unanswered"},
    {"error", &FaultRates::error, "answer \"E1\" CR LF instead of the real reply"},
    {"garble", &FaultRates::garble, "change one byte of a reply"},
    {"truncate", &FaultRates::truncate, "send only the first part of a reply"},
    {"delay", &FaultRates::delay, "hold a reply back for --delay-ms"},
    {"pieces", &FaultRates::pieces, "send a reply in two or three parts, 5 ms apart"},
};

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "A software PLC that answers the driver's ASCII protocol on a serial line.\n"
        "Without --port it creates a pseudo-terminal and prints its path on the first\n"
        "line of standard output; point a host at that path. It runs until SIGINT or\n"
        "SIGTERM and then prints counters of what it did. Fault rates are\n"
        "probabilities from 0 to 1, drawn for every reply.\n\n"
        "Exit codes: 0 stopped by a signal, 1 bad option, 2 bad initial values file,\n"
        "3 the line cannot be opened or hung up, and --reconnect was not given."));
    parser.addOptions({
        {QStringLiteral("port"),
         QStringLiteral("Serve this serial port instead of a new pseudo-terminal."),
         QStringLiteral("device")},
        {QStringLiteral("reconnect"),
         QStringLiteral("When the port is not there yet or hangs up (an adapter unplugged, "
                        "the other end of a cable gone), try to open it every second instead "
                        "of exiting; the PLC's memory is kept.")},
        {QStringLiteral("init"),
         QStringLiteral("Initial values, one 'FAMILY ADDRESS=VALUE' per line "
                        "(e.g. 'DM 100=1234', 'RLY 00105=1', 'TV_p 5=30')."),
         QStringLiteral("file")},
        {QStringLiteral("scan-ms"),
         QStringLiteral("Length of one scan tick in ms (default 100): DM 0 counts ticks, "
                        "timers count ticks, relay 00000 blinks every 5 ticks."),
         QStringLiteral("ms"), QStringLiteral("100")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the fault generator (default 1); the same seed gives the "
                        "same faults for the same commands."),
         QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("delay-ms"),
         QStringLiteral("How long a delayed reply is held back (default 200)."),
         QStringLiteral("ms"), QStringLiteral("200")},
        {QStringLiteral("chatter-ms"),
         QStringLiteral("After the first reply, send one stray byte every this many ms, as a "
                        "device with a loose wire or a second talker does (default 0: never)."),
         QStringLiteral("ms"), QStringLiteral("0")},
        {QStringLiteral("pace"),
         QStringLiteral("Take as long as a real line: each command takes its wire time to "
                        "arrive and each reply its wire time to leave, from the baud rate "
                        "and the framing.")},
        {QStringLiteral("strict-baud"),
         QStringLiteral("Answer only while the line is set to --baud, as a real PLC hears "
                        "only its own rate: on a pseudo-terminal the host's baud rate is seen "
                        "here (its framing is not), and commands sent at another rate are "
                        "taken off the line unanswered.")},
        {QStringLiteral("response-ms"),
         QStringLiteral("The PLC's own time from a command to its reply (default 0)."),
         QStringLiteral("ms"), QStringLiteral("0")},
    });
    for (const RateOption &option : rateOptions)
        parser.addOption({QLatin1String(option.name),
                          QStringLiteral("Probability to %1 (default 0).")
                              .arg(QLatin1String(option.what)),
                          QStringLiteral("p"), QStringLiteral("0")});
    tools::addLineOptions(parser);
}

Result<SimConfig> readConfig(const QCommandLineParser &parser)
{
    SimConfig config;
    for (const RateOption &option : rateOptions) {
        const auto rate = tools::decimalOption(parser, QLatin1String(option.name), 0, 1);
        if (!rate.ok())
            return Result<SimConfig>::failure(rate.error());
        config.faults.*option.rate = rate.value();
    }
    const auto delayMs = tools::integerOption(parser, QStringLiteral("delay-ms"), 0, 60000);
    const auto scanMs = tools::integerOption(parser, QStringLiteral("scan-ms"), 1, 60000);
    const auto seed = tools::integerOption(parser, QStringLiteral("seed"), 0, 0xFFFFFFFFLL);
    const auto responseMs = tools::integerOption(parser, QStringLiteral("response-ms"), 0, 60000);
    const auto chatterMs = tools::integerOption(parser, QStringLiteral("chatter-ms"), 0, 60000);
    for (const auto *checked : {&delayMs, &scanMs, &seed, &responseMs, &chatterMs}) {
        if (!checked->ok())
            return Result<SimConfig>::failure(checked->error());
    }
    config.faults.delayMs = int(delayMs.value());
    config.faults.chatterMs = int(chatterMs.value());
    config.scanMs = int(scanMs.value());
    config.seed = quint32(seed.value());
    config.line.pace = parser.isSet(QStringLiteral("pace"));
    config.strictBaud = parser.isSet(QStringLiteral("strict-baud"));
    config.line.responseMs = int(responseMs.value());
    config.initialValuesPath = parser.value(QStringLiteral("init"));
    return config;
}

} // namespace

Result<SimOptions> parseSimOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeOptions(parser);
    const auto parsed = tools::parseArguments(parser, arguments, false);
    if (!parsed.ok())
        return Result<SimOptions>::failure(parsed.error());
    SimOptions options;
    options.showHelp = parsed.value();
    if (options.showHelp) {
        options.helpText = parser.helpText();
        return options;
    }
    const auto config = readConfig(parser);
    if (!config.ok())
        return Result<SimOptions>::failure(config.error());
    const auto line = tools::lineSettings(parser);
    if (!line.ok())
        return Result<SimOptions>::failure(line.error());
    options.config = config.value();
    options.config.line.settings = line.value();
    for (const char *name : {"baud", "data-bits", "parity", "stop-bits"})
        options.lineGiven = options.lineGiven || parser.isSet(QLatin1String(name));
    options.port = parser.value(QStringLiteral("port"));
    options.reconnect = parser.isSet(QStringLiteral("reconnect"));
    if (options.reconnect && options.port.isEmpty())
        return Result<SimOptions>::failure(QStringLiteral("--reconnect needs --port"));
    return options;
}

} // namespace sim
