#include "plc_memory.h"

namespace sim {

namespace {

template <class Array>
std::optional<typename Array::value_type *> at(Array &array, int address)
{
    if (address < 0 || address >= int(array.size()))
        return std::nullopt;
    return &array[size_t(address)];
}

template <class Array>
std::optional<Element> bitAt(Array &array, int address)
{
    const auto cell = at(array, address);
    return cell ? std::optional<Element>(Element{*cell, nullptr}) : std::nullopt;
}

template <class Array>
std::optional<Element> wordAt(Array &array, int address)
{
    const auto cell = at(array, address);
    return cell ? std::optional<Element>(Element{nullptr, *cell}) : std::nullopt;
}

} // namespace

std::optional<Element> element(PlcMemory &memory, const QString &family, int address)
{
    if (family == QLatin1String("RLY"))
        return bitAt(memory.relays, address);
    if (family == QLatin1String("T"))
        return bitAt(memory.timers.contact, address);
    if (family == QLatin1String("C"))
        return bitAt(memory.counters.contact, address);
    if (family == QLatin1String("DM"))
        return wordAt(memory.dm, address);
    if (family == QLatin1String("TM"))
        return wordAt(memory.tm, address);
    if (family == QLatin1String("TV_c"))
        return wordAt(memory.timers.current, address);
    if (family == QLatin1String("TV_p"))
        return wordAt(memory.timers.preset, address);
    if (family == QLatin1String("CV_c"))
        return wordAt(memory.counters.current, address);
    if (family == QLatin1String("CV_p"))
        return wordAt(memory.counters.preset, address);
    if (family == QLatin1String("CTH"))
        return wordAt(memory.highSpeed.current, address);
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
