// Appending to the cyclic read list.
#include "core/driver.h"

using namespace ordelin;

extern "C" int AddListReadVar(VarItem *item)
{
    // The lock makes a host thread's append safe against the poll cycle;
    // inside the completion callback the thread already holds it.
    ListLock lock(driver());
    if (item)
        driver().readList.append(*item);
    return driver().readList.size();
}
