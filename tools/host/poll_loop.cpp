#include "poll_loop.h"

#include "reply_judge.h"
#include "trace.h"

#include <algorithm>

namespace pollhost {

using tools::msNs;
using tools::nowNs;

PollLoop::PollLoop(const DriverApi &api, DriverHost &host, SerialLink &link, LoopEvents &events,
                   const HostSettings &settings, const tools::WakeUp &stop)
    : api(api), host(host), link(link), events(events), settings(settings), stop(stop)
{
}

PollLoop::~PollLoop()
{
    link.setHeartbeat({});
}

PollView PollLoop::view() const
{
    const qint64 nowMs = clock.elapsed();
    const qint64 limit = staleAfterMs();
    QList<QVector<ElementState>> states;
    for (const Variable &variable : host.cyclicVariables()) {
        QVector<ElementState> row;
        for (int k = 0; k < variable.count; ++k)
            row << freshness.of(variable.family, variable.address + k, nowMs, limit);
        states << row;
    }
    return {nowMs, &counts, &host.cyclicVariables(), host.values(), states};
}

// Three read cycles, counting only cycles in which every read was accepted
// (the one under way too, up to its last accepted read), and at least 2 s.
qint64 PollLoop::staleAfterMs() const
{
    if (settings.staleAfterMs > 0)
        return settings.staleAfterMs;
    return std::max<qint64>(2000, 3 * std::max(longestCycleMs, cycleClean ? cycleGoodMs : 0));
}

LoopEnd PollLoop::run()
{
    clock.start();
    link.setHeartbeat([this] { // the next beat: a second after what was last shown
        const qint64 nowMs = clock.elapsed();
        showIfDue(nowMs);
        const qint64 nextMs = shownAtMs + 1000 > nowMs ? shownAtMs + 1000 : nowMs + 1000;
        return (clock.msecsSinceReference() + nextMs) * msNs;
    });
    if (settings.durationMs > 0)
        durationEndNs = nowNs() + settings.durationMs * msNs;
    openEndNs = nowNs() + settings.openTimeoutMs * msNs;
    // With --reconnect the port need not be there yet.
    LoopEnd end = link.isOpen() ? LoopEnd::Running : reconnect();
    while (end == LoopEnd::Running) {
        end = turn();
        if (end == LoopEnd::PortFailed && settings.reconnect)
            end = reconnect();
    }
    if (end == LoopEnd::PortFailed)
        linkLost(); // so the last thing shown says the link is down
    report(host.takeEvents());
    if (host.requestsPending()) {
        host.abandonPending(settings.untilStopped ? QStringLiteral("not sent: disconnected first")
                                                  : QStringLiteral("not completed: the run ended first"));
        report(host.takeEvents());
    }
    return end;
}

// Between two frames: requests posted from another thread go to the
// driver; the driver chooses what to send; the line is made unambiguous;
// the frame goes out and its reply comes back (or the timeout); DataCom
// judges it; the loop learns what it did; completions are shown.
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
    const Settled settled = link.settle(settings.timeoutMs, deadlineNs());
    noticeUnasked();
    if (settled == Settled::Quiet)
        freshness.lineQuiet();
    if (settled == Settled::Interrupted || settled == Settled::PortFailed)
        return reason();
    if (settled != Settled::Quiet)
        return unsent(facts, settled);
    return exchange(frame->command.constData(), facts);
}

// `command` is the frame's, valid until DataCom.
LoopEnd PollLoop::exchange(const char *command, const FrameFacts &frame)
{
    if (settings.trace)
        events.trace(traceLine('>', QByteArray(command, frame.commandLength)));
    host.sending(frame);
    LinkReply reply = link.exchange(command, frame.commandLength, frame.replyLength, settings.timeoutMs,
                                    deadlineNs());
    if (reply.end == ReplyEnd::Interrupted || reply.end == ReplyEnd::PortFailed)
        return reason();
    if (reply.end == ReplyEnd::Complete)
        counts.replied(reply.atNs - reply.sentNs);
    const int result = api.dataCom(reply.bytes);
    if (settings.trace)
        events.trace(traceLine('<', reply.bytes, QStringLiteral("DataCom %1").arg(result)));
    const QString cause = result == 1 ? QString() : rejectionCause(reply.bytes, frame.replyLength);
    judged(frame, {frame.kind == FrameFacts::Startup, result, cause, frame.commandLength, int(reply.bytes.size())},
           msAt(reply.atNs));
    noticeUnasked(); // bytes after the reply's end
    return reason();
}

