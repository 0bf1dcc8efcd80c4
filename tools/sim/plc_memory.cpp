#include "plc_memory.h"

#include <type_traits>

namespace sim {

namespace {

// Bit families are arrays of bytes, word families arrays of 16-bit words.
// The table's ranges and these arrays agree; the size check keeps a
// mismatch from ever reaching past an array.
template <class Array>
std::optional<Element> elementAt(Array &array, int address)
{
    if (address < 0 || address >= int(array.size()))
        return std::nullopt;
    Element found;
    if constexpr (std::is_same_v<typename Array::value_type, quint8>)
        found.bit = &array[size_t(address)];
    else
        found.word = &array[size_t(address)];
    return found;
}

// Where each family of the tools' table lives in the PLC.
std::optional<Element> cell(PlcMemory &memory, tools::FamilyId family, int address)
{
    using tools::FamilyId;
    switch (family) {
    case FamilyId::Relay: return elementAt(memory.relays, address);
    case FamilyId::TimerContact: return elementAt(memory.timers.contact, address);
    case FamilyId::CounterContact: return elementAt(memory.counters.contact, address);
    case FamilyId::Dm: return elementAt(memory.dm, address);
    case FamilyId::Tm: return elementAt(memory.tm, address);
    case FamilyId::TimerCurrent: return elementAt(memory.timers.current, address);
    case FamilyId::TimerPreset: return elementAt(memory.timers.preset, address);
    case FamilyId::CounterCurrent: return elementAt(memory.counters.current, address);
    case FamilyId::CounterPreset: return elementAt(memory.counters.preset, address);
    case FamilyId::HighSpeed: break;
    }
    return elementAt(memory.highSpeed.current, address);
}

} // namespace

std::optional<Element> element(PlcMemory &memory, const QString &name, int address)
{
    const tools::Family *family = tools::findFamily(name);
    if (!family || address < 0 || address >= family->elements)
        return std::nullopt;
    return cell(memory, family->id, address);
}

std::optional<int> valueOf(const PlcMemory &memory, const QString &family, int address)
{
    // element() hands out pointers for writing; reading through them does not change anything.
    const auto found = element(const_cast<PlcMemory &>(memory), family, address);
    if (!found)
        return std::nullopt;
    return found->bit ? (*found->bit & 1) : int(*found->word);
}

} // namespace sim
