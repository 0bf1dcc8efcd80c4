#include "read_watch.h"

#include <QtCore/QDeadlineTimer>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <limits>
#include <mutex>

namespace pollhost {

namespace {

constexpr int kickSignal = SIGURG;
constexpr qint64 never = std::numeric_limits<qint64>::max();
constexpr qint64 kickAgainNs = 1000000;

void onKick(int) {}

// A handler that does nothing, installed without SA_RESTART, is all it
// takes to make a blocked read return EINTR. The signal's default is to be
// ignored, so a stray one harms no other process.
void catchKicks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_handler = &onKick;
        sigemptyset(&action.sa_mask);
        sigaction(kickSignal, &action, nullptr);
    });
}

qint64 nowNs()
{
    return QDeadlineTimer::current().deadlineNSecs();
}

} // namespace

ReadWatch::ReadWatch(const WakeUp &stop) : stop(stop)
{
    catchKicks();
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0)
        qFatal("ordelin: cannot create an eventfd");
    // Signals meant for the process (Ctrl-C) go to the other threads: the
    // watcher starts with all of them blocked.
    sigset_t all, kept;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &kept);
    watcher = std::thread([this] { watch(); });
    pthread_sigmask(SIG_SETMASK, &kept, nullptr);
}

ReadWatch::~ReadWatch()
{
    quit = true;
    wakeWatcher();
    watcher.join();
    ::close(wakeFd);
}

void ReadWatch::wakeWatcher()
{
    [[maybe_unused]] const int written = ::eventfd_write(wakeFd, 1);
}

// The read's mark and deadline first, then the watcher's next look: the
// watcher stores that before it looks at the mark, so either it sees this
// read or this sees that it must be woken (a read with an earlier deadline
// than it sleeps to, or a watcher asleep with no read to watch).
ssize_t ReadWatch::read(int fd, char *buffer, size_t size, qint64 deadline)
{
    reader.store(pthread_self(), std::memory_order_relaxed);
    deadlineNs.store(deadline, std::memory_order_relaxed);
    reading.store(true);
    if (deadline < watcherWakesAtNs.load())
        wakeWatcher();
    ssize_t got = -1;
    if (stop.raised())
        errno = EINTR;
    else
        got = ::read(fd, buffer, size);
    reading.store(false, std::memory_order_release);
    return got;
}

// Sleeps until the deadline of the read it saw, or without end while
// there is none; a read that should have ended by now is kicked, again a
// millisecond later while it goes on.
void ReadWatch::watch()
{
    while (!quit.load()) {
        const qint64 now = nowNs();
        if (reading.load() && (stop.raised() || now >= deadlineNs.load())) {
            pthread_kill(reader.load(), kickSignal);
            watcherWakesAtNs.store(now + kickAgainNs);
            sleepUntil(now + kickAgainNs, now);
            continue;
        }
        const qint64 wakeAt = reading.load() ? deadlineNs.load() : never;
        watcherWakesAtNs.store(wakeAt);
        // A read that began meanwhile may have seen the time stored before.
        if (reading.load() && deadlineNs.load() < wakeAt)
            continue;
        sleepUntil(wakeAt, now);
    }
}

// Until wakeAt, a wake-up from a reader or the end, or a stop raised. A
// raised stop keeps its pipe readable, so it is watched only until then.
void ReadWatch::sleepUntil(qint64 wakeAt, qint64 now)
{
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {stop.readFd(), POLLIN, 0}};
    const nfds_t watched = stop.raised() ? 1 : 2;
    const qint64 left = std::max<qint64>(0, wakeAt - now);
    const timespec timeout{time_t(left / 1000000000), long(left % 1000000000)};
    ::ppoll(fds, watched, wakeAt == never ? nullptr : &timeout, nullptr);
    eventfd_t count;
    ::eventfd_read(wakeFd, &count);
}

} // namespace pollhost
