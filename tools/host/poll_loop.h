// The host's communication loop: ask the driver for a frame, exchange it on
// the line, hand the reply back, and between read cycles show the values.
#ifndef ORDELIN_HOST_POLL_LOOP_H
#define ORDELIN_HOST_POLL_LOOP_H

#include "driver_host.h"
#include "exchange_stats.h"
#include "loop_events.h"
#include "serial_link.h"

#include <QtCore/QElapsedTimer>

namespace pollhost {

class PollLoop {
public:
    PollLoop(const DriverApi &api, DriverHost &host, SerialLink &link, LoopEvents &output,
             const HostSettings &options);

    // Runs until --count or --duration is reached, Ctrl-C, the port fails,
    // the link does not open in time, or nothing is left to do.
    void run();

    const ExchangeStats &stats() const { return counts; }
    qint64 elapsedMs() const { return clock.elapsed(); }
    PollView view() const;

    bool gaveUpOpening() const { return openTimedOut; }
    const QString &portFailure() const { return portError; }
    // The port failed and the link is down: count the outage and report it,
    // so run() may go on once the port is open again (--reconnect).
    void portDown();
    const QString &lastOutage() const { return lastPortError; }
    // Whether waiting for the port should end: Ctrl-C or --duration.
    bool waitingEnds() const;
    int failedRequests() const { return failed; }

private:
    bool finished() const;
    bool exchange(SendFrame &frame); // true when it completed a read cycle
    void report(const QList<HostEvent> &events);
    void pause(int ms) const;

    const DriverApi &api;
    DriverHost &host;
    SerialLink &link;
    LoopEvents &output;
    const HostSettings &options;
    ExchangeStats counts;
    QElapsedTimer clock;
    int cyclicInCycle = 0;
    int failed = 0;
    bool openTimedOut = false;
    QString portError;
    QString lastPortError;
};

// SIGINT and SIGTERM end the loop after the exchange in progress; a second
// Ctrl-C ends the program at once.
void installStopHandlers();
// Ends the loop after the exchange in progress, as Ctrl-C does.
void requestStop();

} // namespace pollhost

#endif
