#include "stop_signals.h"

#include <csignal>
#include <pthread.h>

namespace tools {

namespace {

WakeUp *stopRequest = nullptr;
const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP};

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
    for (int signal : stopSignals)
        sigaction(signal, &action, nullptr);
}

void blockStopSignals(bool block)
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : stopSignals)
        sigaddset(&set, signal);
    pthread_sigmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

} // namespace tools
