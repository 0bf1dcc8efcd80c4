// Everything the user asked to poll, write and read once, each variable
// checked by the driver before anything is sent.
#ifndef ORDELIN_HOST_REQUEST_SET_H
#define ORDELIN_HOST_REQUEST_SET_H

#include "variables.h"

namespace pollhost {

struct RequestSet {
    QList<Variable> cyclic;
    QList<WriteRequest> writes;
    QList<Variable> onceReads;
};

// Fails with the first bad variable's message.
tools::Result<RequestSet> buildRequests(const DriverApi &api, const QList<VariableText> &cyclic,
                                        const QStringList &writes, const QStringList &onceReads,
                                        int language);

} // namespace pollhost

#endif
