#include "command_framer.h"

namespace sim {

QList<QByteArray> CommandFramer::feed(const QByteArray &bytes)
{
    QList<QByteArray> frames;
    for (char byte : bytes)
        add(byte, frames);
    return frames;
}

void CommandFramer::add(char byte, QList<QByteArray> &frames)
{
    if (sawCarriageReturn) {
        sawCarriageReturn = false;
        if (byte == '\n') {
            pending.append(byte);
            frames.append(pending);
            pending.clear();
            return;
        }
        frames.append(pending);
        pending.clear();
    }
    // A LF after a CR-terminated set command is line noise, not a new frame.
    if (pending.isEmpty() && byte == '\n')
        return;
    pending.append(byte);
    if (byte == '\r') {
        if (endsAtCarriageReturn()) {
            frames.append(pending);
            pending.clear();
        } else {
            sawCarriageReturn = true;
        }
    } else if (pending.size() >= longestFrame) {
        frames.append(pending);
        pending.clear();
    }
}

bool CommandFramer::endsAtCarriageReturn() const
{
    return pending.startsWith("ST ") || pending.startsWith("RS ");
}

} // namespace sim
