// A simulated PLC serving a line: the engine, the device and the loop that
// moves bytes between them, in the caller's thread (ordelin-sim) or in a
// thread of its own (ordelin-poll --sim and the tests, which look into the
// PLC's memory while a host polls it). The loop sleeps on the line and a
// wake-up pipe; a line that hangs up ends it instead of making it spin.
#ifndef ORDELIN_SIM_SIMULATOR_H
#define ORDELIN_SIM_SIMULATOR_H

#include "line_device.h"
#include "sim_engine.h"

#include "common/wake_up.h"

#include <deque>
#include <mutex>
#include <thread>

namespace sim {

class Simulator {
public:
    using StartResult = tools::Result<std::shared_ptr<Simulator>>;

    // Prepares the memory, failing on a bad initial values file.
    static StartResult create(const SimConfig &config, std::shared_ptr<LineDevice> device);
    // The same, then serves the device in a thread of its own.
    static StartResult start(const SimConfig &config, std::shared_ptr<LineDevice> device);

    enum class End { Stopped, HungUp };
    // Serves the device until stop() or until the line hangs up.
    End serve();
    // A new line for the same PLC, after a hang-up; not while serving.
    void setDevice(std::shared_ptr<LineDevice> line);
    // Sleeps up to ms; false when stop() came first.
    bool sleep(int ms) const { return wake.sleepUntil(tools::nowNs() + ms * tools::msNs); }
    // Raising it is stop() without the join: what a signal handler may do.
    tools::WakeUp &stopRequest() { return wake; }

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
    bool receive(qint64 wokeNs);
    void sendDue();
    bool sendPending(qint64 nowNs) const;
    qint64 chatter(qint64 now);

    std::shared_ptr<LineDevice> device;
    SimEngine engine;
    std::mutex engineMutex;
    std::deque<Scheduled> outgoing; // line thread only
    tools::WakeUp wake;
    int chatterMs;
    qint32 onlyBaud; // with --strict-baud the one rate answered, otherwise 0
    bool replied = false;     // line thread only, as the two below
    qint64 nextChatterNs = 0;
    std::thread thread;
};

} // namespace sim

#endif
