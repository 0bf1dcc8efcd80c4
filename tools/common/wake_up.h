// The tools' one clock and one stop request. Every wait of the poller, the
// simulator and the monitor is a ppoll() on at most one descriptor beside
// the stop pipe, with a deadline on the monotonic clock, so a stop ends
// any wait at once and no wait lasts past its deadline.
#ifndef ORDELIN_TOOLS_WAKE_UP_H
#define ORDELIN_TOOLS_WAKE_UP_H

#include <QtCore/QtGlobal>

#include <atomic>
#include <limits>

namespace tools {

// Nanoseconds on the monotonic clock, the one QElapsedTimer reads too.
qint64 nowNs();
constexpr qint64 never = std::numeric_limits<qint64>::max();
constexpr qint64 msNs = 1000000;

class WakeUp {
public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp &) = delete;
    WakeUp &operator=(const WakeUp &) = delete;

    // Stays raised until clear(): every later wait returns at once. Any
    // thread may raise it, and so may a signal handler: it is an atomic
    // store and a write().
    void raise();
    bool raised() const { return isRaised; }
    // Readable while raised: for a Qt event loop's QSocketNotifier.
    int fd() const { return pipeFds[0]; }
    void clear();

    enum class Woke { Ready, TimedOut, Stopped, Failed };
    // Waits until `fd` shows one of `events` (or an error or hang-up, which
    // `revents` then tells), the stop is raised, or untilNs passes. With
    // fd -1 only the stop and the deadline end it.
    Woke wait(int fd, short events, qint64 untilNs, short *revents = nullptr) const;
    // True when it slept its whole time.
    bool sleepUntil(qint64 untilNs) const { return wait(-1, 0, untilNs) == Woke::TimedOut; }

private:
    int pipeFds[2] = {-1, -1};
    std::atomic<bool> isRaised{false}; // lock-free, so a signal handler may set it
};

} // namespace tools

#endif
