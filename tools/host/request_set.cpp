#include "request_set.h"

namespace pollhost {

namespace {

using tools::Result;

Result<Variable> checked(const DriverApi &api, const VariableText &given, int language)
{
    const auto parsed = parseVariable(given.text);
    const auto variable = parsed.ok() ? checkVariable(api, parsed.value(), language) : parsed;
    if (variable.ok() || given.origin.isEmpty())
        return variable;
    return Result<Variable>::failure(given.origin + QStringLiteral(": ") + variable.error());
}

const Tag *tagNamed(const QList<Tag> &tags, const QString &name)
{
    for (const Tag &tag : tags) {
        if (tag.name == name)
            return &tag;
    }
    return nullptr;
}

} // namespace

bool namesATag(const QString &name)
{
    static const QRegularExpression address(QStringLiteral("^[A-Za-z_]+\\d"));
    return !address.match(name).hasMatch();
}

namespace {

QString noSuchTag(const QString &name, const ProjectTags &project)
{
    if (project.path.isEmpty())
        return QStringLiteral("'%1' is neither an address (e.g. DM100) nor a tag: no project file was given "
                              "(--config)").arg(name);
    return QStringLiteral("no tag '%1' in %2").arg(name, project.path);
}

Result<WriteRequest> checkedWrite(const DriverApi &api, const ProjectTags &project, const QString &text,
                                  int language)
{
    const int equals = text.indexOf(QLatin1Char('='));
    const QString name = text.left(equals);
    const QString value = text.mid(equals + 1);
    // A typed write names its own tag: DM110@float32=1.5.
    const auto typed = name.contains(QLatin1Char('@')) ? typedTags(name) : Result<QList<Tag>>(QList<Tag>{});
    if (!typed.ok())
        return Result<WriteRequest>::failure(typed.error());
    QList<Tag> known = project.tags;
    for (Tag tag : typed.value()) {
        const auto variable = checkVariable(api, tag.variable, language);
        if (!variable.ok())
            return Result<WriteRequest>::failure(variable.error());
        tag.variable = variable.value();
        known << tag;
    }
    if (const Tag *tag = equals > 0 ? tagNamed(known, name) : nullptr) {
        const int values = int(value.count(QLatin1Char(','))) + 1;
        if (values > 1)
            return Result<WriteRequest>::failure(
                QStringLiteral("%1: tag '%2' takes one value, not %3").arg(text, name).arg(values));
        const auto elements = elementsToWrite(*tag, value);
        if (!elements.ok())
            return Result<WriteRequest>::failure(elements.error());
        return WriteRequest{text, tag->variable, elements.value()};
    }
    if (equals > 0 && namesATag(name))
        return Result<WriteRequest>::failure(text + QStringLiteral(": ") + noSuchTag(name, project));
    auto write = parseWrite(text);
    const auto target = write.ok() ? checkVariable(api, write.value().target, language)
                                   : Result<Variable>::failure(write.error());
    if (!target.ok())
        return Result<WriteRequest>::failure(target.error());
    write.value().target = target.value();
    return write;
}

Result<Variable> checkedOnceRead(const DriverApi &api, const ProjectTags &project, const QString &text,
                                 int language)
{
    if (const Tag *tag = tagNamed(project.tags, text))
        return checkVariable(api, tag->variable, language);
    if (namesATag(text.section(QLatin1Char(':'), 0, 0)))
        return Result<Variable>::failure(noSuchTag(text, project));
    return checked(api, {text, {}}, language);
}

} // namespace

Result<RequestSet> buildRequests(const DriverApi &api, const QList<VariableText> &cyclic,
                                 const ProjectTags &project, const QStringList &writes,
                                 const QStringList &onceReads, int language)
{
    RequestSet set;
    QList<Tag> tags;
    for (const VariableText &given : cyclic) {
        if (given.text.contains(QLatin1Char('@'))) { // read through a type, as a tag
            const auto typed = typedTags(given.text);
            if (!typed.ok())
                return Result<RequestSet>::failure(typed.error());
            tags += typed.value();
            continue;
        }
        const auto variable = checked(api, given, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(variable.error());
        set.cyclic << variable.value();
    }
    QList<Tag> checkedTags;
    for (Tag tag : project.tags + tags) {
        const auto variable = checkVariable(api, tag.variable, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(QStringLiteral("tag '%1': %2").arg(tag.name, variable.error()));
        tag.variable = variable.value();
        checkedTags << tag;
    }
    set.tags = placeTags(set.cyclic, checkedTags);
    for (const Tag &tag : checkedTags)
        set.cyclic << tag.variable;
    for (const QString &text : onceReads) {
        const auto variable = checkedOnceRead(api, project, text, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(variable.error());
        set.onceReads << variable.value();
    }
    for (const QString &text : writes) {
        const auto write = checkedWrite(api, {checkedTags, project.path}, text, language);
        if (!write.ok())
            return Result<RequestSet>::failure(write.error());
        set.writes << write.value();
    }
    return set;
}

} // namespace pollhost
