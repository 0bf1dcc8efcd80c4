#include "poll_loop.h"

#include "trace.h"

#include <atomic>
#include <csignal>

namespace pollhost {

namespace {

std::atomic<bool> stopRequested{false};

void onStopSignal(int)
{
    stopRequested = true;
}

const QByteArray startupCommand("CR\r\n");

} // namespace

void installStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = &onStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

PollLoop::PollLoop(const DriverApi &api, DriverHost &host, SerialLink &link, LoopEvents &output,
                   const HostSettings &options)
    : api(api), host(host), link(link), output(output), options(options)
{
}

PollView PollLoop::view() const
{
    return {clock.elapsed(), &counts, &host.cyclicVariables(), host.values()};
}

void PollLoop::run()
{
    clock.start();
    while (!finished()) {
        host.applyPosted();
        SendFrame *frame = api.comCommunication();
        if (!frame) {
            report(host.takeEvents());
            if (!host.requestsPending() && host.cyclicReads() == 0 && !options.untilStopped)
                return; // everything asked for is done
            // A null frame also ends a burst of writes or once-reads; the rest
            // only waits for the next call.
            pause(host.requestsPending() ? options.gapMs : std::max(options.intervalMs, 1));
            continue;
        }
        if (exchange(*frame)) {
            output.show(view());
            pause(options.intervalMs);
        } else {
            pause(options.gapMs);
        }
    }
}

void PollLoop::stop()
{
    std::lock_guard<std::mutex> hold(pauseMutex);
    stopped = true;
    wake.notify_all();
}

bool PollLoop::finished() const
{
    if (stopRequested || stopped)
        return true;
    if (options.count > 0 && qint64(counts.exchanges) >= options.count)
        return true;
    if (options.durationMs > 0 && clock.elapsed() >= options.durationMs)
        return true;
    return openTimedOut || !portError.isEmpty();
}

bool PollLoop::exchange(SendFrame &frame)
{
    // The frame belongs to the driver and DataCom may free it: copy first.
    const QByteArray command = frame.command.left(frame.commandLength);
    const int replyLength = frame.replyLength;
    const bool startup = command == startupCommand;
    const bool cyclic = !startup && frame.request.operation == 0 && frame.request.requestGroup == -1;
    ExchangeRecord record{frame.request.registerName, frame.request.address, frame.request.count,
                          cyclic, 0};
    if (options.trace)
        output.trace(traceLine('>', command));
    QByteArray reply = link.exchange(command, replyLength, options.timeoutMs);
    const int received = reply.size();
    const int result = api.dataCom(reply);
    if (options.trace)
        output.trace(traceLine('<', reply, QStringLiteral("DataCom %1").arg(result)));
    const LinkState before = counts.link;
    counts.record({startup, result, replyLength, received});
    counts.lateBytes = link.discardedBytes();
    record.result = result;
    output.exchanged(record, counts);
    if (counts.link != before)
        output.linkChanged(clock.elapsed(), counts);
    report(host.takeEvents());
    portError = link.failure();
    if (!counts.everOpened && clock.elapsed() >= options.openTimeoutMs)
        openTimedOut = true;
    if (!cyclic || ++cyclicInCycle < host.cyclicReads())
        return false;
    cyclicInCycle = 0;
    return true;
}

void PollLoop::report(const QList<HostEvent> &events)
{
    for (const HostEvent &event : events) {
        if (event.status != 1)
            ++failed;
        output.event(clock.elapsed(), event);
    }
}

// Sleeps until stop() wakes it or the time is up; in steps of at most 20 ms,
// since Ctrl-C can only set a flag and --duration may end inside the pause.
void PollLoop::pause(int ms)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(ms);
    std::unique_lock<std::mutex> hold(pauseMutex);
    while (!finished() && Clock::now() < until)
        wake.wait_until(hold, std::min(until, Clock::now() + std::chrono::milliseconds(20)));
}

} // namespace pollhost
