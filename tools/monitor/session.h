// One connection of the monitor: the line (a serial port or the built-in
// simulator) polled by the host library's loop on a worker thread. The
// window never waits for it: it posts requests, and takes what the loop
// reported from an inbox that only a short lock guards.
#ifndef ORDELIN_MONITOR_SESSION_H
#define ORDELIN_MONITOR_SESSION_H

#include "host/driver_host.h"
#include "host/loop_events.h"
#include "common/wake_up.h"
#include "sim/simulator.h"

#include "common/line_settings.h"

#include <QtCore/QThread>

#include <memory>
#include <mutex>

namespace pollhost {
class SerialLink;
}

namespace monitor {

struct SessionConfig {
    bool sim = false;
    QString port;
    tools::LineSettings line;
    pollhost::HostSettings host;
};

// How far an element's value can be trusted, and when it was last read.
struct ElementTrust {
    pollhost::Quality quality = pollhost::Quality::NeverRead;
    qint64 readAtMs = -1; // since the epoch
    qint64 loopReadAtMs = -1; // as the loop's clock said it, to tell a new read
};

// What the loop reported since the window last looked.
struct Inbox {
    QStringList traces;
    quint64 tracesDropped = 0; // more than the inbox holds between two looks
    QList<pollhost::HostEvent> events;
    QList<pollhost::OwnCompletion> completions; // of the window's writes and once-reads
    QHash<QPair<QString, int>, ElementTrust> trust; // by family and address
    quint64 exchanges = 0, accepted = 0, rejected = 0, dropped = 0, startups = 0;
    pollhost::LinkState link = pollhost::LinkState::Opening;
    QString problem; // the port's, while it cannot be used; empty otherwise
    bool running = true;
};

class Session : private pollhost::LoopEvents {
public:
    // Starts the built-in simulator when asked, registers with the driver
    // and starts the worker thread.
    static tools::Result<std::shared_ptr<Session>> start(const pollhost::DriverApi &api,
                                                         const SessionConfig &config,
                                                         QList<pollhost::Variable> cyclic);
    Session(const pollhost::DriverApi &api, const SessionConfig &config,
            QList<pollhost::Variable> cyclic);
    ~Session() override; // stops and joins the worker
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    void postCyclic(QList<pollhost::Variable> variables) { host.postCyclic(std::move(variables)); }

    // Ends the worker's waits at once; returns without waiting for it.
    void stop() { wake.raise(); }
    // Empties the inbox of what was new; the counters, the link and the
    // trust stay as they are.
    Inbox take();

private:
    void work();
    bool openLink(pollhost::SerialLink &link);

    void show(const pollhost::PollView &view) override;
    void event(qint64, const pollhost::HostEvent &event) override;
    void linkChanged(qint64, const pollhost::ExchangeStats &stats) override;
    void trace(const QString &line) override;
    void completed(const pollhost::OwnCompletion &completion) override;
    void count(const pollhost::ExchangeStats &stats);

    const pollhost::DriverApi &api;
    SessionConfig config;
    QString port;
    std::shared_ptr<sim::Simulator> simulator;
    pollhost::DriverHost host;
    tools::WakeUp wake;
    qint64 loopStartMs = 0; // the epoch time of the loop clock's zero

    std::mutex mutex; // guards the inbox and `before`
    Inbox inbox;
    Inbox before; // the counters of the links opened earlier in the session
    // A QThread, not a std::thread: the serial port needs Qt's thread data.
    std::unique_ptr<QThread> worker;
};

} // namespace monitor

#endif
