// --sim: the simulator on a pseudo-terminal inside this process, so the host
// runs with no hardware and no set-up.
#ifndef ORDELIN_HOST_EMBEDDED_SIM_H
#define ORDELIN_HOST_EMBEDDED_SIM_H

#include "sim/simulator.h"

#include "common/line_settings.h"

namespace pollhost {

sim::Simulator::StartResult startEmbeddedSimulator(const sim::SimConfig &config);

// What to add to the message when the simulator's pseudo-terminal cannot
// be opened at these settings: Linux pseudo-terminals refuse 7 data bits
// and parity. Empty for settings a pseudo-terminal takes.
QString simulatorLineHint(const tools::LineSettings &line);

} // namespace pollhost

#endif
