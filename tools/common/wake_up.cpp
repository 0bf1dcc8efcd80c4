#include "wake_up.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tools {

qint64 nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

WakeUp::WakeUp()
{
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("ordelin: cannot create a pipe");
}

WakeUp::~WakeUp()
{
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

// The flag first, then the pipe: whoever the pipe wakes sees the flag.
void WakeUp::raise()
{
    isRaised = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
}

void WakeUp::clear()
{
    isRaised = false;
    char buffer[64];
    while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
    }
}

WakeUp::Woke WakeUp::wait(int fd, short events, qint64 untilNs, short *revents) const
{
    for (;;) {
        pollfd fds[2] = {{pipeFds[0], POLLIN, 0}, {fd, events, 0}};
        const qint64 left = untilNs == never ? -1 : qMax<qint64>(0, untilNs - nowNs());
        const timespec wait{time_t(left / 1000000000), long(left % 1000000000)};
        const int ready = ::ppoll(fds, fd < 0 ? 1 : 2, left < 0 ? nullptr : &wait, nullptr);
        if (ready < 0 && errno == EINTR)
            continue; // a signal's handler raises the stop if it means one
        if (ready < 0)
            return Woke::Failed;
        if (fds[0].revents)
            return Woke::Stopped;
        if (revents)
            *revents = fds[1].revents;
        if (ready > 0)
            return Woke::Ready;
        if (left == 0 || nowNs() >= untilNs)
            return Woke::TimedOut;
    }
}

} // namespace tools
