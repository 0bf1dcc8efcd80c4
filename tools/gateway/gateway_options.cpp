#include "gateway_options.h"

#include "host/project_file.h"

#include "common/option_values.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QSysInfo>

#include <arpa/inet.h>
#include <cstring>

namespace gateway {

namespace {

using pollhost::option;
using tools::Result;
using Failure = Result<GatewayOptions>;

// The table of docs/gateway.md and of --help.
const char exitCodes[] =
    "Exit codes:\n"
    "  0  stopped by SIGINT, SIGTERM or SIGHUP, after publishing the offline status\n"
    "  1  bad option, or TLS files that cannot be used\n"
    "  2  bad tag, project file or --init for the built-in simulator\n"
    "  3  the driver library cannot be loaded or lacks an export\n"
    "  4  the port (or the built-in simulator) cannot be opened, or failed without --reconnect\n"
    "  5  the link never opened within --open-timeout\n"
    "  7  the driver library was built against another Qt major version\n"
    "  9  the broker refused the user name or password\n"
    " 10  the TLS handshake with the broker failed (certificate not trusted, wrong key)\n"
    " 11  the broker is not on this machine and neither TLS nor --insecure was given\n"
    " 12  the journal cannot be opened (in use by another gateway, a folder it may not write)";

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "MQTT gateway for the Ordelin driver: polls the tags of one PLC line, as ordelin-poll\n"
        "does, publishes each tag's value with its quality on <prefix>/tags/<name>, the\n"
        "gateway's state on <prefix>/status, and writes the tags marked \"writable\" when asked\n"
        "on <prefix>/tags/<name>/set. One process serves one line. With a project of several\n"
        "lines (\"lines\"), it runs each line in a process of its own, as this program run\n"
        "with the same options and --line NAME, with the prefix <prefix>/NAME, and publishes\n"
        "their states on <prefix>/lines.\n\n")
        + QLatin1String(exitCodes));
    parser.addPositionalArgument(QStringLiteral("variables"),
                                 QStringLiteral("More variables to publish, read-only, named by their addresses."),
                                 QStringLiteral("[VARIABLE...]"));
    parser.addOptions({
        option("config", "Line settings, tags and broker settings from this project file; options "
                         "given here override them.", "file"),
        option("port", "Serial port of the PLC, e.g. /dev/ttyUSB0.", "device"),
        option("sim", "Poll the built-in PLC simulator on a pseudo-terminal instead of a port."),
        option("sim-options", "Options for the built-in simulator, as ordelin-sim takes them, "
                              "in one argument.", "options"),
        option("library", "Driver library to load (default: next to this program, then the "
                          "build tree).", "path"),
        option("station", "ComInfo default station (default 0).", "n", "0"),
        option("retries", "Rejected replies tolerated before a request is dropped (default 3).", "n", "3"),
        option("protocol-mode", "ComInfo protocol mode: 0 opens the link with the start-up "
                                "exchange (default 0).", "n", "0"),
        option("timeout", "Reply timeout in ms (default 500).", "ms", "500"),
        option("guard", "Quiet time after a reply timed out before the next frame (default: "
                        "the reply timeout).", "ms"),
        option("gap", "Pause between two exchanges in ms (default 0).", "ms", "0"),
        option("interval", "Pause after each full read cycle in ms (default 100).", "ms", "100"),
        option("open-timeout", "Give up when the link has not opened within this many ms; 0 waits "
                               "for ever (default 0).", "ms", "0"),
        option("reconnect", "When the port fails, show the link down and reopen it every second."),
        option("trace", "Every frame and reply in hex and ASCII on standard error."),
        option("broker", "The MQTT broker (default 127.0.0.1; port 1883, 8883 with TLS).", "host[:port]"),
        option("client-id", "MQTT client id (default: ordelin-gateway-HOST-PREFIX).", "id"),
        option("prefix", "Topic prefix (default: ordelin/ and the project file's or the port's "
                         "base name).", "prefix"),
        option("qos", "QoS of every publication and subscription: 0 or 1 (default 1).", "qos", "1"),
        option("heartbeat", "Publish unchanged tags again every this many seconds; 0 never "
                            "(default 0).", "seconds", "0"),
        option("mqtt-version", "MQTT protocol: 5 or 3.1.1 (default 5).", "version", "5"),
        option("cafile", "TLS: the CA certificate(s) the broker's certificate must chain to; "
                         "turns TLS on.", "file"),
        option("cert", "TLS: this client's certificate.", "file"),
        option("key", "TLS: this client's private key.", "file"),
        option("username", "User name at the broker.", "name"),
        option("password-file", "The password, on the first line of this file (or in the "
                                "environment variable ORDELIN_MQTT_PASSWORD); never on the command "
                                "line.", "file"),
        option("insecure", "Allow plain MQTT, without TLS, to a broker that is not on this machine."),
        option("journal", "Keep every tag message in this SQLite file until the broker acknowledged "
                          "it (default: under $STATE_DIRECTORY, else beside the project file, else "
                          "here; named after the project or the prefix).", "file"),
        option("journal-max", "Most messages the journal keeps; beyond, the oldest go and the gap "
                              "is published (default 1000000).", "messages", "1000000"),
        option("journal-max-mb", "Most megabytes of messages the journal keeps (default 1024).", "mb", "1024"),
    });
    pollhost::addSharedHostOptions(parser);
    tools::addLineOptions(parser);
}

