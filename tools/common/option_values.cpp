#include "option_values.h"

namespace tools {

namespace {

QString badValue(const QString &name, const QString &text, const QString &expected)
{
    return QStringLiteral("--%1: '%2' is not %3").arg(name, text, expected);
}

} // namespace

Result<qint64> integerOption(const QCommandLineParser &parser, const QString &name,
                             qint64 lowest, qint64 highest)
{
    const QString text = parser.value(name);
    bool converted = false;
    const qint64 value = text.toLongLong(&converted);
    if (!converted || value < lowest || value > highest)
        return Result<qint64>::failure(badValue(
            name, text, QStringLiteral("an integer from %1 to %2").arg(lowest).arg(highest)));
    return value;
}

Result<double> decimalOption(const QCommandLineParser &parser, const QString &name,
                             double lowest, double highest)
{
    const QString text = parser.value(name);
    bool converted = false;
    const double value = text.toDouble(&converted);
    if (!converted || !(value >= lowest && value <= highest))
        return Result<double>::failure(badValue(
            name, text, QStringLiteral("a number from %1 to %2").arg(lowest).arg(highest)));
    return value;
}

Result<QString> choiceOption(const QCommandLineParser &parser, const QString &name,
                             const QStringList &choices)
{
    const QString text = parser.value(name);
    if (!choices.contains(text))
        return Result<QString>::failure(
            badValue(name, text, QStringLiteral("one of ") + choices.join(QStringLiteral(", "))));
    return text;
}

Result<bool> parseArguments(QCommandLineParser &parser, const QStringList &arguments,
                            bool takesPositional)
{
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(arguments))
        return Result<bool>::failure(parser.errorText());
    // Qt registers --help-all beside --help; neither may start a run.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        return true;
    if (!takesPositional && !parser.positionalArguments().isEmpty())
        return Result<bool>::failure(QStringLiteral("unexpected argument '%1'")
                                         .arg(parser.positionalArguments().first()));
    return false;
}

} // namespace tools
