// What a frame served, copied before DataCom may free the frame: the
// command, the reply it expects, and which element of which request.
#ifndef ORDELIN_HOST_FRAME_FACTS_H
#define ORDELIN_HOST_FRAME_FACTS_H

#include "ordelin/ordelin.h"

namespace pollhost {

struct FrameFacts {
    enum Kind { Startup, CyclicRead, OnceRead, Write };
    QByteArray command;
    int replyLength = 0;
    Kind kind = Startup;
    QString family;
    int address = 0;
    int requestGroup = 0;

    static FrameFacts of(const SendFrame &frame);
};

} // namespace pollhost

#endif
