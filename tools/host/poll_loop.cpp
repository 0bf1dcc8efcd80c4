#include "poll_loop.h"

#include "reply_judge.h"
#include "trace.h"

namespace pollhost {

PollLoop::PollLoop(const DriverApi &api, DriverHost &host, SerialLink &link, LoopEvents &events,
                   const HostSettings &settings, const WakeUp &stop)
    : api(api), host(host), link(link), events(events), settings(settings), stop(stop)
{
}

PollView PollLoop::view() const
{
    return {clock.elapsed(), &counts, &host.cyclicVariables(), host.values(), host.states()};
}

LoopEnd PollLoop::run()
{
    clock.start();
    if (settings.durationMs > 0)
        durationEnd = QDeadlineTimer(settings.durationMs);
    openEnd = QDeadlineTimer(settings.openTimeoutMs);
    LoopEnd end = LoopEnd::Running;
    while (end == LoopEnd::Running) {
        end = turn();
        if (end == LoopEnd::PortFailed && settings.reconnect)
            end = reconnect();
    }
    report(host.takeEvents());
    if (host.requestsPending()) {
        host.abandonPending(settings.untilStopped ? QStringLiteral("not sent: disconnected first")
                                                  : QStringLiteral("not completed: the run ended first"));
        report(host.takeEvents());
    }
    return end;
}

// Between two frames: requests posted from another thread go to the
// driver; the driver chooses what to send; the line must be
// quiet; the frame goes out and its reply comes back (or the timeout);
// DataCom judges it; the host learns what it did; completions are shown.
LoopEnd PollLoop::turn()
{
    if (reason() != LoopEnd::Running)
        return reason();
    host.applyPosted();
    SendFrame *frame = api.comCommunication();
    if (!frame)
        return idle();
    const FrameFacts facts = FrameFacts::of(*frame); // DataCom may free the frame
    if (facts.kind == FrameFacts::Write || facts.kind == FrameFacts::OnceRead)
        idleCalls = 0;
    if (!link.settle(deadline()) || reason() != LoopEnd::Running)
        return reason();
    return exchange(frame->command.constData(), facts);
}

// `command` is the frame's, valid until DataCom.
LoopEnd PollLoop::exchange(const char *command, const FrameFacts &frame)
{
    if (settings.trace)
        events.trace(traceLine('>', QByteArray(command, frame.commandLength)));
    host.sending(frame);
    LinkReply reply = link.exchange(command, frame.commandLength, frame.replyLength, settings.timeoutMs,
                                    deadline());
    if (reply.end == ReplyEnd::Interrupted || reply.end == ReplyEnd::PortFailed)
        return reason();
    const int result = api.dataCom(reply.bytes);
    if (settings.trace)
        events.trace(traceLine('<', reply.bytes, QStringLiteral("DataCom %1").arg(result)));
    const LinkState before = counts.link;
    // The moment the reply ended: QElapsedTimer and QDeadlineTimer count
    // from the same reference, so the link's reading serves here too.
    const qint64 nowMs = reply.atNs / 1000000 - clock.msecsSinceReference();
    learn(frame, reply.bytes, result, nowMs);
    const bool cycleDone = frame.kind == FrameFacts::CyclicRead && ++cyclicInCycle >= host.cyclicReads();
    if (cycleDone)
        cyclicInCycle = 0;
    // Also when the link changes, and once a second while no cycle
    // completes, so what is shown never keeps an old link state.
    const bool due = cycleDone || counts.link != before || nowMs - shownAtMs >= 1000;
    if (due && host.cyclicReads() > 0) {
        shownAtMs = nowMs;
        events.show(view());
    }
    pause(cycleDone ? settings.intervalMs : settings.gapMs);
    return reason();
}

// ComCommunication had nothing to send. Once, that only ends a burst of
// writes or once-reads; twice in a row while one of them waits, the driver
// makes no frame for it and never will: it stays at the head of its list.
LoopEnd PollLoop::idle()
{
    report(host.takeEvents());
    const bool nothingLeft = host.cyclicReads() == 0 && !settings.untilStopped;
    if (!host.requestsPending() && nothingLeft)
        return LoopEnd::Done;
    if (host.requestsPending() && ++idleCalls < 2)
        return reason();
    if (host.requestsPending()) {
        host.abandonPending(QStringLiteral("not sent: the driver makes no frame for it"));
        report(host.takeEvents());
        return nothingLeft ? LoopEnd::Done : reason();
    }
    pause(qMax(settings.intervalMs, 100));
    return reason();
}

void PollLoop::learn(const FrameFacts &frame, const QByteArray &reply, int result, qint64 nowMs)
{
    const LinkState before = counts.link;
    const QString cause = result == 1 ? QString() : rejectionCause(reply, frame.replyLength);
    counts.record({frame.kind == FrameFacts::Startup, result, cause, frame.commandLength,
                   int(reply.size())});
    counts.lateBytes = link.discardedBytes();
    host.learn(frame, result, nowMs);
    if (counts.link != before)
        events.linkChanged(nowMs, counts);
    report(host.takeEvents());
}

void PollLoop::report(const QList<HostEvent> &done)
{
    for (const HostEvent &event : done) {
        if (!event.complete)
            ++failed;
        events.event(clock.elapsed(), event);
    }
}

bool PollLoop::pause(int ms)
{
    if (ms <= 0)
        return true;
    const QDeadlineTimer until(ms);
    const QDeadlineTimer cap = deadline();
    return stop.sleepUntil(!cap.isForever() && cap.deadline() < until.deadline() ? cap : until);
}

// The earliest moment the run must end by itself: --duration, and
// --open-timeout while the link has never opened.
QDeadlineTimer PollLoop::deadline() const
{
    if (counts.everOpened || (!durationEnd.isForever() && durationEnd.deadline() < openEnd.deadline()))
        return durationEnd;
    return openEnd;
}

// The port failed (a USB adapter pulled out): the link is down, its values
// stale, and the port is tried again every second. The driver keeps its
// lists, so polling, writes and once-reads resume where they were.
LoopEnd PollLoop::reconnect()
{
    ++counts.outages;
    counts.outageCause = link.failure();
    counts.link = LinkState::Down;
    host.linkLost();
    events.linkChanged(clock.elapsed(), counts);
    for (;;) {
        if (host.cyclicReads() > 0)
            events.show(view()); // once a second, so every output shows the link down
        pause(1000);
        if (stop.raised())
            return LoopEnd::Stopped;
        if (limits() != LoopEnd::Running)
            return limits();
        if (link.reopen().ok())
            return LoopEnd::Running;
    }
}

LoopEnd PollLoop::reason() const
{
    if (stop.raised())
        return LoopEnd::Stopped;
    if (!link.failure().isEmpty())
        return LoopEnd::PortFailed;
    return limits();
}

// The ends a run reaches by itself: --open-timeout, --count, --duration.
LoopEnd PollLoop::limits() const
{
    if (!counts.everOpened && openEnd.hasExpired())
        return LoopEnd::NeverOpened;
    if (settings.count > 0 && qint64(counts.exchanges) >= settings.count)
        return LoopEnd::Limit;
    // Asked a few times an exchange: without --duration no call is made.
    if (!durationEnd.isForever() && durationEnd.hasExpired())
        return LoopEnd::Limit;
    return LoopEnd::Running;
}

} // namespace pollhost
