#include "simulator.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sim {

using tools::nowNs;

Simulator::StartResult Simulator::create(const SimConfig &config, std::shared_ptr<LineDevice> device)
{
    auto simulator = std::make_shared<Simulator>(config, std::move(device));
    const QStringList errors = simulator->inspect([](SimEngine &e) { return e.prepareMemory(); });
    if (!errors.isEmpty())
        return StartResult::failure(errors.join(QLatin1Char('\n')));
    return simulator;
}

Simulator::StartResult Simulator::start(const SimConfig &config, std::shared_ptr<LineDevice> device)
{
    auto created = create(config, std::move(device));
    if (created.ok()) {
        Simulator *raw = created.value().get();
        raw->thread = std::thread([raw] { raw->serve(); });
    }
    return created;
}

Simulator::Simulator(const SimConfig &config, std::shared_ptr<LineDevice> device)
    : device(std::move(device)), engine(config, nowNs()), chatterMs(config.faults.chatterMs),
      onlyBaud(config.strictBaud ? config.line.settings.baud : 0)
{
}

Simulator::~Simulator()
{
    stop();
}

void Simulator::setSilent(bool silent)
{
    inspect([silent](SimEngine &e) { e.setSilent(silent); });
}

void Simulator::stop()
{
    wake.raise();
    if (thread.joinable())
        thread.join();
}

void Simulator::setDevice(std::shared_ptr<LineDevice> line)
{
    device = std::move(line);
    // Replies that never left are lost with the old line; the host's turn
    // begins again with the next byte it sends.
    const qint64 now = nowNs();
    for (const Scheduled &piece : outgoing) {
        if (piece.endsReply)
            inspect([&](SimEngine &e) { e.replySent(now, now); });
    }
    outgoing.clear();
}

// At 115200 baud a byte lasts 87 us: the loop sleeps to nanosecond
// deadlines, and asks the kernel not to stretch them by its default 50 us
// of timer slack.
Simulator::End Simulator::serve()
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    for (;;) {
        const qint64 now = nowNs();
        const bool due = sendPending(now);
        // Nothing to send, or a reply due that the line cannot take yet: only
        // the line (or a stop) can end the wait.
        const bool timed = !outgoing.empty() && !due;
        short revents = 0;
        const auto woke = wake.wait(device->fd(), short(POLLIN | (due ? POLLOUT : 0)),
                                    std::min(timed ? outgoing.front().dueNs : tools::never, chatter(now)),
                                    &revents);
        if (woke == tools::WakeUp::Woke::Stopped || woke == tools::WakeUp::Woke::Failed)
            return End::Stopped;
        // A port whose other end went away reports a hang-up, often with
        // input beside it that reads as nothing: there is no more line.
        if (revents & (POLLHUP | POLLERR | POLLNVAL))
            return End::HungUp;
        // Bytes count as come when the wait ended, not after the read that
        // fetches them: the simulator's own system call is no host's time.
        if ((revents & POLLIN) && !receive(nowNs()))
            return End::HungUp;
        sendDue();
    }
}

// With --chatter-ms, once a reply has gone out: a stray byte when one is
// due, and when the next one is.
qint64 Simulator::chatter(qint64 now)
{
    if (chatterMs <= 0 || !replied)
        return tools::never;
    if (nextChatterNs == 0 || now >= nextChatterNs) {
        if (nextChatterNs != 0)
            [[maybe_unused]] const ssize_t sent = ::write(device->fd(), "?", 1);
        nextChatterNs = now + chatterMs * tools::msNs;
    }
    return nextChatterNs;
}

bool Simulator::sendPending(qint64 nowNs) const
{
    return !outgoing.empty() && outgoing.front().dueNs <= nowNs;
}

// False when the line has hung up: readable, yet nothing or an error.
bool Simulator::receive(qint64 wokeNs)
{
    char buffer[4096];
    const ssize_t got = ::read(device->fd(), buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (got <= 0)
        return false;
    // Bytes sent at another rate are noise to a real PLC: nothing it answers.
    if (onlyBaud != 0 && device->baud() != onlyBaud)
        return true;
    std::vector<Scheduled> scheduled =
        inspect([&](SimEngine &e) { return e.receive(QByteArray(buffer, int(got)), wokeNs); });
    for (Scheduled &piece : scheduled)
        outgoing.push_back(std::move(piece));
    return true;
}

void Simulator::sendDue()
{
    while (sendPending(nowNs())) {
        Scheduled &next = outgoing.front();
        const ssize_t sent = ::write(device->fd(), next.bytes.constData(), size_t(next.bytes.size()));
        if (sent < 0 && (errno == EAGAIN || errno == EINTR))
            return; // the line is full; ppoll waits until it can take more
        if (sent >= 0) {
            next.bytes.remove(0, int(sent));
            if (!next.bytes.isEmpty())
                return;
        } // else the line refuses it: lost, like on a broken cable
        if (next.endsReply) {
            replied = true;
            const qint64 now = nowNs();
            inspect([&](SimEngine &e) { e.replySent(now, next.dueNs); });
        }
        outgoing.pop_front();
    }
}

} // namespace sim
