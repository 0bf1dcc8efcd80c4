#include "stop_signals.h"

#include <csignal>

namespace pollhost {

namespace {

WakeUp *stopRequest = nullptr;

void onStopSignal(int)
{
    if (stopRequest)
        stopRequest->raise(); // an atomic store and a write(): async-signal-safe
}

} // namespace

void raiseOnStopSignals(WakeUp &stop)
{
    stopRequest = &stop;
    struct sigaction action {};
    action.sa_handler = &onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace pollhost