// The project's "mqtt" fields and the option each stands for.
struct MqttField {
    const char *key;
    const char *option;
    QJsonValue::Type type;
};
const MqttField mqttFields[] = {
    {"broker", "broker", QJsonValue::String},         {"client_id", "client-id", QJsonValue::String},
    {"prefix", "prefix", QJsonValue::String},         {"qos", "qos", QJsonValue::Double},
    {"heartbeat", "heartbeat", QJsonValue::Double},   {"mqtt_version", "mqtt-version", QJsonValue::String},
    {"cafile", "cafile", QJsonValue::String},         {"cert", "cert", QJsonValue::String},
    {"key", "key", QJsonValue::String},               {"username", "username", QJsonValue::String},
    {"password_file", "password-file", QJsonValue::String}, {"insecure", "insecure", QJsonValue::Bool},
    {"journal", "journal", QJsonValue::String},       {"journal_max", "journal-max", QJsonValue::Double},
    {"journal_max_mb", "journal-max-mb", QJsonValue::Double},
};

Result<QStringList> mqttArguments(const QJsonObject &mqtt)
{
    QStringList arguments;
    for (auto it = mqtt.begin(); it != mqtt.end(); ++it) {
        const MqttField *field = nullptr;
        for (const MqttField &known : mqttFields)
            field = it.key() == QLatin1String(known.key) ? &known : field;
        if (!field)
            return Result<QStringList>::failure(QStringLiteral("unknown mqtt field '%1' (a password goes "
                                                               "in a file: password_file)").arg(it.key()));
        if (it.value().type() != field->type)
            return Result<QStringList>::failure(QStringLiteral("mqtt field '%1' must be %2").arg(it.key(),
                field->type == QJsonValue::Bool ? "true or false" : field->type == QJsonValue::Double ? "a number" : "text"));
        const QString name = QStringLiteral("--") + QLatin1String(field->option);
        if (field->type == QJsonValue::Bool) {
            if (it.value().toBool())
                arguments << name;
        } else {
            arguments << name << (it.value().isDouble() ? QString::number(it.value().toDouble(), 'g', 17)
                                                        : it.value().toString());
        }
    }
    return arguments;
}

