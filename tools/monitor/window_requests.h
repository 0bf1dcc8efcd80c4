// The writes and once-reads the window asks for. They are handed to the
// driver on the window's thread (SetRegisterData, AddListOnceReadVar) while
// the loop polls on its own, and the loop passes their completions back.
//
// One write and one once-read at a time are in the driver's lists: every
// write of SetRegisterData carries the same identifiers, and the driver
// calls back only for the last of several pending requests that share
// them; and with the list empty before a call, what the call returns is
// exactly what it queued. The rest wait here, in the order made.
#ifndef ORDELIN_MONITOR_WINDOW_REQUESTS_H
#define ORDELIN_MONITOR_WINDOW_REQUESTS_H

#include "host/driver_host.h"

#include <optional>

namespace monitor {

class WindowRequests {
public:
    explicit WindowRequests(const pollhost::DriverApi &api) : api(api) {}

    // A new connection: its station and write mode, nothing in flight.
    void connected(int station, int writeMode);

    // `target` names the first element and the count; one value per element.
    // Returns what is known at once (stored in the image only, not queued).
    QList<pollhost::HostEvent> write(const QString &label, const pollhost::Variable &target,
                                     const QList<int> &values);
    QList<pollhost::HostEvent> readOnce(const pollhost::Variable &variable);

    // A completion the loop passed back; queues the next request.
    QList<pollhost::HostEvent> completed(const pollhost::OwnCompletion &completion);
    // The connection ends: what still waits its turn is not sent.
    QList<pollhost::HostEvent> abandon();

private:
    QList<pollhost::HostEvent> sendNext();
    std::optional<pollhost::HostEvent> queueWrite(pollhost::PendingRequest &write);
    std::optional<pollhost::HostEvent> queueRead(pollhost::PendingRequest &read);

    const pollhost::DriverApi &api;
    int station = 0;
    int writeMode = 2;
    bool open = false;
    QList<pollhost::PendingRequest> waiting;
    std::optional<pollhost::PendingRequest> writeInDriver;
    std::optional<pollhost::PendingRequest> readInDriver;
    int readGroup = 0; // the requestGroup of the once-read in the driver
};

} // namespace monitor

#endif
