#include "freshness.h"

namespace pollhost {

namespace {

int badness(Quality quality)
{
    switch (quality) {
    case Quality::Fresh: return 0;
    case Quality::Uncertain: return 1;
    case Quality::Stale: return 2;
    case Quality::NeverRead: break;
    }
    return 3;
}

} // namespace

ElementState worse(const ElementState &a, const ElementState &b)
{
    if (badness(a.quality) != badness(b.quality))
        return badness(a.quality) > badness(b.quality) ? a : b;
    return b.readAtMs >= 0 && (a.readAtMs < 0 || b.readAtMs < a.readAtMs) ? b : a;
}

void Freshness::readAttempt(const QString &family, int address, bool accepted, qint64 nowMs)
{
    Element &element = elements[{family, address}];
    if (accepted)
        element = {{Quality::Fresh, nowMs}, quietTimes};
    else if (element.state.quality != Quality::NeverRead)
        element.state.quality = Quality::Stale;
}

void Freshness::linkDown()
{
    for (Element &element : elements) {
        if (element.state.quality != Quality::NeverRead)
            element.state.quality = Quality::Stale;
    }
}

void Freshness::unaskedBytes()
{
    for (Element &element : elements) {
        if (element.state.quality == Quality::Fresh && element.quietTimes == quietTimes)
            element.state.quality = Quality::Uncertain;
    }
}

ElementState Freshness::of(const QString &family, int address, qint64 nowMs, qint64 staleAfterMs) const
{
    ElementState state = elements.value({family, address}).state;
    if (state.quality != Quality::NeverRead && staleAfterMs > 0 && nowMs - state.readAtMs > staleAfterMs)
        state.quality = Quality::Stale;
    return state;
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
