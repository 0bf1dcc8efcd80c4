#include "families.h"

namespace tools {

namespace {

const Family table[] = {
    {FamilyId::Relay, "RLY", true, 16000, true},
    {FamilyId::TimerContact, "T", true, 1000, false},
    {FamilyId::CounterContact, "C", true, 1000, false},
    {FamilyId::Dm, "DM", false, 10000, false},
    {FamilyId::Tm, "TM", false, 100, false},
    {FamilyId::TimerCurrent, "TV_c", false, 1000, false},
    {FamilyId::TimerPreset, "TV_p", false, 1000, false},
    {FamilyId::CounterCurrent, "CV_c", false, 1000, false},
    {FamilyId::CounterPreset, "CV_p", false, 1000, false},
    {FamilyId::HighSpeed, "CTH", false, 10, false},
};

} // namespace

const Family *findFamily(const QString &name)
{
    for (const Family &family : table) {
        if (name == QLatin1String(family.name))
            return &family;
    }
    return nullptr;
}

const Family *familyIgnoringCase(const QString &name)
{
    for (const Family &family : table) {
        if (name.compare(QLatin1String(family.name), Qt::CaseInsensitive) == 0)
            return &family;
    }
    return nullptr;
}

QStringList familyNames(const QString &prefix)
{
    QStringList names;
    for (const Family &family : table) {
        if (QLatin1String(family.name).startsWith(prefix))
            names << QLatin1String(family.name);
    }
    return names;
}

std::optional<int> integerAddress(const Family &family, const QString &text)
{
    bool converted = false;
    const int number = text.toInt(&converted);
    if (!converted || number < 0)
        return std::nullopt;
    if (!family.relayForm)
        return number;
    if (number % 100 > 15)
        return std::nullopt;
    return number / 100 * 16 + number % 100;
}

QString elementName(const Family &family, int address)
{
    if (!family.relayForm)
        return QLatin1String(family.name) + QString::number(address);
    return QStringLiteral("%1%2%3")
        .arg(QLatin1String(family.name))
        .arg(address / 16, 3, 10, QLatin1Char('0'))
        .arg(address % 16, 2, 10, QLatin1Char('0'));
}

} // namespace tools
