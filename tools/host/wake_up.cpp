#include "wake_up.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace pollhost {

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
