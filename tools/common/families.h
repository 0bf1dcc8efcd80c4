// The register families as the tools know them: one row each, read by the
// simulator's memory, its initial-values parser and the host's variable
// parser. Names are compared exactly (case-sensitively), as the driver does.
#ifndef ORDELIN_TOOLS_FAMILIES_H
#define ORDELIN_TOOLS_FAMILIES_H

#include <QtCore/QStringList>

#include <optional>

namespace tools {

enum class FamilyId { Relay, TimerContact, CounterContact, Dm, Tm, TimerCurrent, TimerPreset,
                      CounterCurrent, CounterPreset, HighSpeed };

struct Family {
    FamilyId id;
    const char *name;
    bool bit;     // one bit per element; otherwise a 16-bit word
    int elements; // integer addresses 0 to elements - 1
    bool relayForm; // address text is channel ddd and bit DD; otherwise a plain number
};

// The family of that exact name, or nothing.
const Family *findFamily(const QString &name);

// The family whose name matches ignoring case, for a message about a
// mistyped name; nothing when the name is unknown in any spelling.
const Family *familyIgnoringCase(const QString &name);

// The names of the families whose name starts with `prefix`, in table order.
QStringList familyNames(const QString &prefix = {});

// The integer address of an address text: for relays channel * 16 + bit
// with the bit from 00 to 15, otherwise the number. Nothing when the text
// is not a non-negative number, or names a relay bit above 15; the range
// of the family is not checked here.
std::optional<int> integerAddress(const Family &family, const QString &text);

// The name of one element as the user writes it: DM100, RLY00105.
QString elementName(const Family &family, int address);

} // namespace tools

#endif
