// Cuts the byte stream from the host into command frames. Most commands end
// with CR LF, but the set and reset commands ("ST", "RS") end with CR
// alone, so a frame that starts with one of them is complete at its CR;
// any other frame is complete at the byte after its CR (included when it
// is the LF). Runaway input without a CR is cut at a fixed length so it is
// answered as an error instead of filling memory.
#ifndef ORDELIN_SIM_COMMAND_FRAMER_H
#define ORDELIN_SIM_COMMAND_FRAMER_H

#include <QtCore/QByteArray>
#include <QtCore/QList>

namespace sim {

class CommandFramer {
public:
    static constexpr int longestFrame = 32;

    // Complete frames found after adding these bytes, in order.
    QList<QByteArray> feed(const QByteArray &bytes);
    // One byte; appends the frame it completes, if any.
    void add(char byte, QList<QByteArray> &frames);

private:
    bool endsAtCarriageReturn() const;

    QByteArray pending;
    bool sawCarriageReturn = false;
};

} // namespace sim

#endif