QString badBroker(const QString &text, BrokerSettings &broker)
{
    QString host = text;
    QString port;
    if (text.startsWith(QLatin1Char('['))) {
        const int close = text.indexOf(QLatin1Char(']'));
        host = text.mid(1, close - 1);
        const QString rest = close < 0 ? QString() : text.mid(close + 1);
        if (close < 0 || !(rest.isEmpty() || rest.startsWith(QLatin1Char(':'))))
            return QStringLiteral("--broker: write an IPv6 address as [::1] or [::1]:1883");
        port = rest.mid(1);
    } else if (text.count(QLatin1Char(':')) == 1) {
        host = text.section(QLatin1Char(':'), 0, 0);
        port = text.section(QLatin1Char(':'), 1);
    }
    bool number = true;
    broker.port = port.isEmpty() ? 0 : port.toInt(&number);
    if (host.isEmpty() || !number || broker.port < 0 || broker.port > 65535 || (!port.isEmpty() && broker.port == 0))
        return QStringLiteral("--broker: '%1' is not HOST or HOST:PORT with a port from 1 to 65535").arg(text);
    broker.host = host;
    return {};
}

QStringList readBroker(const QCommandLineParser &parser, GatewayOptions &o, const QString &passwordFromEnvironment)
{
    BrokerSettings &b = o.broker;
    const QString broker = parser.value(QStringLiteral("broker"));
    if (!broker.isEmpty()) {
        const QString bad = badBroker(broker, b);
        if (!bad.isEmpty())
            return {bad};
    }
    const auto qos = tools::integerOption(parser, QStringLiteral("qos"), 0, 1);
    const auto heartbeat = tools::integerOption(parser, QStringLiteral("heartbeat"), 0, 86400);
    const auto version = tools::choiceOption(parser, QStringLiteral("mqtt-version"), {QStringLiteral("5"), QStringLiteral("3.1.1")});
    for (const QString &error : {qos.error(), heartbeat.error(), version.error()}) {
        if (!error.isEmpty())
            return {error};
    }
    b.qos = int(qos.value());
    o.heartbeatS = int(heartbeat.value());
    b.version = version.value() == QLatin1String("5") ? 5 : 4;
    b.cafile = parser.value(QStringLiteral("cafile"));
    b.certfile = parser.value(QStringLiteral("cert"));
    b.keyfile = parser.value(QStringLiteral("key"));
    if (b.certfile.isEmpty() != b.keyfile.isEmpty())
        return {QStringLiteral("--cert and --key go together")};
    if (!b.certfile.isEmpty() && b.cafile.isEmpty())
        return {QStringLiteral("--cert and --key need --cafile: TLS checks the broker's certificate")};
    o.insecure = parser.isSet(QStringLiteral("insecure"));
    b.username = parser.value(QStringLiteral("username"));
    const QString passwordFile = parser.value(QStringLiteral("password-file"));
    if (!passwordFile.isEmpty()) {
        QFile file(passwordFile);
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("--password-file %1: %2").arg(passwordFile, file.errorString())};
        b.password = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    } else if (!passwordFromEnvironment.isEmpty()) {
        b.password = passwordFromEnvironment;
    }
    if (!b.password.isNull() && b.username.isEmpty())
        return {QStringLiteral("a password needs --username")};
    return {};
}

// Topics are built from the prefix and the tag names: the wildcards would
// make the subscription match what it should not.
QString badTopicPart(const QString &text)
{
    if (text.isEmpty() || text.contains(QLatin1Char('+')) || text.contains(QLatin1Char('#'))
        || text.startsWith(QLatin1Char('/')) || text.endsWith(QLatin1Char('/')))
        return QStringLiteral("--prefix must not be empty, hold + or #, or begin or end with /");
    return {};
}

QString baseName(const QString &path)
{
    return QFileInfo(path).completeBaseName();
}

// One line of a plant publishes under the plant's prefix and its own name,
// and the broker must tell its client apart from the supervisor's and the
// other lines', which share the user's options.
QStringList readNames(const QCommandLineParser &parser, GatewayOptions &o)
{
    const QString config = parser.value(QStringLiteral("config"));
    const QString line = !config.isEmpty() ? baseName(config) : o.line.sim ? QStringLiteral("sim") : baseName(o.line.port);
    o.prefix = parser.isSet(QStringLiteral("prefix")) ? parser.value(QStringLiteral("prefix"))
                                                       : QStringLiteral("ordelin/") + line;
    const QString bad = badTopicPart(o.prefix);
    if (!bad.isEmpty())
        return {bad};
    const QString ownName = o.lineName.isEmpty() ? QString() : QLatin1Char('-') + o.lineName;
    if (!o.lineName.isEmpty())
        o.prefix += QLatin1Char('/') + o.lineName;
    o.broker.clientId = parser.isSet(QStringLiteral("client-id"))
                            ? parser.value(QStringLiteral("client-id")) + ownName
                            : QStringLiteral("ordelin-gateway-%1-%2").arg(QSysInfo::machineHostName(), o.prefix)
                                  .replace(QLatin1Char('/'), QLatin1Char('-'));
    return {};
}

