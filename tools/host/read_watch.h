// A read() that waits for its first byte without a time limit of its own
// (a serial port with VMIN 1, VTIME 0), ended at its deadline or on a stop
// request by a thread that watches it. A port's own limit (VTIME) would
// make the kernel arm and cancel a timer on every read that waits, which
// on a fast line costs more than the rest of the exchange's user-space
// work; the watcher instead sleeps until the deadline of the read it saw
// and only then looks again, so a steady poll costs it nothing.
//
// The watcher ends a read with a signal (SIGURG, which this owns) to the
// reading thread. It repeats it every millisecond while that read goes on,
// since a signal that comes just before the read begins is lost. Rarely,
// one comes just after a read ended: every blocking call of the reading
// thread must take EINTR as "try again".
#ifndef ORDELIN_HOST_READ_WATCH_H
#define ORDELIN_HOST_READ_WATCH_H

#include "wake_up.h"

#include <pthread.h>
#include <sys/types.h>

#include <atomic>
#include <thread>

namespace pollhost {

class ReadWatch {
public:
    // Starts the watcher; `stop` must outlive this.
    explicit ReadWatch(const WakeUp &stop);
    // Stops and joins the watcher. Destroy it on the thread that reads, or
    // after that thread's last read(): a signal must not reach a thread
    // that has ended.
    ~ReadWatch();
    ReadWatch(const ReadWatch &) = delete;
    ReadWatch &operator=(const ReadWatch &) = delete;

    // read() of `fd`, which ends by itself once the stop is raised or
    // deadlineNs (on QDeadlineTimer's clock; a forever deadline is
    // std::numeric_limits<qint64>::max()) has passed: -1 with errno EINTR
    // then. One thread at a time reads through it.
    ssize_t read(int fd, char *buffer, size_t size, qint64 deadlineNs);

private:
    void watch();
    void sleepUntil(qint64 wakeAtNs, qint64 nowNs);
    void wakeWatcher();

    const WakeUp &stop;
    int wakeFd = -1; // an eventfd: a read with an earlier deadline, or the end
    std::atomic<bool> reading{false};
    std::atomic<qint64> deadlineNs{0};
    std::atomic<pthread_t> reader{};
    std::atomic<qint64> watcherWakesAtNs{0}; // when the watcher looks next
    std::atomic<bool> quit{false};
    std::thread watcher;
};

} // namespace pollhost

#endif
