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

Result<WriteRequest> checkedWrite(const DriverApi &api, const QList<Tag> &tags, const QString &text,
                                  int language)
{
    const int equals = text.indexOf(QLatin1Char('='));
    const QString value = text.mid(equals + 1);
    const Tag *tag = equals > 0 && !value.contains(QLatin1Char(',')) ? tagNamed(tags, text.left(equals)) : nullptr;
    if (tag) {
        const auto elements = elementsToWrite(*tag, value);
        if (!elements.ok())
            return Result<WriteRequest>::failure(elements.error());
        return WriteRequest{text, tag->variable, elements.value()};
    }
    auto write = parseWrite(text);
    const auto target = write.ok() ? checkVariable(api, write.value().target, language)
                                   : Result<Variable>::failure(write.error());
    if (!target.ok())
        return Result<WriteRequest>::failure(target.error());
    write.value().target = target.value();
    return write;
}

} // namespace

Result<RequestSet> buildRequests(const DriverApi &api, const QList<VariableText> &cyclic,
                                 const QList<Tag> &projectTags, const QStringList &writes,
                                 const QStringList &onceReads, int language)
{
    RequestSet set;
    for (const VariableText &given : cyclic) {
        const auto variable = checked(api, given, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(variable.error());
        set.cyclic << variable.value();
    }
    QList<Tag> tags;
    for (Tag tag : projectTags) {
        const auto variable = checkVariable(api, tag.variable, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(QStringLiteral("tag '%1': %2").arg(tag.name, variable.error()));
        tag.variable = variable.value();
        tags << tag;
    }
    set.tags = placeTags(set.cyclic, tags);
    for (const Tag &tag : tags)
        set.cyclic << tag.variable;
    for (const QString &text : onceReads) {
        const auto variable = checked(api, {text, {}}, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(variable.error());
        set.onceReads << variable.value();
    }
    for (const QString &text : writes) {
        const auto write = checkedWrite(api, tags, text, language);
        if (!write.ok())
            return Result<RequestSet>::failure(write.error());
        set.writes << write.value();
    }
    return set;
}

} // namespace pollhost
