// The host's serial line. QSerialPort opens and configures it; the
// exchanges then use its file descriptor directly. An exchange costs two
// system calls, as few as any host's: a write() of the frame, and a read()
// that blocks until the reply's bytes come and fetches them. That read has
// no time limit of its own (VMIN 1, VTIME 0), so the kernel arms no timer
// for it; ReadWatch ends it at the reply's timeout or on a stop request.
//
// The line's rule: nothing is sent until it is quiet. After a reply that
// timed out, or bytes that nobody asked for, the link waits until no byte
// has come for the guard time, throwing away what arrives, so a late reply
// cannot be taken for the answer to the next frame. A reply later than the
// timeout and then the guard time of silence can still be.
#ifndef ORDELIN_HOST_SERIAL_LINK_H
#define ORDELIN_HOST_SERIAL_LINK_H

#include "read_watch.h"
#include "wake_up.h"

#include "common/line_settings.h"
#include "common/result.h"

#include <QtCore/QDeadlineTimer>
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
    qint64 atNs = 0; // when it ended, on QDeadlineTimer's clock (deadlineNSecs)
};

class SerialLink {
public:
    SerialLink(const WakeUp &stop, int guardMs);

    tools::Result<bool> open(const QString &portName, const tools::LineSettings &settings);
    // Closes the port and opens it again with the same settings (--reconnect).
    tools::Result<bool> reopen();
    void close() { port.close(); }

    // Waits until the line is quiet, when it may not be. False when a stop,
    // `until` or a port failure came first. Within one byte's wire time of a
    // reply that ended with the last byte read, the line is not read again:
    // a stray byte that soon would have begun during the reply, and one that
    // ends after the frame is sent cannot be told from its reply anyway, so
    // the host that turns around at once spends no system call on it.
    bool settle(const QDeadlineTimer &until);

    // Sends the command's `length` bytes and collects its reply within
    // timeoutMs (and before `until`). The command is read in place: it may
    // be the driver's frame, which holds it until DataCom. Call it on the
    // thread that made the link, which the link's watcher may signal.
    LinkReply exchange(const char *command, int length, int replyLength, int timeoutMs,
                       const QDeadlineTimer &until);

    // Bytes thrown away: late replies, bytes after a reply, noise.
    quint64 discardedBytes() const { return discarded; }
    // Empty while the port works; otherwise what went wrong with it.
    const QString &failure() const { return failed; }

private:
    enum class Ready { Yes, TimedOut, Stopped, Failed };
    bool makeReadsBlock();
    Ready waitFor(short events, const QDeadlineTimer &until);
    // Deadlines in nanoseconds on QDeadlineTimer's clock.
    Ready send(const char *command, int length, qint64 untilNs);
    Ready receive(qint64 untilNs);
    Ready emptyRead();
    qint64 readSome(QByteArray &into, bool readable);
    void discard(qint64 bytes);

    const WakeUp &stop;
    int guardMs;
    ReadWatch reads;
    QSerialPort port;
    QString name;
    tools::LineSettings lineSettings;
    int fd = -1;
    qint64 byteNs = 0;      // one byte's wire time at the line's settings
    // On QDeadlineTimer's clock, in nanoseconds, -1 for none. The clock is
    // read twice an exchange: when settle() looks at the line, which also
    // starts the reply's timeout of the frame sent right after, and when
    // the reply ends.
    qint64 emptiedAtNs = -1; // a complete reply left nothing behind
    qint64 lookedAtNs = -1;  // settle() found the line quiet, just before exchange()
    QByteArray received;    // kept between exchanges, so it is allocated once
    bool mayBeNoisy = false; // after a timeout or unasked bytes, until found quiet
    bool answered = false;   // the last frame got its reply, so the line took it
    quint64 discarded = 0;
    QString failed;
};

} // namespace pollhost

#endif
