// The frames of the batch in flight; the head is the frame the host sends.
// A deque never moves an element while others are appended or the head is
// removed, so the pointer handed to the host stays valid until DataCom
// removes that frame.
#ifndef ORDELIN_PROTOCOL_SEND_QUEUE_H
#define ORDELIN_PROTOCOL_SEND_QUEUE_H

#include "ordelin/ordelin.h"

#include <deque>

namespace ordelin {

class SendQueue {
public:
    void append(SendFrame &&frame) { frames.push_back(std::move(frame)); }
    SendFrame *head() { return frames.empty() ? nullptr : &frames.front(); }
    void removeHead() { if (!frames.empty()) frames.pop_front(); }
    void clear() { frames.clear(); }
    bool isEmpty() const { return frames.empty(); }

private:
    std::deque<SendFrame> frames;
};

} // namespace ordelin

#endif
