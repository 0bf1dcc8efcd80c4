// The frames of the batch in flight; the head is the frame the host sends.
// ComCommunication hands the host a pointer to the head, so the head must
// stay where it is until DataCom removes it: a deque's appends and removals
// at its ends never move the other elements. Only the communication thread
// touches the queue.
#ifndef ORDELIN_PROTOCOL_SEND_QUEUE_H
#define ORDELIN_PROTOCOL_SEND_QUEUE_H

#include "ordelin/ordelin.h"

#include <deque>

namespace ordelin {

class SendQueue {
public:
    void append(SendFrame frame) { frames.push_back(std::move(frame)); }
    SendFrame *head() { return frames.empty() ? nullptr : &frames.front(); }
    void removeHead()
    {
        if (!frames.empty())
            frames.pop_front();
    }
    void clear() { frames.clear(); }

private:
    std::deque<SendFrame> frames;
};

} // namespace ordelin

#endif
