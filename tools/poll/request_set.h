// Everything the user asked to poll, write and read once, each variable
// checked by the driver before anything is sent.
#ifndef ORDELIN_POLL_REQUEST_SET_H
#define ORDELIN_POLL_REQUEST_SET_H

#include "poll_options.h"
#include "variables.h"

namespace pollhost {

struct RequestSet {
    QList<Variable> cyclic;
    QList<WriteRequest> writes;
    QList<Variable> onceReads;
};

// Fails with the first bad variable's message.
tools::Result<RequestSet> buildRequests(const DriverApi &api, const PollOptions &options);

} // namespace pollhost

#endif
