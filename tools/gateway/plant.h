// ordelin-gateway given a project of several lines and no --line: the
// supervisor of a plant. The driver library is one object per process, and
// a line that crashes must not take the others along, so each line runs in
// a process of its own (plant_line.h), publishing under <prefix>/<name>.
// The supervisor keeps a connection of its own to the broker, with its own
// client id, and publishes the lines' states, retained, on <prefix>/lines
// at every change; its last will there says it is gone. SIGINT, SIGTERM and
// SIGHUP stop every line at once, publish the lines' last states and end
// the run with 0 within two seconds. When every line has failed for good,
// the run ends with the first one's exit code.
#ifndef ORDELIN_GATEWAY_PLANT_H
#define ORDELIN_GATEWAY_PLANT_H

#include "gateway_options.h"

namespace gateway {

// `arguments`: the program's, its name first, handed on to every line.
int runPlant(const GatewayOptions &options, const QStringList &arguments);

} // namespace gateway

#endif
