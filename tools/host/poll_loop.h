// The host's communication loop: ask the driver for a frame, make the line
// unambiguous, exchange the frame, hand the reply back, and between read
// cycles show the values. It keeps no state outside itself and the driver,
// reports through LoopEvents at least once a second whatever it waits for,
// and every wait in it ends at once on a stop request, so a front end may
// run it on a thread of its own.
#ifndef ORDELIN_HOST_POLL_LOOP_H
#define ORDELIN_HOST_POLL_LOOP_H

#include "driver_host.h"
#include "exchange_stats.h"
#include "freshness.h"
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
             const HostSettings &settings, const tools::WakeUp &stop);
    ~PollLoop();
    PollLoop(const PollLoop &) = delete;
    PollLoop &operator=(const PollLoop &) = delete;

    // Runs until one of LoopEnd's reasons; reports every write and once-read
    // that did not complete by then. With --reconnect a port that failed is
    // reopened instead, and the run goes on.
    LoopEnd run();

    const ExchangeStats &stats() const { return counts; }
    qint64 elapsedMs() const { return clock.elapsed(); }
    PollView view() const;
    int failedRequests() const { return failed; }
    // The age past which a value is no longer fresh, as it stands now.
    qint64 staleAfterMs() const;

private:
    LoopEnd turn();
    LoopEnd exchange(const char *command, const FrameFacts &frame);
    LoopEnd unsent(const FrameFacts &frame, Settled settled);
    LoopEnd idle();
    LoopEnd reconnect();
    void linkLost();
    LoopEnd reason() const;
    LoopEnd limits() const;
    qint64 deadlineNs() const;
    qint64 msAt(qint64 ns) const;
    void judged(const FrameFacts &frame, const ExchangeOutcome &outcome, qint64 nowMs);
    bool cycleStep(bool accepted, qint64 nowMs);
    void noticeUnasked();
    void showIfDue(qint64 nowMs, bool force = false);
    void report(const QList<HostEvent> &events);
    void pause(int ms);

    const DriverApi &api;
    DriverHost &host;
    SerialLink &link;
    LoopEvents &events;
    const HostSettings &settings;
    const tools::WakeUp &stop;
    ExchangeStats counts;
    Freshness freshness;
    QElapsedTimer clock;
    int cyclicInCycle = 0;
    qint64 cycleStartMs = 0;
    bool cycleClean = true;     // every exchange of this cycle was accepted
    qint64 cycleGoodMs = 0;     // from its start to its last accepted read
    qint64 longestCycleMs = 0;  // of the clean cycles
    int idleCalls = 0; // null frames since the last write or once-read frame
    int failed = 0;
    qint64 shownAtMs = -1;
    qint64 durationEndNs = tools::never;
    qint64 openEndNs = tools::never;
};

} // namespace pollhost

#endif
