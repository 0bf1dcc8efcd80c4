// How the simulated PLC answers one complete command frame. A pure function
// of the frame and the memory: no clock, no line, no randomness, so every
// command form can be tested and fuzzed directly.
#ifndef ORDELIN_SIM_COMMAND_ANSWER_H
#define ORDELIN_SIM_COMMAND_ANSWER_H

#include "plc_memory.h"

#include <QtCore/QByteArray>

namespace sim {

enum class CommandKind { Startup, Read, Write, Malformed };

struct Answer {
    QByteArray reply;
    CommandKind kind;
};

// The frame includes its terminator: CR LF, or CR alone for "ST" and "RS".
// Writes change the memory before the "OK" is returned. A frame that is not
// one of the PLC's commands, or that names an element the PLC does not
// have, is answered "E1" CR LF and changes nothing.
Answer answerCommand(PlcMemory &memory, const QByteArray &frame);

// The error reply, also used by fault injection.
QByteArray errorReply();

} // namespace sim

#endif
