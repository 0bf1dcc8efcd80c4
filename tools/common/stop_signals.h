// SIGINT, SIGTERM and SIGHUP (a closed terminal, a hung-up line's session)
// raise a program's stop request, from the handler, so a run ends within a
// few milliseconds whatever wait it is in and still prints its summary.
// Every signal only raises it again: a second Ctrl-C changes nothing.
#ifndef ORDELIN_TOOLS_STOP_SIGNALS_H
#define ORDELIN_TOOLS_STOP_SIGNALS_H

#include "wake_up.h"

namespace tools {

void raiseOnStopSignals(WakeUp &stop);

// The signals above, for a thread that must leave them to the main one.
void blockStopSignals(bool block);

} // namespace tools

#endif
