// Runs of successive addresses for the editor's "copy to further addresses".
// Addresses are stepped in the integer-address space, so relay runs carry
// from bit 15 into the next channel.
#include "families.h"
#include "messages.h"

#include "core/count_ceiling.h"

#include "ordelin/ordelin.h"

using namespace ordelin;

namespace {

// Rendered through unsigned conversions, so an address below zero (reachable
// with a negative step) shows as its 32-bit pattern rather than with a sign.
QString runText(const FamilyInfo &family, int address)
{
    if (family.family == Family::Relay)
        return QString::asprintf("%u%02u", unsigned(address / 16), unsigned(address % 16));
    return QString::asprintf("%u", unsigned(address));
}

// Only the upper limit is tested: a run that climbs past the family is
// clamped, one that goes below zero is the caller's choice. Returns whether
// the address was clamped.
bool appendRunEntry(const FamilyInfo &family, int address, QList<QString> &texts,
                    QVector<int> &values)
{
    const RunRule &rule = family.run;
    if (address <= rule.highest) {
        texts.append(runText(family, address));
        values.append(address);
        return false;
    }
    texts.append(QString::fromLatin1(rule.limitText));
    values.append(rule.overflowMarker);
    return true;
}

} // namespace

extern "C" {

QString AddrMutilCopy(QString registerName, int start, int count, int step, QList<QString> &texts,
                      QVector<int> &values, int language)
{
    texts.clear();
    values.clear();
    const FamilyInfo *family = findFamily(registerName);
    if (!family)
        return QString();
    bool clamped = false;
    // Unsigned, so a run stepping past the 32-bit range wraps instead of
    // overflowing a signed integer.
    quint32 address = quint32(start);
    const int entries = boundedCount(count);
    texts.reserve(qMax(entries, 0));
    values.reserve(qMax(entries, 0));
    for (int entry = 0; entry < entries; ++entry) {
        address += quint32(step);
        clamped |= appendRunEntry(*family, int(address), texts, values);
    }
    return clamped ? localized(messages::copyOverflow, language) : QString();
}

} // extern "C"
