// One connection of the monitor: the line (a serial port or the built-in
// simulator) polled by the host library's loop in a worker object that
// lives in a QThread of its own. The worker tells the window what the loop
// reports through queued signals; the window hands it variables, writes and
// once-reads through the host library, which gives them to the driver
// between two frames. Neither side waits for the other.
#ifndef ORDELIN_MONITOR_SESSION_H
#define ORDELIN_MONITOR_SESSION_H

#include "host/driver_host.h"
#include "host/loop_events.h"
#include "common/wake_up.h"
#include "sim/simulator.h"

#include "common/line_settings.h"

#include <QtCore/QThread>

#include <memory>

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
};
using Trust = QHash<QPair<QString, int>, ElementTrust>; // by family and address

// The line's counters and state as the loop last reported them.
struct LineCounts {
    quint64 exchanges = 0, accepted = 0, rejected = 0, dropped = 0, startups = 0;
    pollhost::LinkState link = pollhost::LinkState::Opening;
    QString replyTime; // the PLC's answer time, once one came
};

// Lives in the session's thread; run() is the whole connection.
class LoopWorker : public QObject, private pollhost::LoopEvents {
    Q_OBJECT
public:
    LoopWorker(const pollhost::DriverApi &api, const SessionConfig &config, const QString &port,
               pollhost::DriverHost &host, const tools::WakeUp &wake);

    void run();

signals:
    void traced(const QString &line);
    void ended(const pollhost::HostEvent &event); // a write or once-read
    void shown(const monitor::Trust &trust, const monitor::LineCounts &counts);
    // Why the port cannot be used, while it cannot; empty once it can.
    void problem(const QString &text);
    void finished();

private:
    void show(const pollhost::PollView &view) override;
    void event(qint64, const pollhost::HostEvent &event) override;
    void linkChanged(qint64, const pollhost::ExchangeStats &stats) override;
    void trace(const QString &line) override;
    void tell(const pollhost::ExchangeStats &stats);

    const pollhost::DriverApi &api;
    SessionConfig config;
    QString port;
    pollhost::DriverHost &host;
    const tools::WakeUp &wake;
    const pollhost::SerialLink *link = nullptr; // while the loop runs
    qint64 loopStartMs = 0; // the epoch time of the loop clock's zero
    Trust trust;
    QString told; // the problem last told
};

class Session {
public:
    // Starts the built-in simulator when asked, registers with the driver
    // and makes the worker; run() starts it, once its signals are connected.
    static tools::Result<std::unique_ptr<Session>> create(const pollhost::DriverApi &api,
                                                         const SessionConfig &config,
                                                         QList<pollhost::Variable> cyclic);
    ~Session(); // stops the worker and waits for it
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    const LoopWorker *worker() const { return loop; }
    void run() { thread.start(); }
    pollhost::DriverHost &requests() { return host; }

    // Ends the worker's waits at once; returns without waiting for it.
    void stop() { wake.raise(); }

private:
    Session(const pollhost::DriverApi &api, const SessionConfig &config, QList<pollhost::Variable> cyclic);

    std::shared_ptr<sim::Simulator> simulator;
    pollhost::DriverHost host;
    tools::WakeUp wake;
    QThread thread;
    LoopWorker *loop = nullptr; // deleted on its thread when it ends
};

} // namespace monitor

Q_DECLARE_METATYPE(pollhost::HostEvent)
Q_DECLARE_METATYPE(monitor::Trust)
Q_DECLARE_METATYPE(monitor::LineCounts)

#endif
