#include "plc_memory.h"

#include <type_traits>

namespace sim {

namespace {

// Bit families are arrays of bytes, word families arrays of 16-bit words.
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

} // namespace

std::optional<Element> element(PlcMemory &memory, const QString &family, int address)
{
    if (family == QLatin1String("RLY"))
        return elementAt(memory.relays, address);
    if (family == QLatin1String("T"))
        return elementAt(memory.timers.contact, address);
    if (family == QLatin1String("C"))
        return elementAt(memory.counters.contact, address);
    if (family == QLatin1String("DM"))
        return elementAt(memory.dm, address);
    if (family == QLatin1String("TM"))
        return elementAt(memory.tm, address);
    if (family == QLatin1String("TV_c"))
        return elementAt(memory.timers.current, address);
    if (family == QLatin1String("TV_p"))
        return elementAt(memory.timers.preset, address);
    if (family == QLatin1String("CV_c"))
        return elementAt(memory.counters.current, address);
    if (family == QLatin1String("CV_p"))
        return elementAt(memory.counters.preset, address);
    if (family == QLatin1String("CTH"))
        return elementAt(memory.highSpeed.current, address);
    return std::nullopt;
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
