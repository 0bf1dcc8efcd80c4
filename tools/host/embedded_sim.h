// --sim: the simulator on a pseudo-terminal inside this process, so the host
// runs with no hardware and no set-up.
#ifndef ORDELIN_HOST_EMBEDDED_SIM_H
#define ORDELIN_HOST_EMBEDDED_SIM_H

#include "sim/simulator.h"

namespace pollhost {

sim::Simulator::StartResult startEmbeddedSimulator(const sim::SimConfig &config);

} // namespace pollhost

#endif
