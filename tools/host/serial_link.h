// The host's serial line. QSerialPort opens and configures it; the
// exchanges then wait on its file descriptor with poll(), beside the stop
// request's, and read and write it directly, so a stop ends any wait at
// once and an exchange costs only the system calls it needs.
//
// The line's rule: nothing is sent until it is quiet. After a reply that
// timed out, or bytes that nobody asked for, the link waits until no byte
// has come for the guard time, throwing away what arrives, so a late reply
// cannot be taken for the answer to the next frame. A reply later than the
// timeout and then the guard time of silence can still be.
#ifndef ORDELIN_HOST_SERIAL_LINK_H
#define ORDELIN_HOST_SERIAL_LINK_H

#include "wake_up.h"

#include "common/line_settings.h"
#include "common/result.h"

#include <QtSerialPort/QSerialPort>

namespace pollhost {

enum class ReplyEnd {
    Complete,    // up to its CR LF, or the length the frame expects
    TimedOut,    // what came before the timeout, possibly nothing
    Interrupted, // a stop request, or the caller's deadline, came first
    PortFailed,
};

struct LinkReply {
    QByteArray bytes;
    ReplyEnd end = ReplyEnd::Complete;
};

class SerialLink {
public:
    SerialLink(const WakeUp &stop, int guardMs);

    tools::Result<bool> open(const QString &portName, const tools::LineSettings &settings);

    // Waits until the line is quiet, when it may not be. False when a stop,
    // `until` or a port failure came first.
    bool settle(const QDeadlineTimer &until);

    // Sends the command and collects its reply within timeoutMs (and before
    // `until`).
    LinkReply exchange(const QByteArray &command, int replyLength, int timeoutMs,
                       const QDeadlineTimer &until);

    // Bytes thrown away: late replies, bytes after a reply, noise.
    quint64 discardedBytes() const { return discarded; }
    // Empty while the port works; otherwise what went wrong with it.
    const QString &failure() const { return failed; }

private:
    enum class Ready { Yes, TimedOut, Stopped, Failed };
    Ready waitFor(short events, const QDeadlineTimer &until);
    Ready send(const QByteArray &command, const QDeadlineTimer &until);
    qint64 readSome(QByteArray &into, bool readable);
    void discard(qint64 bytes);

    const WakeUp &stop;
    int guardMs;
    QSerialPort port;
    int fd = -1;
    bool mayBeNoisy = false; // after a timeout or unasked bytes, until found quiet
    quint64 discarded = 0;
    QString failed;
};

} // namespace pollhost

#endif
