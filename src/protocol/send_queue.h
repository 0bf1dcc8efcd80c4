// The frames of the batch in flight; the head is the frame the host sends.
// A batch is appended whole while the queue is empty (ComCommunication
// chooses the next batch only then), and a removed head only moves the
// queue's start on, so the pointer handed to the host stays valid until
// DataCom removes that frame. The frames stay in place until the batch is
// done; the vector then keeps its capacity, so a steady poll allocates no
// frame. Only the communication thread touches the queue.
#ifndef ORDELIN_PROTOCOL_SEND_QUEUE_H
#define ORDELIN_PROTOCOL_SEND_QUEUE_H

#include "ordelin/ordelin.h"

#include <cstring>
#include <vector>

namespace ordelin {

class SendQueue {
public:
    // Encoders build a frame whole and move it in: its request is then
    // copy-constructed, inline for Qt strings, where assigning it would
    // call into QtCore for each of them.
    void append(SendFrame &&frame) { frames.push_back(std::move(frame)); }
    SendFrame *head() { return first < frames.size() ? &frames[first] : nullptr; }
    void removeHead()
    {
        if (first >= frames.size())
            return;
        keepBuffer(frames[first].command);
        if (++first == frames.size())
            clear();
    }
    void clear()
    {
        frames.clear();
        first = 0;
    }

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

    std::vector<SendFrame> frames;
    size_t first = 0; // the head's index
    QByteArray spare;
};

} // namespace ordelin

#endif
