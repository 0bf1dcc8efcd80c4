// One connection of the monitor: the line (a serial port or the built-in
// simulator) polled by the host library's loop on a worker thread. The
// window never waits for it: it posts requests, and takes what the loop
// reported from an inbox that only a short lock guards.
#ifndef ORDELIN_MONITOR_SESSION_H
#define ORDELIN_MONITOR_SESSION_H

#include "host/driver_host.h"
#include "host/loop_events.h"
#include "sim/simulator.h"

#include "common/line_settings.h"

#include <QtCore/QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace pollhost {
class PollLoop;
class SerialLink;
}

namespace monitor {

struct SessionConfig {
    bool sim = false;
    QString port;
    tools::LineSettings line;
    pollhost::HostSettings host;
};

// An accepted cyclic read of `count` elements from `address`, and when.
struct ReadStamp {
    QString family;
    int address = 0;
    int count = 0;
    qint64 atMs = 0; // since the epoch
};

// What the loop reported since the window last looked.
struct Inbox {
    QStringList traces;
    quint64 tracesDropped = 0; // more than the inbox holds between two looks
    QList<pollhost::HostEvent> events;
    QList<ReadStamp> reads;
    quint64 exchanges = 0, accepted = 0, rejected = 0, dropped = 0, startups = 0;
    pollhost::LinkState link = pollhost::LinkState::Opening;
    QString problem; // the port's, while it cannot be used; empty otherwise
    bool running = true;
};

class Session : private pollhost::LoopEvents {
public:
    // Starts the built-in simulator when asked, then the worker thread.
    static tools::Result<std::shared_ptr<Session>> start(const pollhost::DriverApi &api,
                                                         const SessionConfig &config,
                                                         QList<pollhost::Variable> cyclic);
    Session(const pollhost::DriverApi &api, const SessionConfig &config,
            QList<pollhost::Variable> cyclic);
    ~Session() override; // stops and joins the worker
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    const QString &portName() const { return port; }
    void postCyclic(QList<pollhost::Variable> variables) { host.postCyclic(std::move(variables)); }
    void postWrite(pollhost::WriteRequest write) { host.postWrite(std::move(write)); }

    // Asks the worker to end after the exchange in progress; returns at once.
    void stop();
    // Empties the inbox; the counters and the link stay as they are.
    Inbox take();

private:
    void work();
    bool openLink(pollhost::SerialLink &link);
    void waitBeforeRetry();

    void show(const pollhost::PollView &) override {}
    void event(qint64, const pollhost::HostEvent &event) override;
    void linkChanged(qint64, const pollhost::ExchangeStats &stats) override;
    void trace(const QString &line) override;
    void exchanged(const pollhost::ExchangeRecord &record,
                   const pollhost::ExchangeStats &stats) override;

    const pollhost::DriverApi &api;
    SessionConfig config;
    QString port;
    std::shared_ptr<sim::Simulator> simulator;
    pollhost::DriverHost host;

    std::mutex mutex; // guards the inbox, the stop flag and the loop pointer
    std::condition_variable stopped;
    Inbox inbox;
    Inbox before; // the counters of the links opened earlier in the session
    bool stopWanted = false;
    pollhost::PollLoop *loop = nullptr;
    // A QThread, not a std::thread: the serial port needs Qt's thread data.
    std::unique_ptr<QThread> worker;
};

} // namespace monitor

#endif
