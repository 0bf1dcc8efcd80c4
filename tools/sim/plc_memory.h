// The simulated PLC's memory: every element the driver can read or write.
// Timers, counters and high-speed counters are blocks of contact, current
// value and preset, because one read command returns all three of them.
#ifndef ORDELIN_SIM_PLC_MEMORY_H
#define ORDELIN_SIM_PLC_MEMORY_H

#include "common/families.h"

#include <QtCore/QString>

#include <array>
#include <optional>

namespace sim {

template <int N>
struct CounterBlock {
    std::array<quint8, N> contact{};
    std::array<quint16, N> current{};
    std::array<quint16, N> preset{};
};

constexpr int relayChannels = 1000;
constexpr int relayCount = relayChannels * 16; // integer address: channel * 16 + bit

struct PlcMemory {
    std::array<quint8, relayCount> relays{};
    CounterBlock<1000> timers;
    CounterBlock<1000> counters;
    CounterBlock<10> highSpeed;
    std::array<quint16, 10000> dm{};
    std::array<quint16, 100> tm{};
};

// One element named as the driver's host names it: a family of the tools'
// table (common/families.h) and its integer address. Exactly one of the two pointers is set.
struct Element {
    quint8 *bit = nullptr;
    quint16 *word = nullptr;
};

// The element, or nothing when the family is unknown or the address lies
// outside the family.
std::optional<Element> element(PlcMemory &memory, const QString &family, int address);

// Reads an element's value the same way; bits read as 0 or 1.
std::optional<int> valueOf(const PlcMemory &memory, const QString &family, int address);

} // namespace sim

#endif
