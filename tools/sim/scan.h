// The PLC program the simulator runs, so a host sees a living machine:
//  - DM 0 counts scan ticks;
//  - relay 00000 (channel 0, bit 0) blinks, on and off for five ticks each;
//  - every timer with a nonzero preset counts its current value up to the
//    preset, one per tick, and its contact is on once it gets there (write
//    a lower current value to start it again);
//  - every counter with a nonzero preset counts the blinks of relay 00000
//    up to its preset and then switches its contact on.
// The scan is applied in whole ticks and in closed form, so a simulator that
// sat idle for an hour catches up in one step.
#ifndef ORDELIN_SIM_SCAN_H
#define ORDELIN_SIM_SCAN_H

#include "plc_memory.h"

namespace sim {

constexpr int blinkTicks = 5;

// Runs the program from tick `from` to tick `to` (from <= to).
void runScan(PlcMemory &memory, qint64 from, qint64 to);

// The memory a fresh simulator starts with: timers 0 to 9 with presets of
// 10, 20, ... 100 ticks, counters 0 to 9 with presets of 5, 10, ... 50 blinks.
void loadDefaultProgram(PlcMemory &memory);

} // namespace sim

#endif
