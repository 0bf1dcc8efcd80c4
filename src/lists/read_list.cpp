// Appending to the cyclic read list.
#include "core/driver.h"

using namespace ordelin;

extern "C" int AddListReadVar(VarItem *item)
{
    Ordelin &d = driver();
    // A host thread takes the list mutex, so that its append is safe against
    // the poll cycle. The completion callback may extend the list as well:
    // its thread already holds the mutex.
    QMutexLocker lock(inCompletionCallback() ? nullptr : &d.listMutex);
    if (item)
        d.readList.append(*item);
    return d.readList.size();
}
