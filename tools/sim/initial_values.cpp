#include "initial_values.h"

#include "common/result.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>

#include <functional>

namespace sim {

namespace {

using Assignment = std::function<void(PlcMemory &)>;
using tools::Result;

// One line turned into the change it makes, or the reason it makes none.
Result<Assignment> parseLine(PlcMemory &probe, const QString &line)
{
    // "DM 100=1234" or "DM100=1234", as addresses are written everywhere else.
    static const QRegularExpression form(
        QStringLiteral("^\\s*([A-Za-z_]+?)\\s*(\\d+)\\s*=\\s*(\\S+)\\s*$"));
    const QRegularExpressionMatch match = form.match(line);
    if (!match.hasMatch())
        return Result<Assignment>::failure(QStringLiteral("expected FAMILY ADDRESS=VALUE, e.g. DM100=1234"));
    const QString family = match.captured(1);
    const QString addressText = match.captured(2);
    const tools::Family *known = tools::findFamily(family);
    if (!known)
        return Result<Assignment>::failure(QStringLiteral("unknown family '%1'").arg(family));
    const auto address = tools::integerAddress(*known, addressText);
    const auto target = address ? element(probe, family, *address) : std::nullopt;
    if (!target)
        return Result<Assignment>::failure(
            QStringLiteral("address '%1' is outside %2").arg(addressText, family));
    bool converted = false;
    const int value = match.captured(3).toInt(&converted);
    const int highest = target->bit ? 1 : 0xFFFF;
    if (!converted || value < 0 || value > highest)
        return Result<Assignment>::failure(QStringLiteral("value '%1' is not 0 to %2")
                                               .arg(match.captured(3))
                                               .arg(highest));
    return Assignment([family, address, value](PlcMemory &memory) {
        const auto cell = element(memory, family, *address);
        if (cell->bit)
            *cell->bit = quint8(value);
        else
            *cell->word = quint16(value);
    });
}

} // namespace

QStringList applyInitialValues(PlcMemory &memory, const QString &text)
{
    QStringList errors;
    QList<Assignment> assignments;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto parsed = parseLine(memory, line);
        if (parsed.ok())
            assignments.append(parsed.value());
        else
            errors.append(QStringLiteral("line %1: %2").arg(i + 1).arg(parsed.error()));
    }
    if (errors.isEmpty()) {
        for (const Assignment &assign : assignments)
            assign(memory);
    }
    return errors;
}

QStringList loadInitialValues(PlcMemory &memory, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {QStringLiteral("%1: %2").arg(path, file.errorString())};
    QStringList errors = applyInitialValues(memory, QString::fromUtf8(file.readAll()));
    for (QString &error : errors)
        error.prepend(path + QStringLiteral(": "));
    return errors;
}

} // namespace sim
