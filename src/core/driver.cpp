#include "driver.h"

// The one driver object. Static storage zeroes everything before the
// constructor runs, so hostRegisters, comInfo and the callback start null
// without the constructor touching them, and the C++ runtime registers the
// destructor with the library's exit list.
static Ordelin theDriver;

Ordelin::Ordelin()
    : lastRequest(),
      requestKind(NoKind),
      writeBurst(0),
      onceReadBurst(0),
      readCycleCount(0),
      linkDown(false)
{
    image.zero();
}

namespace ordelin {

Ordelin &driver()
{
    return theDriver;
}

namespace {
// Initial-exec: read at a fixed offset from the thread pointer, without the
// call a shared library otherwise makes to find its thread-local storage,
// twice an exchange. One byte of the static TLS that the loader keeps for
// libraries opened at run time.
__attribute__((tls_model("initial-exec"))) thread_local bool listMutexHeldHere = false;
}

ListLock::ListLock(Ordelin &driver)
    : taken(listMutexHeldHere ? nullptr : &driver.listMutex)
{
    if (taken) {
        taken->lock();
        listMutexHeldHere = true;
    }
}

ListLock::~ListLock()
{
    if (taken) {
        listMutexHeldHere = false;
        taken->unlock();
    }
}

} // namespace ordelin