QStringList readNumbers(const QCommandLineParser &parser, GatewayOptions &o)
{
    const int most = 0x7FFFFFFF;
    pollhost::HostSettings &h = o.host;
    int openTimeout = 0;
    QStringList errors = pollhost::readIntegers(parser, {{"station", -most, most, &h.station},
                                                         {"retries", 0, 1000000, &h.retries},
                                                         {"protocol-mode", -most, most, &h.protocolMode},
                                                         {"timeout", 1, 600000, &h.timeoutMs},
                                                         {"gap", 0, 600000, &h.gapMs},
                                                         {"interval", 0, 600000, &h.intervalMs},
                                                         {"open-timeout", 0, 86400000, &openTimeout}});
    // A gateway is a service: by default it waits for its PLC as long as it runs.
    h.openTimeoutMs = openTimeout > 0 ? openTimeout : most;
    int journalMax = 0, journalMaxMb = 0;
    errors += pollhost::readIntegers(parser, {{"journal-max", 1, 1000000000, &journalMax},
                                              {"journal-max-mb", 1, 1024 * 1024, &journalMaxMb}});
    o.journalLimits = {journalMax, qint64(journalMaxMb) * 1024 * 1024};
    o.journal = parser.value(QStringLiteral("journal"));
    h.guardMs = h.timeoutMs;
    if (parser.isSet(QStringLiteral("guard")))
        errors += pollhost::readIntegers(parser, {{"guard", 0, 600000, &h.guardMs}});
    return errors + pollhost::readSharedHostOptions(parser, h);
}

Result<GatewayOptions> readOptions(const QCommandLineParser &parser, GatewayOptions &o, const QString &password)
{
    o.library = parser.value(QStringLiteral("library"));
    o.host.trace = parser.isSet(QStringLiteral("trace"));
    o.host.reconnect = parser.isSet(QStringLiteral("reconnect"));
    o.host.untilStopped = true;
    for (const QString &text : parser.positionalArguments())
        o.variables.append({text, {}});
    for (const QStringList &errors : {readNumbers(parser, o), pollhost::readLineChoice(parser, o.line),
                                      readBroker(parser, o, password), readNames(parser, o)}) {
        if (!errors.isEmpty())
            return Failure::failure(errors.first());
    }
    if (o.variables.isEmpty() && o.projectTags.isEmpty())
        return Failure::failure(QStringLiteral("nothing to publish: give --config with tags, or variables"));
    return o;
}

// A project of several lines and no --line: this process supervises a
// process per line, and needs of the options only the broker and the names.
// Each line's options are read here as its process will read them, so a
// mistake stops the plant before any line starts.
Result<GatewayOptions> readPlant(const QCommandLineParser &first, const QStringList &arguments,
                                 const QList<pollhost::ProjectLine> &lines, GatewayOptions &o, const QString &password)
{
    if (first.isSet(QStringLiteral("port")))
        return Failure::failure(QStringLiteral("--port names the port of one line: each line of %1 names its "
                                               "own in its \"line\" (or run one with --line NAME)").arg(o.projectPath));
    for (const pollhost::ProjectLine &line : lines) {
        const auto one = parseGatewayOptions(arguments + QStringList{QStringLiteral("--line"), line.name}, password);
        if (!one.ok())
            return Failure::failure(QStringLiteral("line %1: %2").arg(line.name, one.error()));
        if (!one.value().projectError.isEmpty()) {
            o.projectError = one.value().projectError;
            return o;
        }
        o.plantLines << line.name;
    }
    const auto mqtt = mqttArguments(lines.first().project.mqtt); // read already, for the first line
    QCommandLineParser parser;
    describeOptions(parser);
    tools::parseArguments(parser, arguments.mid(0, 1) + mqtt.value() + arguments.mid(1), true);
    for (const QStringList &errors : {readBroker(parser, o, password), readNames(parser, o)}) {
        if (!errors.isEmpty())
            return Failure::failure(errors.first());
    }
    return o;
}

} // namespace

