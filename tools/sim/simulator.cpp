#include "simulator.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace sim {

qint64 monotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Simulator::StartResult Simulator::start(const SimConfig &config, std::shared_ptr<LineDevice> device)
{
    auto simulator = std::make_shared<Simulator>(config, std::move(device));
    const QStringList errors = simulator->inspect([](SimEngine &e) { return e.prepareMemory(); });
    if (!errors.isEmpty())
        return StartResult::failure(errors.join(QLatin1Char('\n')));
    if (pipe2(simulator->wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return StartResult::failure(QStringLiteral("cannot create the simulator's wake-up pipe"));
    simulator->thread = std::thread([raw = simulator.get()] { raw->serve(); });
    return simulator;
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
    if (!thread.joinable())
        return;
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &wake, 1);
    thread.join();
}

void Simulator::serve()
{
    for (;;) {
        const bool wantWrite = !outgoing.empty() && outgoing.front().dueMs <= monotonicMs();
        pollfd fds[2] = {{device->fd(), short(POLLIN | (wantWrite ? POLLOUT : 0)), 0},
                         {wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, pollTimeoutMs()) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            return;
        if (fds[0].revents & POLLIN)
            receive();
        else if (fds[0].revents & (POLLHUP | POLLERR))
            ::usleep(20000); // a port without its other end: nothing to do but wait
        sendDue();
    }
}

int Simulator::pollTimeoutMs() const
{
    if (outgoing.empty())
        return -1;
    return int(std::max<qint64>(0, outgoing.front().dueMs - monotonicMs()));
}

void Simulator::receive()
{
    char buffer[4096];
    const ssize_t got = ::read(device->fd(), buffer, sizeof buffer);
    if (got <= 0)
        return;
    const qint64 now = monotonicMs();
    const std::vector<Piece> pieces =
        inspect([&](SimEngine &e) { return e.receive(QByteArray(buffer, int(got)), now); });
    // Pieces follow each other: a delayed reply also holds back the next one.
    qint64 due = outgoing.empty() ? now : std::max(now, outgoing.back().dueMs);
    for (const Piece &piece : pieces) {
        due += piece.delayMs;
        outgoing.push_back({piece.bytes, due});
    }
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
