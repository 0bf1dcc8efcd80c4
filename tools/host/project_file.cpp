#include "project_file.h"

#include "common/line_settings.h"

#include <cmath>

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QSaveFile>
#include <QtCore/QSet>

namespace pollhost {

using tools::Result;

const QList<LineField> &lineFields()
{
    static const QList<LineField> fields{
        {"port", "port"},
        {"baud", "baud", 50, 4000000},
        {"data_bits", "data-bits", 5, 8},
        {"parity", "parity"},
        {"stop_bits", "stop-bits", 1, 2},
        {"station", "station", 0, 99},
        {"retries", "retries", 0, 1000000},
        {"timeout_ms", "timeout", 1, 600000},
        {"open_timeout_ms", "open-timeout", 1, 86400000},
    };
    return fields;
}

const LineField *lineField(const QString &keyOrOption)
{
    for (const LineField &field : lineFields()) {
        if (keyOrOption == QLatin1String(field.key) || keyOrOption == QLatin1String(field.option))
            return &field;
    }
    return nullptr;
}

QStringList lineArguments(const QJsonObject &line)
{
    QStringList arguments;
    for (const LineField &field : lineFields()) {
        const QJsonValue value = line.value(QLatin1String(field.key));
        if (value.isUndefined())
            continue;
        // A number arrives as a double; an integer is written back without a fraction.
        arguments << QStringLiteral("--") + QLatin1String(field.option)
                  << (value.isDouble() ? QString::number(value.toDouble(), 'g', 17) : value.toString());
    }
    return arguments;
}

QJsonObject lineForRun(QJsonObject line, bool portGiven, bool simulator, QJsonObject *leftOut)
{
    QStringList left;
    if (portGiven)
        left << QStringLiteral("port");
    if (simulator)
        left << QStringLiteral("baud") << QStringLiteral("data_bits") << QStringLiteral("parity")
             << QStringLiteral("stop_bits");
    for (const QString &key : left) {
        const QJsonValue value = line.take(key);
        if (leftOut && !value.isUndefined())
            leftOut->insert(key, value);
    }
    return line;
}

QJsonObject lineFromOptions(const QCommandLineParser &parser)
{
    QJsonObject line;
    for (const LineField &field : lineFields()) {
        const QString text = parser.value(QLatin1String(field.option));
        bool isNumber = false;
        const qint64 number = text.toLongLong(&isNumber);
        if (isNumber)
            line.insert(QLatin1String(field.key), double(number));
        else if (!text.isEmpty())
            line.insert(QLatin1String(field.key), text);
    }
    return line;
}

namespace {

// Why a field of "line" cannot be used, or nothing: the port and the
// parity are text, the others numbers.
QString badLineField(const QJsonObject &line)
{
    for (auto it = line.begin(); it != line.end(); ++it) {
        const LineField *field = lineField(it.key());
        if (!field || it.key() != QLatin1String(field->key))
            return QStringLiteral("unknown line field '%1'").arg(it.key());
        const QString name = QStringLiteral("line field '%1'").arg(it.key());
        const bool text = field->highest == 0;
        if (text ? !it.value().isString() : !it.value().isDouble())
            return QStringLiteral("%1 must be %2").arg(name, text ? "text" : "a number");
        const double number = it.value().toDouble();
        if (!text && (number != std::floor(number) || number < field->lowest || number > field->highest))
            return QStringLiteral("%1: %2 is not a whole number from %3 to %4")
                .arg(name).arg(number).arg(field->lowest).arg(field->highest);
        if (it.key() == QLatin1String("baud") && !tools::supportedBauds().contains(qint32(number)))
            return QStringLiteral("%1: %2 is not a standard baud rate").arg(name).arg(number);
        if (it.key() == QLatin1String("parity") && !tools::parityNames().contains(it.value().toString()))
            return QStringLiteral("%1: '%2' is not one of %3")
                .arg(name, it.value().toString(), tools::parityNames().join(QStringLiteral(", ")));
    }
    return {};
}

Result<QList<Tag>> readTags(const QJsonArray &array)
{
    QList<Tag> tags;
    QSet<QString> names;
    for (const QJsonValue &value : array) {
        const auto tag = tagFromJson(value.toObject());
        if (!tag.ok())
            return Result<QList<Tag>>::failure(tag.error());
        if (names.contains(tag.value().name))
            return Result<QList<Tag>>::failure(
                QStringLiteral("tag '%1': the name is given twice").arg(tag.value().name));
        names << tag.value().name;
        tags << tag.value();
    }
    return tags;
}

bool onlyKeys(const QJsonObject &object, const QStringList &keys)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!keys.contains(it.key()))
            return false;
    }
    return true;
}

