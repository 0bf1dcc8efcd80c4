// Judging a reply against the frame in flight.
#ifndef ORDELIN_CORE_REPLY_CHECK_H
#define ORDELIN_CORE_REPLY_CHECK_H

#include "ordelin/ordelin.h"

class Ordelin;

namespace ordelin {

enum ReplyResult {
    ReplyAccepted = 1,
    ContentRejected = 11, // right length, wrong form
    EmptyReply = 41,      // nothing came although a reply was expected
    WrongLength = 71,     // something came, of another length
};

// Returns 1, or a rejection base plus the request's kind offset (its
// requestId when that is 0 to 11). An accepted read reply is decoded into
// the image under the image mutex before this returns.
int checkReply(Ordelin &driver, const SendFrame &frame, const QByteArray &reply);

} // namespace ordelin

#endif
