// What a frame served, copied before DataCom may free the frame: the
// command's length, the reply it expects, and which element of which
// request. The command itself is sent from the frame, in place: a copy
// held past DataCom would keep the driver from writing its next command
// into the same buffer.
#ifndef ORDELIN_HOST_FRAME_FACTS_H
#define ORDELIN_HOST_FRAME_FACTS_H

#include "ordelin/ordelin.h"

namespace pollhost {

struct FrameFacts {
    enum Kind { Startup, CyclicRead, OnceRead, Write };
    int commandLength = 0;
    int replyLength = 0;
    Kind kind = Startup;
    QString family;
    int address = 0;
    int requestGroup = 0;

    static FrameFacts of(const SendFrame &frame);
};

} // namespace pollhost

#endif