QString inClearRefusal(const GatewayOptions &o)
{
    if (o.broker.tls() || o.insecure || onLoopback(o.broker.host))
        return {};
    return QStringLiteral("the broker %1 is not on this machine: values, write requests and the password "
                          "would cross the network in clear; give --cafile for TLS, or --insecure to allow it")
        .arg(o.broker.host);
}

bool onLoopback(const QString &host)
{
    const QByteArray text = host.toLatin1();
    unsigned char address[16] = {};
    if (inet_pton(AF_INET, text.constData(), address) == 1)
        return address[0] == 127;
    static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (inet_pton(AF_INET6, text.constData(), address) == 1)
        return std::memcmp(address, &in6addr_loopback, 16) == 0
            || (std::memcmp(address, mapped, 12) == 0 && address[12] == 127);
    return host == QLatin1String("localhost");
}

QString journalPath(const GatewayOptions &options, const QString &stateDirectory)
{
    if (options.journal.isEmpty())
        return defaultJournalPath(options.projectPath, QString(options.prefix).replace(QLatin1Char('/'), QLatin1Char('-')),
                                  options.lineName, stateDirectory);
    if (options.lineName.isEmpty())
        return options.journal;
    const QFileInfo file(options.journal);
    const QString suffix = file.suffix().isEmpty() ? QString() : QLatin1Char('.') + file.suffix();
    return QDir(file.path()).filePath(file.completeBaseName() + QLatin1Char('.') + options.lineName + suffix);
}

Result<GatewayOptions> parseGatewayOptions(const QStringList &arguments, const QString &password)
{
    QCommandLineParser first;
    describeOptions(first);
    const auto parsed = tools::parseArguments(first, arguments, true);
    if (!parsed.ok())
        return Failure::failure(parsed.error());
    GatewayOptions o;
    o.showHelp = parsed.value();
    if (o.showHelp) {
        o.helpText = first.helpText();
        return o;
    }
    if (!first.isSet(QStringLiteral("config")) && first.isSet(QStringLiteral("line")))
        return Failure::failure(QStringLiteral("--line needs --config"));
    if (!first.isSet(QStringLiteral("config")))
        return readOptions(first, o, password);
    const QString path = first.value(QStringLiteral("config"));
    o.projectPath = path;
    o.lineName = first.value(QStringLiteral("line"));
    const auto lines = pollhost::readProjectLines(path);
    if (lines.ok() && o.lineName.isEmpty() && !lines.value().first().name.isEmpty())
        return readPlant(first, arguments, lines.value(), o, password);
    const auto project = pollhost::readProject(path, o.lineName);
    const auto mqtt = project.ok() ? mqttArguments(project.value().mqtt) : Result<QStringList>(QStringList());
    if (!project.ok() || !mqtt.ok()) {
        o.projectError = project.ok() ? path + QStringLiteral(": ") + mqtt.error() : project.error();
        return o;
    }
    o.projectTags = project.value().tags;
    const bool sim = first.isSet(QStringLiteral("sim"));
    const QStringList withLine = pollhost::withProjectLine(arguments, project.value().line,
                                                           sim || first.isSet(QStringLiteral("port")), sim);
    QCommandLineParser parser;
    describeOptions(parser);
    const auto again = tools::parseArguments(parser, withLine.mid(0, 1) + mqtt.value() + withLine.mid(1), true);
    if (!again.ok())
        return Failure::failure(path + QStringLiteral(": ") + again.error());
    return readOptions(parser, o, password);
}

} // namespace gateway
