// The image mutex as the driver takes it. The communication thread holds it
// for one reply's decoding or one written value, well under a microsecond,
// and a host read of a whole screen holds it a few microseconds. A thread
// that finds it taken therefore spins briefly before it lets the mutex put it
// to sleep: a contended Qt mutex makes futex calls on both sides that cost
// more than such a wait, and a thread that did sleep then also waits for
// the scheduler to run it again.
#ifndef ORDELIN_IMAGE_IMAGE_LOCK_H
#define ORDELIN_IMAGE_IMAGE_LOCK_H

#include <QtCore/QMutex>

namespace ordelin {

class ImageLock {
public:
    explicit ImageLock(QBasicMutex &mutex) : mutex(mutex)
    {
        // 0.5 to 4 microseconds, by how long the processor's pause takes.
        for (int attempt = 0; attempt < spinAttempts; ++attempt) {
            if (mutex.tryLock())
                return;
            pause();
        }
        mutex.lock();
    }
    ~ImageLock() { mutex.unlock(); }
    ImageLock(const ImageLock &) = delete;
    ImageLock &operator=(const ImageLock &) = delete;

private:
    static constexpr int spinAttempts = 100;

    static void pause()
    {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#elif defined(__aarch64__)
        asm volatile("yield");
#endif
    }

    QBasicMutex &mutex;
};

} // namespace ordelin

#endif
