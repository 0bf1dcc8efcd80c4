// Initial values for the simulated memory, from a text file with one
// assignment per line:
//     FAMILY ADDRESS=VALUE      for example  DM 100=1234,  RLY 00105=1,  TV_p 5=30
// Relay addresses are written as channel and two bit digits (00105 is
// channel 1, bit 5). Blank lines and lines starting with # are skipped.
// Every bad line is reported with its number; nothing is applied unless the
// whole file is good, so a typo never leaves a half-loaded PLC.
#ifndef ORDELIN_SIM_INITIAL_VALUES_H
#define ORDELIN_SIM_INITIAL_VALUES_H

#include "plc_memory.h"

#include <QtCore/QStringList>

namespace sim {

// Applies the text to the memory. Result: the list of errors, each
// "line N: ..."; empty means everything was applied.
QStringList applyInitialValues(PlcMemory &memory, const QString &text);

// Reads the file and applies it; a file that cannot be read is one error.
QStringList loadInitialValues(PlcMemory &memory, const QString &path);

} // namespace sim

#endif
