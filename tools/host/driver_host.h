// What the host asks of the driver, and what it learns back: the settings
// record, the cyclic read list, the writes and once-reads with their
// completion callbacks, and the values of the register image.
#ifndef ORDELIN_HOST_DRIVER_HOST_H
#define ORDELIN_HOST_DRIVER_HOST_H

#include "driver_api.h"
#include "host_settings.h"
#include "variables.h"

#include <mutex>

namespace pollhost {

// A write or once-read that completed (or could not be queued).
struct HostEvent {
    QString kind;      // "write" or "once-read"
    QString target;    // as the user wrote it
    int status = 0;    // the callback's: 1 answered, 2 dropped; 0 not queued
    QString note;      // how it went, in words
    QList<int> values; // a once-read's values from the image
};

class DriverHost {
public:
    DriverHost(const DriverApi &api, const HostSettings &settings, QList<Variable> cyclic,
               QList<WriteRequest> writes, QList<Variable> onceReads);
    DriverHost(const DriverHost &) = delete;
    DriverHost &operator=(const DriverHost &) = delete;

    // Registers the settings record and the callback, builds the cyclic read
    // list and queues the first request.
    void start();

    int cyclicReads() const { return readListSize; }
    bool requestsPending() const;
    const QList<Variable> &cyclicVariables() const { return cyclic; }
    const ComInfo &settings() const { return info; }

    // The completions reported since the last call, as events; queues the
    // next write or the once-reads when their turn has come.
    QList<HostEvent> takeEvents();

    // The image's values of each cyclic variable, one per element.
    QList<QList<int>> values() const;

    // From any thread, for a front end that changes its requests while the
    // loop runs: a new cyclic list, or one more write after those queued.
    // The loop applies them before its next frame, on its own thread.
    void postCyclic(QList<Variable> variables);
    void postWrite(WriteRequest write);
    void applyPosted();

private:
    QList<int> read(const Variable &variable) const;
    void rebuildReadList();
    void queueNextWrite();
    void queueOnceReads();
    HostEvent writeEvent(int status) const;

    const DriverApi &api;
    ComInfo info{};
    int station;
    QList<Variable> cyclic;
    QList<WriteRequest> writes;
    QList<Variable> onceReads;
    int readListSize = 0;
    int nextWrite = 0;        // writes before it have completed
    bool writeInFlight = false;
    bool onceReadsQueued = false;
    QList<HostEvent> unreported; // events not yet taken
    int onceReadsOutstanding = 0;

    std::mutex postedMutex;
    QList<Variable> postedCyclic;
    bool cyclicPosted = false;
    QList<WriteRequest> postedWrites;
};

} // namespace pollhost

#endif
