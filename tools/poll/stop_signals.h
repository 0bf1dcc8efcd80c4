// SIGINT and SIGTERM raise the loop's stop request, from the handler, so a
// run ends within a few milliseconds whatever wait it is in. Every signal
// only raises it again: a second Ctrl-C still lets the summary print.
#ifndef ORDELIN_POLL_STOP_SIGNALS_H
#define ORDELIN_POLL_STOP_SIGNALS_H

#include "host/wake_up.h"

namespace pollhost {

void raiseOnStopSignals(WakeUp &stop);

} // namespace pollhost

#endif
