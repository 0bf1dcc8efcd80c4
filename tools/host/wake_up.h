// A stop request that wakes every wait at once: a pipe whose read end every
// poll() of the host watches beside the port (and ReadWatch's watcher, for
// the one read that blocks on the port itself). Asking is
// async-signal-safe, so a signal handler may ask too, and any thread may.
#ifndef ORDELIN_HOST_WAKE_UP_H
#define ORDELIN_HOST_WAKE_UP_H

#include <QtCore/QDeadlineTimer>

#include <atomic>

namespace pollhost {

class WakeUp {
public:
    WakeUp();
    ~WakeUp();
    WakeUp(const WakeUp &) = delete;
    WakeUp &operator=(const WakeUp &) = delete;

    // Stays raised until clear(): every later wait returns at once.
    void raise();
    bool raised() const { return isRaised; }
    void clear();
    int readFd() const { return pipeFds[0]; }
    int writeFd() const { return pipeFds[1]; }

    // Sleeps until `until` or a raise; true when it slept its whole time.
    bool sleepUntil(const QDeadlineTimer &until) const;

private:
    int pipeFds[2] = {-1, -1};
    std::atomic<bool> isRaised{false}; // lock-free, so a signal handler may set it
};

// Milliseconds left before `until`, rounded up, for poll(): -1 for a
// deadline that never comes, 0 once it has passed.
int pollTimeout(const QDeadlineTimer &until);

} // namespace pollhost

#endif
