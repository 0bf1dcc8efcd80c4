#include "variable_set.h"

#include "host/project_file.h"

#include <QtCore/QFile>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QSaveFile>

namespace monitor {

using Loaded = tools::Result<VariableSet>;

Loaded loadVariableSet(const QString &path, const QString &lineName)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Loaded::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject())
        return Loaded::failure(QStringLiteral("%1: not a variable set (%2)")
                                   .arg(path, error.error == QJsonParseError::NoError
                                                  ? QStringLiteral("no object")
                                                  : error.errorString()));
    const QJsonObject root = document.object();
    VariableSet set;
    for (const QJsonValue &value : root.value(QLatin1String("variables")).toArray())
        set.variables << value.toString();
    if (root.contains(QLatin1String("tags")) || root.contains(QLatin1String("line"))
        || root.contains(QLatin1String("lines"))) {
        const auto project = pollhost::readProject(path, lineName);
        if (!project.ok())
            return Loaded::failure(project.error());
        set.tags = project.value().tags;
        set.line = project.value().line;
    }
    for (const QJsonValue &value : root.value(QLatin1String("trends")).toArray())
        set.trends << value.toString();
    const QJsonObject formats = root.value(QLatin1String("formats")).toObject();
    for (auto it = formats.begin(); it != formats.end(); ++it)
        set.formats.insert(it.key(), it.value().toString());
    if (set.variables.contains(QString()) || set.trends.contains(QString()))
        return Loaded::failure(QStringLiteral("%1: variables and trends must be texts").arg(path));
    return set;
}

QString saveVariableSet(const QString &path, const VariableSet &set)
{
    QJsonObject formats;
    for (auto it = set.formats.cbegin(); it != set.formats.cend(); ++it)
        formats.insert(it.key(), it.value());
    const QJsonObject root{{QStringLiteral("variables"), QJsonArray::fromStringList(set.variables)},
                           {QStringLiteral("trends"), QJsonArray::fromStringList(set.trends)},
                           {QStringLiteral("formats"), formats}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0
        || !file.commit())
        return QStringLiteral("%1: %2").arg(path, file.errorString());
    return {};
}

} // namespace monitor
