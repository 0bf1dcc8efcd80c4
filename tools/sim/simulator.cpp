#include "simulator.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace sim {

// QElapsedTimer reads the same clock but gives no nanoseconds since its
// reference point, which the line's deadlines need.
qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

Simulator::StartResult Simulator::create(const SimConfig &config, std::shared_ptr<LineDevice> device)
{
    auto simulator = std::make_shared<Simulator>(config, std::move(device));
    const QStringList errors = simulator->inspect([](SimEngine &e) { return e.prepareMemory(); });
    if (!errors.isEmpty())
        return StartResult::failure(errors.join(QLatin1Char('\n')));
    if (pipe2(simulator->wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return StartResult::failure(QStringLiteral("cannot create the simulator's wake-up pipe"));
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
    : device(std::move(device)), engine(config, monotonicNs())
{
}

Simulator::~Simulator()
{
    stop();
    for (int fd : wakePipe) {
        if (fd >= 0)
            ::close(fd);
    }
}

void Simulator::setSilent(bool silent)
{
    inspect([silent](SimEngine &e) { e.setSilent(silent); });
}

void Simulator::stop()
{
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &wake, 1);
    if (thread.joinable())
        thread.join();
}

void Simulator::setDevice(std::shared_ptr<LineDevice> line)
{
    device = std::move(line);
    // Replies that never left are lost with the old line; the host's turn
    // begins again with the next byte it sends.
    const qint64 now = monotonicNs();
    for (const Scheduled &piece : outgoing) {
        if (piece.endsReply)
            inspect([&](SimEngine &e) { e.replySent(now, now); });
    }
    outgoing.clear();
}

bool Simulator::sleep(int ms) const
{
    pollfd wake{wakePipe[0], POLLIN, 0};
    while (::poll(&wake, 1, ms) < 0 && errno == EINTR) {
    }
    return !(wake.revents & POLLIN);
}

// At 115200 baud a byte lasts 87 us: the loop sleeps to nanosecond
// deadlines, and asks the kernel not to stretch them by its default 50 us
// of timer slack.
Simulator::End Simulator::serve()
{
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    for (;;) {
        const qint64 now = monotonicNs();
        const bool due = sendPending(now);
        pollfd fds[2] = {{device->fd(), short(POLLIN | (due ? POLLOUT : 0)), 0},
                         {wakePipe[0], POLLIN, 0}};
        timespec wait{};
        if (!outgoing.empty() && !due) {
            const qint64 left = outgoing.front().dueNs - now;
            wait = {time_t(left / 1000000000), long(left % 1000000000)};
        }
        // Nothing to send, or a reply due that the line cannot take yet: only
        // the line (or the wake-up pipe) can end the wait.
        if (::ppoll(fds, 2, outgoing.empty() || due ? nullptr : &wait, nullptr) < 0 && errno != EINTR)
            return End::Stopped;
        if (fds[1].revents & POLLIN)
            return End::Stopped;
        // A port whose other end went away reports a hang-up, often with
        // input beside it that reads as nothing: there is no more line.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return End::HungUp;
        // Bytes count as come when the wait ended, not after the read that
        // fetches them: the simulator's own system call is no host's time.
        if ((fds[0].revents & POLLIN) && !receive(monotonicNs()))
            return End::HungUp;
        sendDue();
    }
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
    std::vector<Scheduled> scheduled =
        inspect([&](SimEngine &e) { return e.receive(QByteArray(buffer, int(got)), wokeNs); });
    for (Scheduled &piece : scheduled)
        outgoing.push_back(std::move(piece));
    return true;
}

void Simulator::sendDue()
{
    while (sendPending(monotonicNs())) {
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
            const qint64 now = monotonicNs();
            inspect([&](SimEngine &e) { e.replySent(now, next.dueNs); });
        }
        outgoing.pop_front();
    }
}

} // namespace sim