// "line" and "tags" of a one-line file, or of one entry of "lines".
Result<Project> readLine(const QJsonObject &object)
{
    const QJsonValue line = object.value(QLatin1String("line"));
    const QJsonValue tags = object.value(QLatin1String("tags"));
    if (!(line.isUndefined() || line.isObject()) || !(tags.isUndefined() || tags.isArray()))
        return Result<Project>::failure(QStringLiteral("\"line\" is an object and \"tags\" a list"));
    Project project;
    project.line = line.toObject();
    const QString badLine = badLineField(project.line);
    if (!badLine.isEmpty())
        return Result<Project>::failure(badLine);
    const auto read = readTags(tags.toArray());
    if (!read.ok())
        return Result<Project>::failure(read.error());
    project.tags = read.value();
    return project;
}

// The gateway publishes a line under its name, so a name must make one
// topic level: / would split it, + and # are wildcards.
Result<QList<ProjectLine>> readNamedLines(const QJsonArray &lines)
{
    using Failure = Result<QList<ProjectLine>>;
    const QStringList keys{QStringLiteral("name"), QStringLiteral("line"), QStringLiteral("tags")};
    QList<ProjectLine> read;
    QStringList names;
    for (const QJsonValue &value : lines) {
        const QJsonObject object = value.toObject();
        if (!value.isObject() || !object.value(QLatin1String("name")).isString() || !onlyKeys(object, keys))
            return Failure::failure(QStringLiteral("each of \"lines\" is an object with \"name\" (text), "
                                                   "\"line\" and \"tags\""));
        const QString name = object.value(QLatin1String("name")).toString();
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('+'))
            || name.contains(QLatin1Char('#')))
            return Failure::failure(QStringLiteral("line '%1': a line's name becomes a topic level, so it "
                                                   "may not be empty or hold /, + or #").arg(name));
        if (names.contains(name))
            return Failure::failure(QStringLiteral("line '%1': the name is given twice").arg(name));
        const auto project = readLine(object);
        if (!project.ok())
            return Failure::failure(QStringLiteral("line '%1': %2").arg(name, project.error()));
        names << name;
        read << ProjectLine{name, project.value()};
    }
    return read;
}

} // namespace

Result<QList<ProjectLine>> readProjectLines(const QString &path)
{
    using Failure = Result<QList<ProjectLine>>;
    const auto fail = [&](const QString &why) { return Failure::failure(path + QStringLiteral(": ") + why); };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        return fail(QStringLiteral("%1 at byte %2").arg(error.errorString()).arg(error.offset));
    const QJsonObject root = document.object();
    const QJsonValue lines = root.value(QLatin1String("lines"));
    const QJsonValue mqtt = root.value(QLatin1String("mqtt"));
    const QStringList oneLine{QStringLiteral("line"), QStringLiteral("tags"), QStringLiteral("mqtt")};
    const QStringList plant{QStringLiteral("lines"), QStringLiteral("mqtt")};
    if (!document.isObject() || !(mqtt.isUndefined() || mqtt.isObject())
        || !(lines.isUndefined() ? onlyKeys(root, oneLine) : onlyKeys(root, plant) && lines.isArray()
                                                                   && !lines.toArray().isEmpty()))
        return fail(QStringLiteral("a project is an object with \"line\" (an object), \"tags\" (a list) "
                                   "and \"mqtt\" (an object), or with \"lines\" (a list of lines, each "
                                   "with its \"name\", \"line\" and \"tags\") and \"mqtt\""));
    QList<ProjectLine> read;
    if (lines.isUndefined()) {
        const auto project = readLine(root);
        if (!project.ok())
            return fail(project.error());
        read << ProjectLine{QString(), project.value()};
    } else {
        const auto named = readNamedLines(lines.toArray());
        if (!named.ok())
            return fail(named.error());
        read = named.value();
    }
    for (ProjectLine &line : read)
        line.project.mqtt = mqtt.toObject();
    return read;
}

Result<Project> readProject(const QString &path, const QString &lineName)
{
    const auto lines = readProjectLines(path);
    if (!lines.ok())
        return Result<Project>::failure(lines.error());
    QStringList names;
    for (const ProjectLine &line : lines.value()) {
        if (line.name == lineName)
            return line.project;
        names << line.name;
    }
    const QString why = names.first().isEmpty()
        ? QStringLiteral("--line %1: the file holds one line, without a name").arg(lineName)
        : lineName.isEmpty()
        ? QStringLiteral("the file holds several lines (%1): choose one with --line NAME").arg(names.join(QStringLiteral(", ")))
        : QStringLiteral("--line %1: no such line; the file's lines are %2").arg(lineName, names.join(QStringLiteral(", ")));
    return Result<Project>::failure(path + QStringLiteral(": ") + why);
}

Result<bool> writeProject(const QString &path, const Project &project)
{
    QJsonArray tags;
    for (const Tag &tag : project.tags)
        tags.append(tag.toJson());
    QJsonObject root{{QStringLiteral("line"), project.line}, {QStringLiteral("tags"), tags}};
    if (!project.mqtt.isEmpty())
        root.insert(QStringLiteral("mqtt"), project.mqtt);
    // QSaveFile leaves an existing project as it was if writing fails.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0 || !file.commit())
        return Result<bool>::failure(path + QStringLiteral(": ") + file.errorString());
    return true;
}

} // namespace pollhost
