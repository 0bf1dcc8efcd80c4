#include "scan.h"

#include <algorithm>

namespace sim {

namespace {

// Relay 00000 is on during odd blink periods; it switches on at the start
// of each of them.
qint64 blinksUpTo(qint64 tick)
{
    return (tick / blinkTicks + 1) / 2;
}

template <int N>
void countUp(CounterBlock<N> &block, qint64 steps)
{
    for (size_t i = 0; i < size_t(N); ++i) {
        const quint16 preset = block.preset[i];
        if (preset == 0 || block.current[i] >= preset)
            continue;
        block.current[i] = quint16(std::min<qint64>(preset, block.current[i] + steps));
        block.contact[i] = block.current[i] >= preset ? 1 : 0;
    }
}

} // namespace

void runScan(PlcMemory &memory, qint64 from, qint64 to)
{
    if (to <= from)
        return;
    memory.dm[0] = quint16(memory.dm[0] + quint16(to - from));
    memory.relays[0] = (to / blinkTicks) % 2;
    countUp(memory.timers, to - from);
    countUp(memory.counters, blinksUpTo(to) - blinksUpTo(from));
}

void loadDefaultProgram(PlcMemory &memory)
{
    for (size_t i = 0; i < 10; ++i) {
        memory.timers.preset[i] = quint16(10 * (i + 1));
        memory.counters.preset[i] = quint16(5 * (i + 1));
    }
}

} // namespace sim
