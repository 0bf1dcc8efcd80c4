#include "frame_facts.h"

namespace pollhost {

FrameFacts FrameFacts::of(const SendFrame &frame)
{
    FrameFacts facts;
    facts.commandLength = qBound(0, frame.commandLength, int(frame.command.size()));
    facts.replyLength = frame.replyLength;
    facts.family = frame.request.registerName;
    facts.address = frame.request.address;
    facts.requestGroup = frame.request.requestGroup;
    facts.kind = facts.family.isEmpty()          ? Startup
               : frame.request.operation == 1    ? Write
               : frame.request.requestGroup >= 0 ? OnceRead
                                                 : CyclicRead;
    return facts;
}

} // namespace pollhost
