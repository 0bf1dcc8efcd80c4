// A simulated PLC serving a line in a thread of its own: the engine, the
// device and the loop that moves bytes between them. Used by the
// ordelin-sim program, by ordelin-poll --sim and by the tests, which look
// into the PLC's memory while a host polls it.
#ifndef ORDELIN_SIM_SIMULATOR_H
#define ORDELIN_SIM_SIMULATOR_H

#include "line_device.h"
#include "sim_engine.h"

#include <deque>
#include <mutex>
#include <thread>

namespace sim {

class Simulator {
public:
    using StartResult = tools::Result<std::shared_ptr<Simulator>>;

    // Prepares the memory (failing on a bad initial values file) and starts
    // serving the device.
    static StartResult start(const SimConfig &config, std::shared_ptr<LineDevice> device);

    Simulator(const SimConfig &config, std::shared_ptr<LineDevice> device);
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    const QString &portName() const { return device->portName(); }

    // Runs `look` on the engine while the line thread keeps off it.
    template <class Look>
    auto inspect(Look look)
    {
        std::lock_guard<std::mutex> hold(engineMutex);
        return look(engine);
    }

    void setSilent(bool silent);
    void stop();

private:
    void serve();
    void receive();
    void sendDue();
    bool sendPending(qint64 nowNs) const;

    std::shared_ptr<LineDevice> device;
    SimEngine engine;
    std::mutex engineMutex;
    std::deque<Scheduled> outgoing; // line thread only
    int wakePipe[2] = {-1, -1};
    std::thread thread;
};

// Nanoseconds on the monotonic clock.
qint64 monotonicNs();

} // namespace sim

#endif
