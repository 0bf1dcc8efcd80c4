// The options of the simulator, shared by ordelin-sim and by the
// --sim-options of ordelin-poll, so both accept and reject the same things.
#ifndef ORDELIN_SIM_SIM_OPTIONS_H
#define ORDELIN_SIM_SIM_OPTIONS_H

#include "sim_engine.h"

#include "common/line_settings.h"
#include "common/result.h"

namespace sim {

struct SimOptions {
    SimConfig config;
    QString port;                // empty: create a pseudo-terminal
    bool reconnect = false;      // wait for a port that hung up to come back
    tools::LineSettings line;
    bool showHelp = false;
    QString helpText;
};

// `arguments` starts with the program name, as QCoreApplication gives it.
tools::Result<SimOptions> parseSimOptions(const QStringList &arguments);

} // namespace sim

#endif