// The line could not be made unambiguous: the frame stays unsent, and the
// driver learns of it as of a reply that never came, so it retries and in
// the end drops it, and the link goes down as on a silent line.
LoopEnd PollLoop::unsent(const FrameFacts &frame, Settled settled)
{
    const QString cause = settled == Settled::NotQuiet ? QStringLiteral("line not quiet")
                                                       : QStringLiteral("no reply");
    QByteArray none;
    const int result = api.dataCom(none);
    if (settings.trace)
        events.trace(QStringLiteral("! frame not sent: %1; DataCom %2").arg(cause).arg(result));
    judged(frame, {frame.kind == FrameFacts::Startup, result, cause, 0, 0}, clock.elapsed());
    return reason();
}

void PollLoop::judged(const FrameFacts &frame, const ExchangeOutcome &outcome, qint64 nowMs)
{
    const LinkState before = counts.link;
    counts.record(outcome);
    if (frame.kind != FrameFacts::Startup)
        freshness.readAttempt(frame.family, frame.address, outcome.result == 1, nowMs);
    if (outcome.result > 1)
        freshness.linkDown();
    host.learn(frame, outcome.result);
    if (counts.link != before)
        events.linkChanged(nowMs, counts);
    report(host.takeEvents());
    const bool cycleDone = frame.kind == FrameFacts::CyclicRead && cycleStep(outcome.result == 1, nowMs);
    showIfDue(nowMs, cycleDone || counts.link != before);
    pause(cycleDone ? settings.intervalMs : settings.gapMs);
}

// True when this cyclic read ended a read cycle.
bool PollLoop::cycleStep(bool accepted, qint64 nowMs)
{
    cycleClean = cycleClean && accepted;
    if (cycleClean)
        cycleGoodMs = nowMs - cycleStartMs;
    if (++cyclicInCycle < host.cyclicReads())
        return false;
    if (cycleClean)
        longestCycleMs = std::max(longestCycleMs, cycleGoodMs);
    cyclicInCycle = 0;
    cycleStartMs = nowMs;
    cycleClean = true;
    cycleGoodMs = 0;
    return true;
}

void PollLoop::noticeUnasked()
{
    if (link.discardedBytes() == counts.lateBytes)
        return;
    counts.lateBytes = link.discardedBytes();
    freshness.unaskedBytes();
}

// After every read cycle, when the link changes, and at least once a
// second whatever the loop waits for.
void PollLoop::showIfDue(qint64 nowMs, bool force)
{
    if (host.cyclicReads() == 0 || (!force && nowMs - shownAtMs < 1000))
        return;
    shownAtMs = nowMs;
    events.show(view());
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

void PollLoop::report(const QList<HostEvent> &done)
{
    for (const HostEvent &event : done) {
        if (!event.complete)
            ++failed;
        events.event(clock.elapsed(), event);
    }
}

void PollLoop::pause(int ms)
{
    if (ms > 0)
        stop.sleepUntil(std::min(nowNs() + ms * msNs, deadlineNs()));
}

// The earliest moment the run must end by itself: --duration, and
// --open-timeout while the link has never opened.
qint64 PollLoop::deadlineNs() const
{
    return counts.everOpened ? durationEndNs : std::min(durationEndNs, openEndNs);
}

// A moment on the link's clock as the loop's milliseconds: QElapsedTimer
// reads the same monotonic clock.
qint64 PollLoop::msAt(qint64 ns) const
{
    return ns / msNs - clock.msecsSinceReference();
}

// The port failed (a USB adapter pulled out): the link is down and every
// value stale, at once, in whatever is shown.
void PollLoop::linkLost()
{
    ++counts.outages;
    counts.outageCause = link.failure();
    counts.portDown = true;
    counts.link = LinkState::Down;
    freshness.linkDown();
    events.linkChanged(clock.elapsed(), counts);
    showIfDue(clock.elapsed(), true);
}

// With --reconnect the port is tried again every second. The driver keeps
// its lists, so polling, writes and once-reads resume where they were.
LoopEnd PollLoop::reconnect()
{
    linkLost();
    for (;;) {
        pause(1000);
        if (stop.raised())
            return LoopEnd::Stopped;
        if (limits() != LoopEnd::Running)
            return limits();
        if (link.reopen().ok()) {
            counts.portDown = false;
            if (!counts.everOpened) // the link's open time starts with the port
                openEndNs = nowNs() + settings.openTimeoutMs * msNs;
            return LoopEnd::Running;
        }
        showIfDue(clock.elapsed(), true);
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
    if (!counts.everOpened && link.isOpen() && nowNs() >= openEndNs)
        return LoopEnd::NeverOpened;
    if (settings.count > 0 && qint64(counts.exchanges) >= settings.count)
        return LoopEnd::Limit;
    if (durationEndNs != tools::never && nowNs() >= durationEndNs)
        return LoopEnd::Limit;
    return LoopEnd::Running;
}

} // namespace pollhost
