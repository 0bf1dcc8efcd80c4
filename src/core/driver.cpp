#include "driver.h"

#include <QtCore/QThread>

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

bool inCompletionCallback()
{
    // Only the communication thread ever stores its own id here, so another
    // thread never finds itself, whatever it reads.
    return driver().callbackThread.load(std::memory_order_relaxed) == QThread::currentThreadId();
}

} // namespace ordelin
