// The host's serial port and one exchange on it: discard whatever waits on
// the line, send a frame, collect its reply.
#ifndef ORDELIN_HOST_SERIAL_LINK_H
#define ORDELIN_HOST_SERIAL_LINK_H

#include "common/line_settings.h"
#include "common/result.h"

#include <QtSerialPort/QSerialPort>

namespace pollhost {

class SerialLink {
public:
    tools::Result<bool> open(const QString &portName, const tools::LineSettings &settings);
    void close() { port.close(); }

    // Sends `command` and returns the reply: complete after `replyLength`
    // bytes or at the first CR LF, whichever comes first, or whatever came
    // before `timeoutMs` ran out (possibly nothing). Bytes that were already
    // waiting are thrown away first, so a late reply to an earlier frame is
    // never taken for the answer to this one.
    QByteArray exchange(const QByteArray &command, int replyLength, int timeoutMs);

    // Bytes thrown away before sending, since the port was opened.
    quint64 discardedBytes() const { return discarded; }
    // Empty while the port works; otherwise what went wrong with it.
    QString failure() const;

private:
    void discardWaiting();
    QByteArray collect(int replyLength, int timeoutMs);

    QSerialPort port;
    quint64 discarded = 0;
    // Whether bytes of an earlier reply may still be on their way: after a
    // reply that timed out or came with more than its length. Only then is
    // the kernel asked what waits, which saves a system call per exchange.
    bool mayHaveLeftovers = true;
};

} // namespace pollhost

#endif
