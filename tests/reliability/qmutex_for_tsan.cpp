// Linked into the reliability tests of a ThreadSanitizer build on Qt 5 only.
// Qt 6's QMutex locks and unlocks in inline code that tells the sanitizer
// itself, so it needs none of this.
//
// The driver's locks are QMutex, whose lock and unlock run inside QtCore,
// a library built without ThreadSanitizer: the sanitizer never sees the
// locks taken and reports every access they guard as a race. These
// definitions take the place of QtCore's for the whole process (the
// executable comes first in symbol lookup, so libOrdelin.so binds to them),
// tell the sanitizer what happens, and call QtCore's own code to do it.
// With them it checks the driver's real lock discipline, lock order
// included.
#include <QtCore/QMutex>

#include <sanitizer/tsan_interface.h>

#include <dlfcn.h>

namespace {

template <typename Function>
Function qtCore(const char *symbol)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, symbol));
}

using LockFunction = void (*)(QMutex *);
using TryLockFunction = bool (*)(QMutex *, int);

} // namespace

void QMutex::lock() QT_MUTEX_LOCK_NOEXCEPT
{
    static const LockFunction real = qtCore<LockFunction>("_ZN6QMutex4lockEv");
    __tsan_mutex_pre_lock(this, 0);
    real(this);
    __tsan_mutex_post_lock(this, 0, 0);
}

bool QMutex::tryLock(int timeout) QT_MUTEX_LOCK_NOEXCEPT
{
    static const TryLockFunction real = qtCore<TryLockFunction>("_ZN6QMutex7tryLockEi");
    __tsan_mutex_pre_lock(this, __tsan_mutex_try_lock);
    const bool locked = real(this, timeout);
    __tsan_mutex_post_lock(this, locked ? __tsan_mutex_try_lock : __tsan_mutex_try_lock_failed, 0);
    return locked;
}

void QMutex::unlock() noexcept
{
    static const LockFunction real = qtCore<LockFunction>("_ZN6QMutex6unlockEv");
    __tsan_mutex_pre_unlock(this, 0);
    real(this);
    __tsan_mutex_post_unlock(this, 0);
}
