// The host's communication loop: ask the driver for a frame, exchange it on
// the line, hand the reply back, and between read cycles show the values.
// It keeps no state outside itself and the driver, reports through
// LoopEvents, and every wait in it ends at once on a stop request, so a
// front end may run it on a thread of its own.
#ifndef ORDELIN_HOST_POLL_LOOP_H
#define ORDELIN_HOST_POLL_LOOP_H

#include "driver_host.h"
#include "exchange_stats.h"
#include "loop_events.h"
#include "serial_link.h"

#include <QtCore/QElapsedTimer>

namespace pollhost {

enum class LoopEnd {
    Running,
    Done,        // nothing is left to do
    Stopped,     // a stop request (Ctrl-C)
    Limit,       // --count or --duration
    NeverOpened, // --open-timeout
    PortFailed,
};

class PollLoop {
public:
    PollLoop(const DriverApi &api, DriverHost &host, SerialLink &link, LoopEvents &events,
             const HostSettings &settings, const WakeUp &stop);

    // Runs until one of LoopEnd's reasons; reports every write and once-read
    // that did not complete by then. With --reconnect a port that failed is
    // reopened instead, and the run goes on.
    LoopEnd run();

    const ExchangeStats &stats() const { return counts; }
    qint64 elapsedMs() const { return clock.elapsed(); }
    PollView view() const;
    int failedRequests() const { return failed; }

private:
    LoopEnd turn();
    LoopEnd exchange(const char *command, const FrameFacts &frame);
    LoopEnd idle();
    LoopEnd reconnect();
    LoopEnd reason() const;
    LoopEnd limits() const;
    QDeadlineTimer deadline() const;
    void learn(const FrameFacts &frame, const QByteArray &reply, int result, qint64 nowMs);
    void report(const QList<HostEvent> &events);
    bool pause(int ms);

    const DriverApi &api;
    DriverHost &host;
    SerialLink &link;
    LoopEvents &events;
    const HostSettings &settings;
    const WakeUp &stop;
    ExchangeStats counts;
    QElapsedTimer clock;
    int cyclicInCycle = 0;
    int idleCalls = 0; // null frames since the last write or once-read frame
    int failed = 0;
    qint64 shownAtMs = 0;
    QDeadlineTimer durationEnd{QDeadlineTimer::Forever};
    QDeadlineTimer openEnd{QDeadlineTimer::Forever};
};

} // namespace pollhost

#endif
