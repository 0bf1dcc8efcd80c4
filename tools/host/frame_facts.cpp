#include "frame_facts.h"

namespace pollhost {

FrameFacts FrameFacts::of(const SendFrame &frame)
{
    FrameFacts facts{qBound(0, frame.commandLength, int(frame.command.size())), frame.replyLength, Startup,
                     frame.request.registerName, frame.request.address, frame.request.requestGroup};
    facts.kind = facts.family.isEmpty()          ? Startup
               : frame.request.operation == 1    ? Write
               : frame.request.requestGroup >= 0 ? OnceRead
                                                 : CyclicRead;
    return facts;
}

} // namespace pollhost
