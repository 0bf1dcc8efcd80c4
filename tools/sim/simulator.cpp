#include "simulator.h"

#include <QtCore/QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace sim {

qint64 monotonicMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
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
    : device(std::move(device)), engine(config, monotonicMs())
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
    outgoing.clear();
}

bool Simulator::sleep(int ms) const
{
    pollfd wake{wakePipe[0], POLLIN, 0};
    while (::poll(&wake, 1, ms) < 0 && errno == EINTR) {
    }
    return !(wake.revents & POLLIN);
}

Simulator::End Simulator::serve()
{
    for (;;) {
        const bool wantWrite = !outgoing.empty() && outgoing.front().dueMs <= monotonicMs();
        pollfd fds[2] = {{device->fd(), short(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                         {wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, pollTimeoutMs()) < 0 && errno != EINTR)
            return End::Stopped;
        if (fds[1].revents & POLLIN)
            return End::Stopped;
        // A port whose other end went away reports a hang-up, often with
        // input beside it that reads as nothing: there is no more line.
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
            return End::HungUp;
        if ((fds[0].revents & POLLIN) && !receive())
            return End::HungUp;
        sendDue();
    }
}

int Simulator::pollTimeoutMs() const
{
    if (outgoing.empty())
        return -1;
    return int(std::max<qint64>(0, outgoing.front().dueMs - monotonicMs()));
}

// False when the line has hung up: readable, yet nothing or an error.
bool Simulator::receive()
{
    char buffer[4096];
    const ssize_t got = ::read(device->fd(), buffer, sizeof buffer);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return true;
    if (got <= 0)
        return false;
    const qint64 now = monotonicMs();
    const std::vector<Piece> pieces =
        inspect([&](SimEngine &e) { return e.receive(QByteArray(buffer, int(got)), now); });
    // Pieces follow each other: a delayed reply also holds back the next one.
    qint64 due = outgoing.empty() ? now : std::max(now, outgoing.back().dueMs);
    for (const Piece &piece : pieces) {
        due += piece.delayMs;
        outgoing.push_back({piece.bytes, due});
    }
    return true;
}

void Simulator::sendDue()
{
    const qint64 now = monotonicMs();
    while (!outgoing.empty() && outgoing.front().dueMs <= now) {
        Scheduled &next = outgoing.front();
        const ssize_t sent = ::write(device->fd(), next.bytes.constData(), size_t(next.bytes.size()));
        if (sent < 0 && (errno == EAGAIN || errno == EINTR))
            return; // the line is full; poll waits until it can take more
        if (sent < 0) {
            outgoing.pop_front(); // the line refuses it: lost, like on a broken cable
            continue;
        }
        next.bytes.remove(0, int(sent));
        if (!next.bytes.isEmpty())
            return;
        outgoing.pop_front();
    }
}

} // namespace sim
