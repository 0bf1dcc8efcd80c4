// Address texts as the host's editor writes them: their conversion into the
// integer address and their validation with a message for the user.
#include "families.h"
#include "messages.h"

#include "ordelin/ordelin.h"

#include <optional>

using namespace ordelin;

namespace {

constexpr int wordAddressType = 1;
constexpr int bitAddressType = 0;

// What validation needs of a family: how far its addresses reach and what to
// say when one does not fit.
struct RangeRule {
    int highest;
    Message outOfRange;
};

// "TV" is known to validation alone; keeping it out of the family table
// keeps it out of the poll path and the run generation too.
const RangeRule timerValueRule = {255, messages::timerValueRange};

std::optional<RangeRule> rangeRule(const QString &registerName)
{
    if (const FamilyInfo *family = findFamily(registerName))
        return RangeRule{family->validHighest, {family->rangeMessageZh, family->rangeMessageEn}};
    if (registerName == QLatin1String("TV"))
        return timerValueRule;
    return std::nullopt;
}

// Names outside the table, "TV" among them, count as word registers.
int expectedAddressType(const QString &registerName)
{
    const FamilyInfo *family = findFamily(registerName);
    return family && family->isBit ? bitAddressType : wordAddressType;
}

// The extent moves only the upper end: a run that starts inside the family
// must also end inside it. Summed in 64 bits so no extent can wrap around.
bool fitsRange(const RangeRule &rule, int address, int extent)
{
    return address >= 0 && qint64(address) + extent <= rule.highest;
}

// The complaints that end validation before the text is converted, in the
// order the editor expects them: a wrong address type outranks a bad text.
std::optional<Message> complaintBeforeConversion(const QString &registerName,
                                                 const QString &addressText, int addressType)
{
    if (addressType != expectedAddressType(registerName))
        return messages::typeMismatch;
    if (addressText.isEmpty())
        return messages::emptyAddress;
    // Only the space: other white space is left to the number conversion.
    if (addressText.contains(QLatin1Char(' ')))
        return messages::addressWithSpace;
    return std::nullopt;
}

} // namespace

extern "C" {

int AddrStringToInt(QString registerName, QString addressText)
{
    bool converted = false;
    const int number = addressText.toInt(&converted, 10);
    if (!converted)
        return -1;
    if (registerName != QLatin1String("RLY"))
        return number;
    // dddDD: channel and bit; the bit is not held to 15, the range check
    // of the caller decides what is acceptable.
    return number / 100 * 16 + number % 100;
}

QString CheckAddrCorrect(QString registerName, QString addressText, int &address, int extent,
                         int language, int addressType)
{
    if (const auto complaint = complaintBeforeConversion(registerName, addressText, addressType))
        return localized(*complaint, language);
    // Written before the range test: the editor shows the integer address
    // even for a text it rejects.
    address = AddrStringToInt(registerName, addressText);
    const std::optional<RangeRule> rule = rangeRule(registerName);
    if (!rule)
        return localized(messages::unknownRegister, language);
    if (!fitsRange(*rule, address, extent))
        return localized(rule->outOfRange, language);
    return QString();
}

} // extern "C"
