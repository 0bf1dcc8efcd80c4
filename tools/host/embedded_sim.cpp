#include "embedded_sim.h"

#include <csignal>

namespace pollhost {

sim::Simulator::StartResult startEmbeddedSimulator(const sim::SimConfig &config)
{
    const auto device = sim::openPseudoTerminal();
    if (!device.ok())
        return sim::Simulator::StartResult::failure(device.error());
    // The simulator's thread keeps out of Ctrl-C, which is the host's to handle.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &previous);
    auto started = sim::Simulator::start(config, device.value());
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return started;
}

} // namespace pollhost
