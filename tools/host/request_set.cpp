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

} // namespace

Result<RequestSet> buildRequests(const DriverApi &api, const QList<VariableText> &cyclic,
                                 const QStringList &writes, const QStringList &onceReads,
                                 int language)
{
    RequestSet set;
    for (const VariableText &given : cyclic) {
        const auto variable = checked(api, given, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(variable.error());
        set.cyclic << variable.value();
    }
    for (const QString &text : onceReads) {
        const auto variable = checked(api, {text, {}}, language);
        if (!variable.ok())
            return Result<RequestSet>::failure(variable.error());
        set.onceReads << variable.value();
    }
    for (const QString &text : writes) {
        auto write = parseWrite(text);
        const auto target = write.ok() ? checkVariable(api, write.value().target, language)
                                       : Result<Variable>::failure(write.error());
        if (!target.ok())
            return Result<RequestSet>::failure(target.error());
        write.value().target = target.value();
        set.writes << write.value();
    }
    return set;
}

} // namespace pollhost
