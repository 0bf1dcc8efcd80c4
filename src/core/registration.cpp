// The exports by which the host registers what the driver needs from it.
// None of them takes a lock: the host calls them before polling starts.
#include "settings.h"

using namespace ordelin;

extern "C" {

void SetComInfo(ComInfo *comInfo)
{
    driver().comInfo.store(comInfo, std::memory_order_release);
    setSetting(&ComInfo::registerMark, 0);
    setSetting(&ComInfo::startupPending, 1);
}

void FlashLocalRegister(int first, int second, int third)
{
    Ordelin &d = driver();
    d.hostRegisters[0] = first;
    d.hostRegisters[1] = second;
    d.hostRegisters[2] = third;
}

void RegistCallBackFuncIntf(CompletionCallback callback, int context)
{
    driver().completionCallback.store(callback, std::memory_order_release);
    driver().callbackContext = context;
}

} // extern "C"
