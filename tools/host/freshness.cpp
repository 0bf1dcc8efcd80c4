#include "freshness.h"

namespace pollhost {

void Freshness::readAttempt(const QString &family, int address, bool accepted, qint64 nowMs)
{
    ElementState &state = elements[qMakePair(family, address)];
    if (accepted)
        state = {Quality::Fresh, nowMs};
    else if (state.quality == Quality::Fresh)
        state.quality = Quality::Stale;
}

void Freshness::linkDown()
{
    for (ElementState &state : elements) {
        if (state.quality == Quality::Fresh)
            state.quality = Quality::Stale;
    }
}

ElementState Freshness::of(const QString &family, int address) const
{
    return elements.value(qMakePair(family, address));
}

QString qualityName(Quality quality)
{
    switch (quality) {
    case Quality::Fresh: return QStringLiteral("fresh");
    case Quality::Stale: return QStringLiteral("stale");
    case Quality::NeverRead: break;
    }
    return QStringLiteral("never read");
}

} // namespace pollhost
