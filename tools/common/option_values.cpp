#include "option_values.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QRegularExpression>

#include <cstdio>
#include <cstdlib>

namespace tools {

namespace {

QString badValue(const QString &name, const QString &text, const QString &expected)
{
    return QStringLiteral("--%1: '%2' is not %3").arg(name, text, expected);
}

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Qt names options without their dashes ("Unknown option 'bogus'."); the
// user typed them with, and searches --help with them.
QString parseError(const QCommandLineParser &parser)
{
    QStringList unknown;
    for (const QString &name : parser.unknownOptionNames())
        unknown << dashed(name);
    if (!unknown.isEmpty())
        return QStringLiteral("unknown option %1").arg(unknown.join(QStringLiteral(", ")));
    QString text = parser.errorText();
    static const QRegularExpression quoted(QStringLiteral("'([A-Za-z][-A-Za-z]*)'"));
    const QRegularExpressionMatch match = quoted.match(text);
    if (match.hasMatch())
        text.replace(match.capturedStart(), match.capturedLength(), dashed(match.captured(1)));
    return text;
}

// The program's version (main sets it) and the Qt it runs on, which may be
// newer than the one it was built with.
void printVersion()
{
    const QString text = QStringLiteral("%1 %2\nQt %3 (built with Qt %4)\n")
                             .arg(QCoreApplication::applicationName(),
                                  QCoreApplication::applicationVersion(),
                                  QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR));
    std::fputs(qPrintable(text), stdout);
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
    const QCommandLineOption version(
        QStringLiteral("version"),
        QStringLiteral("Print the program's version and the Qt version it runs on, and exit."));
    parser.addOption(version);
    if (!parser.parse(arguments))
        return Result<bool>::failure(parseError(parser));
    // As Qt's own --version does: print and end the process here.
    if (parser.isSet(version)) {
        printVersion();
        std::exit(EXIT_SUCCESS);
    }
    // Qt registers --help-all beside --help; neither may start a run.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        return true;
    if (!takesPositional && !parser.positionalArguments().isEmpty())
        return Result<bool>::failure(QStringLiteral("unexpected argument '%1'")
                                         .arg(parser.positionalArguments().first()));
    return false;
}

QString programName()
{
    return QCoreApplication::applicationName();
}

} // namespace tools
