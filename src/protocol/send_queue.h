// The frames of the batch in flight; the head is the frame the host sends.
// A deque never moves an element while others are appended or the head is
// removed, so the pointer handed to the host stays valid until DataCom
// removes that frame. Only the communication thread touches the queue.
#ifndef ORDELIN_PROTOCOL_SEND_QUEUE_H
#define ORDELIN_PROTOCOL_SEND_QUEUE_H

#include "ordelin/ordelin.h"

#include <cstring>
#include <deque>

namespace ordelin {

class SendQueue {
public:
    // Encoders build a frame whole and move it in: its request is then
    // copy-constructed, inline for Qt strings, where assigning it would
    // call into QtCore for each of them.
    void append(SendFrame &&frame) { frames.push_back(std::move(frame)); }
    SendFrame *head() { return frames.empty() ? nullptr : &frames.front(); }
    void removeHead()
    {
        if (frames.empty())
            return;
        keepBuffer(frames.front().command);
        frames.pop_front();
    }
    void clear() { frames.clear(); }
    bool isEmpty() const { return frames.empty(); }

    // The bytes of a new command, NUL-terminated. The buffer of the frame
    // answered last is written again when nobody else holds it (a host may
    // keep a copy of a command), so a steady poll allocates no command.
    QByteArray command(const char *text, int length)
    {
        QByteArray bytes;
        bytes.swap(spare);
        if (!bytes.isDetached() || bytes.capacity() < length)
            return QByteArray(text, length);
        if (bytes.size() != length) // a call into QtCore, usually not needed
            bytes.resize(length);
        std::memcpy(bytes.data(), text, size_t(length));
        return bytes;
    }

private:
    void keepBuffer(QByteArray &command)
    {
        if (command.isDetached())
            spare.swap(command);
    }

    std::deque<SendFrame> frames;
    QByteArray spare;
};

} // namespace ordelin

#endif
