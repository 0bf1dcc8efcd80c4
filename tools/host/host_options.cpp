#include "host_options.h"

#include "project_file.h"

#include "common/option_values.h"
#include "sim/sim_options.h"

#include <QtCore/QProcess>

namespace pollhost {

QCommandLineOption option(const char *name, const char *description, const char *valueName,
                          const char *defaultValue)
{
    QCommandLineOption made(QLatin1String(name), QString::fromUtf8(description));
    if (valueName)
        made.setValueName(QLatin1String(valueName));
    if (defaultValue)
        made.setDefaultValue(QLatin1String(defaultValue));
    return made;
}

IntegerOption lineOption(const char *name, int *setting)
{
    const LineField *field = lineField(QLatin1String(name));
    Q_ASSERT(field);
    return {name, field->lowest, field->highest, setting};
}

QStringList readIntegers(const QCommandLineParser &parser, const QList<IntegerOption> &options)
{
    QStringList errors;
    for (const IntegerOption &wanted : options) {
        const auto value = tools::integerOption(parser, QLatin1String(wanted.name), wanted.lowest, wanted.highest);
        if (value.ok())
            *wanted.setting = int(value.value());
        else
            errors << value.error();
    }
    return errors;
}

void addSharedHostOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        option("lang", "Language of the driver's messages: en or zh (default en).", "lang", "en"),
        option("stale-after", "A value is fresh only while younger than this; 0 chooses three "
                              "times the longest read cycle seen, at least 2 s (default 0).", "ms", "0"),
        option("line", "The line to use, by its name, of a project file that holds several "
                       "(\"lines\").", "name"),
    });
}

QStringList readSharedHostOptions(const QCommandLineParser &parser, HostSettings &settings)
{
    QStringList errors;
    const auto lang = tools::choiceOption(parser, QStringLiteral("lang"), {QStringLiteral("en"), QStringLiteral("zh")});
    if (lang.ok())
        settings.language = lang.value() == QLatin1String("zh") ? 0 : 1;
    else
        errors << lang.error();
    const auto staleAfter = tools::integerOption(parser, QStringLiteral("stale-after"), 0, 86400000);
    if (staleAfter.ok())
        settings.staleAfterMs = staleAfter.value();
    else
        errors << staleAfter.error();
    return errors;
}

QStringList readLineChoice(const QCommandLineParser &parser, LineChoice &o, bool portOptional)
{
    o.port = parser.value(QStringLiteral("port"));
    o.sim = parser.isSet(QStringLiteral("sim"));
    if (o.sim == !o.port.isEmpty() && !(o.port.isEmpty() && portOptional))
        return {QStringLiteral("give either --port DEVICE or --sim")};
    if (!o.sim && parser.isSet(QStringLiteral("sim-options")))
        return {QStringLiteral("--sim-options needs --sim")};
    const auto simOptions = sim::parseSimOptions(
        QStringList{QStringLiteral("--sim-options")}
        + QProcess::splitCommand(parser.value(QStringLiteral("sim-options"))));
    if (!simOptions.ok())
        return {QStringLiteral("--sim-options: ") + simOptions.error()};
    if (simOptions.value().showHelp || !simOptions.value().port.isEmpty())
        return {QStringLiteral("--sim-options: --help and --port are not available for the "
                               "built-in simulator")};
    if (simOptions.value().lineGiven)
        return {QStringLiteral("--sim-options: the built-in simulator takes the host's line "
                               "settings; give --baud, --data-bits, --parity and --stop-bits "
                               "outside --sim-options")};
    const auto line = tools::lineSettings(parser);
    if (!line.ok())
        return {line.error()};
    o.line = line.value();
    o.simConfig = simOptions.value().config;
    o.simConfig.line.settings = o.line;
    return {};
}

QStringList withProjectLine(const QStringList &arguments, const QJsonObject &line, bool portGiven,
                            bool simulator, QJsonObject *leftOut)
{
    return arguments.mid(0, 1) + lineArguments(lineForRun(line, portGiven, simulator, leftOut)) + arguments.mid(1);
}

} // namespace pollhost
