#include "freshness.h"

namespace pollhost {

int Freshness::indexOf(const QString &family) const
{
    for (int i = 0; i < families.size(); ++i) {
        // The name usually shares its characters with the one stored, as
        // both are copies of the driver's request.
        const QString &name = families.at(i).name;
        if (name.isSharedWith(family) || name == family)
            return i;
    }
    return -1;
}

void Freshness::readAttempt(const QString &family, int address, bool accepted, qint64 nowMs)
{
    int index = indexOf(family);
    if (index < 0) {
        index = families.size();
        families.append({family, {}});
    }
    ElementState &state = families[index].elements[address];
    if (accepted)
        state = {Quality::Fresh, nowMs};
    else if (state.quality == Quality::Fresh)
        state.quality = Quality::Stale;
}

void Freshness::linkDown()
{
    for (Family &family : families) {
        for (ElementState &state : family.elements) {
            if (state.quality == Quality::Fresh)
                state.quality = Quality::Stale;
        }
    }
}

ElementState Freshness::of(const QString &family, int address) const
{
    const int index = indexOf(family);
    return index < 0 ? ElementState{} : families.at(index).elements.value(address);
}

QString qualityName(Quality quality)
{
    switch (quality) {
    case Quality::Fresh: return QStringLiteral("fresh");
    case Quality::Uncertain: return QStringLiteral("uncertain");
    case Quality::Stale: return QStringLiteral("stale");
    case Quality::NeverRead: break;
    }
    return QStringLiteral("never read");
}

} // namespace pollhost
