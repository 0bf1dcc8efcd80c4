#include "embedded_sim.h"

#include "common/stop_signals.h"

namespace pollhost {

sim::Simulator::StartResult startEmbeddedSimulator(const sim::SimConfig &config)
{
    const auto device = sim::openPseudoTerminal();
    if (!device.ok())
        return sim::Simulator::StartResult::failure(device.error());
    // The simulator's thread keeps out of Ctrl-C, which is the host's to
    // handle: it inherits the blocked signals.
    tools::blockStopSignals(true);
    auto started = sim::Simulator::start(config, device.value());
    tools::blockStopSignals(false);
    return started;
}

QString simulatorLineHint(const tools::LineSettings &line)
{
    if (line.dataBits == 8 && line.parity == tools::Parity::None)
        return {};
    return QStringLiteral(" (the built-in simulator runs on a pseudo-terminal, which takes only 8 data "
                          "bits and no parity: %1 is for a real port)")
        .arg(tools::describe(line));
}

} // namespace pollhost
