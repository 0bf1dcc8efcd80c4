// The host's communication loop: ask the driver for a frame, exchange it on
// the line, hand the reply back, and between read cycles show the values.
#ifndef ORDELIN_HOST_POLL_LOOP_H
#define ORDELIN_HOST_POLL_LOOP_H

#include "driver_host.h"
#include "exchange_stats.h"
#include "loop_events.h"
#include "serial_link.h"

#include <QtCore/QElapsedTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace pollhost {

class PollLoop {
public:
    PollLoop(const DriverApi &api, DriverHost &host, SerialLink &link, LoopEvents &output,
             const HostSettings &options);

    // Runs until --count or --duration is reached, Ctrl-C, stop(), the port
    // fails, the link does not open in time, or nothing is left to do.
    void run();

    // From any thread: ends the run after the exchange in progress and
    // wakes a pause at once.
    void stop();

    const ExchangeStats &stats() const { return counts; }
    qint64 elapsedMs() const { return clock.elapsed(); }
    PollView view() const;

    bool gaveUpOpening() const { return openTimedOut; }
    const QString &portFailure() const { return portError; }
    int failedRequests() const { return failed; }

private:
    bool finished() const;
    bool exchange(SendFrame &frame); // true when it completed a read cycle
    void report(const QList<HostEvent> &events);
    void pause(int ms);

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
    std::atomic<bool> stopped{false};
    std::mutex pauseMutex;
    std::condition_variable wake;
};

// SIGINT and SIGTERM end the loop after the exchange in progress; a second
// Ctrl-C ends the program at once.
void installStopHandlers();

} // namespace pollhost

#endif
