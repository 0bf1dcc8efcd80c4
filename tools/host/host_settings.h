// What a front end tells the host library: the settings record's words, the
// driver's language, and the timing of the loop.
#ifndef ORDELIN_HOST_HOST_SETTINGS_H
#define ORDELIN_HOST_HOST_SETTINGS_H

#include <QtCore/QtGlobal>

namespace pollhost {

struct HostSettings {
    // ComInfo and the driver's language for messages (1 English, 0 Chinese).
    int station = 0;
    int retries = 3;
    int protocolMode = 0;
    int writeMode = 2;
    int language = 1;

    int timeoutMs = 500;
    int guardMs = 500; // quiet time after a timeout before the next frame
    int gapMs = 0;
    int intervalMs = 100;
    int openTimeoutMs = 5000;
    // A value is fresh only while younger than this; 0: three times the
    // longest read cycle seen, at least 2 s (--stale-after).
    qint64 staleAfterMs = 0;
    qint64 durationMs = 0; // 0: no limit
    qint64 count = 0;      // exchanges; 0: no limit
    bool trace = false;
    bool verifyWrites = false; // read every write back once it completed (--verify)
    bool reconnect = false; // reopen a failed port every second instead of ending
    // A window's loop: keeps polling with nothing to do, since variables and
    // writes may come later, and ends only when stopped.
    bool untilStopped = false;
};

} // namespace pollhost

#endif
