// What the host asks of the driver, and what it learns back: the settings
// record, the cyclic read list, the writes and once-reads with their
// completion callbacks, and the values of the register image.
#ifndef ORDELIN_HOST_DRIVER_HOST_H
#define ORDELIN_HOST_DRIVER_HOST_H

#include "driver_api.h"
#include "frame_facts.h"
#include "host_settings.h"
#include "pending_request.h"

#include <mutex>
#include <vector>

namespace pollhost {

// The image's values of `variable`, one per element, through GetRegisterData;
// notRead for elements the library returned no bytes for.
QList<int> readImage(const DriverApi &api, const Variable &variable, int station);

// The writes and once-reads of every front end go through here. Each is
// queued whole, between two frames on the loop's thread, with a requestId
// and requestGroup of its own, so the driver's callback names the request
// it ends; the frames the loop judged say how each element went.
class DriverHost {
public:
    // `writes` are queued at start(), in order; `onceReads` once every
    // write has completed, so they read what was written.
    DriverHost(const DriverApi &api, const HostSettings &settings, QList<Variable> cyclic,
               QList<WriteRequest> writes = {}, QList<Variable> onceReads = {});
    ~DriverHost();
    DriverHost(const DriverHost &) = delete;
    DriverHost &operator=(const DriverHost &) = delete;

    // Registers the settings record and the callback, builds the cyclic read
    // list and queues the writes.
    void start();

    int cyclicReads() const { return readListSize; }
    // Writes and once-reads queued in the driver or waiting for their turn.
    bool requestsPending() const { return !open.isEmpty() || !held.isEmpty(); }
    const QList<Variable> &cyclicVariables() const { return cyclic; }
    const ComInfo &settings() const { return info; }

    // The loop sends this frame; until learn() hears of it, its outcome is open.
    void sending(const FrameFacts &frame);
    // What DataCom said of a frame: result 1 accepted, 0 rejected with a
    // retry left, anything else the drop of its batch.
    void learn(const FrameFacts &frame, int result);

    // The writes and once-reads that ended since the last call; queues the
    // once-reads when their turn has come.
    QList<HostEvent> takeEvents();

    // Reports every write and once-read not completed yet as given up, and
    // takes what the driver still holds of them off its lists unsent, so
    // that none reaches a PLC later. takeEvents() tells how each went: what
    // never went out with `why`, an element whose frame was on the line and
    // never judged as of unknown outcome.
    void abandonPending(const QString &why);

    // The image's values of each cyclic variable, one per element.
    QList<QList<int>> values() const;

    // Called back by the driver (see driver_host.cpp).
    void completed(int requestGroup, int status);

    // From any thread, for a front end that changes its cyclic list or asks
    // for writes and once-reads while the loop runs: the loop hands them to
    // the driver before its next frame, on its own thread. A write's text
    // names it in its event.
    void postCyclic(QList<Variable> variables);
    void postWrite(const WriteRequest &write);
    void postOnceRead(const Variable &variable);
    void applyPosted();

private:
    QList<int> read(const Variable &variable) const;
    void rebuildReadList();
    void queue(PendingRequest request);
    int queueWrite(const PendingRequest &write);
    int queueOnceRead(const PendingRequest &once);
    int writesInDriver() const;
    PendingRequest *openRequest(int id);
    void finishById(int id, int status, const QString &unsent = QStringLiteral("not sent"));
    HostEvent readBack(const PendingRequest &verify, HostEvent event) const;
    void finish(int index, int status, const QString &unsent = QStringLiteral("not sent"));
    void post(PendingRequest request);

    const DriverApi &api;
    ComInfo info{};
    int station;
    bool verifyWrites;
    QList<Variable> cyclic;
    int readListSize = 0;
    QList<PendingRequest> open; // in the driver, in the order queued
    QList<PendingRequest> held; // once-reads waiting for the writes
    int nextId;
    FrameFacts onLine; // kind Startup: no write or once-read frame awaits its judgement
    struct Completion {
        int requestGroup;
        int status;
    };
    std::vector<Completion> reported; // by the callback, not yet taken
    QList<HostEvent> unreported;

    std::mutex postedMutex; // guards the three below
    QList<Variable> postedCyclic;
    bool cyclicPosted = false;
    QList<PendingRequest> postedRequests;
};

} // namespace pollhost

#endif
