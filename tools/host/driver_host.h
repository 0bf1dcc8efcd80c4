// What the host asks of the driver, and what it learns back: the settings
// record, the cyclic read list, the writes and once-reads with their
// completion callbacks, and the values of the register image.
#ifndef ORDELIN_HOST_DRIVER_HOST_H
#define ORDELIN_HOST_DRIVER_HOST_H

#include "driver_api.h"
#include "frame_facts.h"
#include "host_settings.h"
#include "pending_request.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace pollhost {

// A completion of a write or once-read that a front end queued itself, on
// its own thread, with the addresses whose frames were accepted: the
// callback reports only a call's last element, which may be accepted after
// an earlier one was dropped.
struct OwnCompletion {
    int requestGroup = 0;
    int status = 0; // the callback's: 1 answered, 2 dropped
    QSet<int> answered;
    bool sent = true; // false: dropped by dropQueued, nothing went out
};

// The image's values of `variable`, one per element, through GetRegisterData;
// notRead for elements the library returned no bytes for.
QList<int> readImage(const DriverApi &api, const Variable &variable, int station);

class DriverHost {
public:
    DriverHost(const DriverApi &api, const HostSettings &settings, QList<Variable> cyclic,
               QList<WriteRequest> writes, QList<Variable> onceReads);
    ~DriverHost();
    DriverHost(const DriverHost &) = delete;
    DriverHost &operator=(const DriverHost &) = delete;

    // Registers the settings record and the callback, builds the cyclic read
    // list and queues the first request.
    void start();

    int cyclicReads() const { return readListSize; }
    bool requestsPending() const;
    const QList<Variable> &cyclicVariables() const { return cyclic; }
    const ComInfo &settings() const { return info; }

    // What DataCom said of a frame: result 1 accepted, 0 rejected with a
    // retry left, anything else the drop of its batch.
    void learn(const FrameFacts &frame, int result);

    // The completions reported since the last call, as events; queues the
    // next write or the once-reads when their turn has come.
    QList<HostEvent> takeEvents();
    // The completions of requests this host did not queue, since the last call.
    QList<OwnCompletion> takeOtherCompletions();

    // Reports every write and once-read not completed yet as given up.
    void abandonPending(const QString &why);

    // Once the loop has ended for good: every write and once-read still in
    // the driver's lists is dropped without anything sent, each reported
    // with status 2, so that none reaches the next PLC this library talks to.
    QList<OwnCompletion> dropQueued();

    // The image's values of each cyclic variable, one per element.
    QList<QList<int>> values() const;

    // Called back by the driver (see driver_host.cpp).
    void completed(int requestGroup, int status);

    // From any thread, for a front end that changes its cyclic list while
    // the loop runs; the loop rebuilds the driver's read list before its
    // next frame, on its own thread.
    void postCyclic(QList<Variable> variables);
    void applyPosted();

private:
    QList<int> read(const Variable &variable) const;
    void answered(const FrameFacts &frame);
    void rebuildReadList();
    void queueNextWrite();
    void queueOnceReads();
    HostEvent event(const PendingRequest &request, int status) const;

    const DriverApi &api;
    ComInfo info{};
    int station;
    QList<Variable> cyclic;
    QList<PendingRequest> writes;
    QList<PendingRequest> onceReads;
    int readListSize = 0;
    int nextWrite = 0;        // writes before it are done
    bool writeInFlight = false;
    bool onceReadsQueued = false;
    QSet<int> onceReadsOutstanding; // by index, which is also their requestGroup
    struct Completion {
        int requestGroup;
        int status;
    };
    std::vector<Completion> reported; // by the callback, not yet taken
    QList<HostEvent> unreported;
    QHash<int, QSet<int>> otherAnswered; // by requestGroup
    QList<OwnCompletion> otherCompletions;

    std::atomic<bool> anythingPosted{false}; // set after the two below
    std::mutex postedMutex; // guards the two below
    QList<Variable> postedCyclic;
    bool cyclicPosted = false;
};

} // namespace pollhost

#endif
