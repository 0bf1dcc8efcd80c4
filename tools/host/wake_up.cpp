#include "wake_up.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <mutex>

namespace pollhost {

namespace {

// The signal that ends a blocked read. Its default is to be ignored, so a
// stray one harms no process; a handler that does nothing, installed
// without SA_RESTART, is all it takes to make the read return EINTR. A
// program that has a handler of its own for it keeps that one: its reads
// then end at their own time limit.
constexpr int kickSignal = SIGURG;

void onKick(int) {}

void catchKicks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        sigaction(kickSignal, nullptr, &current);
        const bool unhandled = !(current.sa_flags & SA_SIGINFO)
                            && (current.sa_handler == SIG_DFL || current.sa_handler == SIG_IGN);
        if (!unhandled)
            return;
        struct sigaction action {};
        action.sa_handler = &onKick;
        sigemptyset(&action.sa_mask);
        sigaction(kickSignal, &action, nullptr);
    });
}

} // namespace

WakeUp::WakeUp()
{
    if (pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("ordelin: cannot create a pipe");
    catchKicks();
}

WakeUp::~WakeUp()
{
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

// The flag first, then the check for a reader: a reader sets its mark
// before it looks at the flag, so either it sees the flag or this sees it.
void WakeUp::raise()
{
    isRaised = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(pipeFds[1], &byte, 1);
    if (reading)
        pthread_kill(reader, kickSignal);
}

void WakeUp::clear()
{
    isRaised = false;
    char buffer[64];
    while (::read(pipeFds[0], buffer, sizeof buffer) > 0) {
    }
}

bool WakeUp::sleepUntil(const QDeadlineTimer &until) const
{
    for (;;) {
        pollfd wake{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&wake, 1, pollTimeout(until));
        if (ready > 0)
            return false;
        if (ready == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

ssize_t WakeUp::read(int fd, char *buffer, size_t size) const
{
    reader = pthread_self();
    reading = true;
    ssize_t got = -1;
    if (isRaised)
        errno = EINTR;
    else
        got = ::read(fd, buffer, size);
    reading = false;
    return got;
}

int pollTimeout(const QDeadlineTimer &until)
{
    if (until.isForever())
        return -1;
    // Rounded up, so a wait that ends by itself ends at or after `until`
    // and the caller sees the deadline as passed.
    const qint64 left = (until.remainingTimeNSecs() + 999999) / 1000000;
    return int(std::min<qint64>(left, INT_MAX));
}

} // namespace pollhost
