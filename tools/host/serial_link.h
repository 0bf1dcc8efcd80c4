// The host's serial line. QSerialPort opens and configures the port; the
// exchanges then use its non-blocking descriptor, each wait a ppoll() on it
// and the stop pipe with the time left (see common/wake_up.h).
//
// The line's rule: nothing is sent until the line is unambiguous. After a
// reply that timed out, bytes that nobody asked for, or a reopened port, the
// link waits until no byte has come for the guard time, then (when the
// line opens with the start-up exchange) sends the start-up command and
// waits for its "CC" CR LF: a PLC answers in order, so every late reply
// comes before that, and no value reply can look like it. Only then does
// the next frame go out. A line that cannot be made so within a bound
// (a device that chatters) is reported as not quiet, and the loop treats it
// as an outage rather than wait on.
#ifndef ORDELIN_HOST_SERIAL_LINK_H
#define ORDELIN_HOST_SERIAL_LINK_H

#include "common/line_settings.h"
#include "common/result.h"
#include "common/wake_up.h"

#include <QtSerialPort/QSerialPort>

#include <functional>

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
    qint64 sentNs = 0; // when the command's last byte left, on tools::nowNs()'s clock
    qint64 atNs = 0;   // when the reply ended
};

enum class Settled {
    Quiet,
    NotQuiet, // bytes kept coming: a device that chatters
    NoAnswer, // quiet, but the start-up command got no clean answer
    Interrupted,
    PortFailed,
};

class SerialLink {
public:
    // `startupProbe`: the PLC answers the start-up command at any time
    // (the driver opens the link with it).
    SerialLink(const tools::WakeUp &stop, int guardMs, bool startupProbe);

    // A port that cannot be opened is remembered, with why, for reopen().
    tools::Result<bool> open(const QString &portName, const tools::LineSettings &settings);
    bool isOpen() const { return fd >= 0; }
    // Closes the port and opens it again with the same settings (--reconnect).
    tools::Result<bool> reopen();
    void close()
    {
        port.close();
        fd = -1;
    }

    // Called while a wait of the link goes on, when the time it last
    // returned comes (on tools::nowNs()'s clock), so the loop can keep
    // showing what it knows during a long wait.
    void setHeartbeat(std::function<qint64()> beat) { heartbeat = std::move(beat); }

    // Makes the line unambiguous before a frame (see above); nothing to do
    // while the last reply came whole with nothing after it. Gives up
    // after the guard and the timeout of waiting for quiet, and the timeout
    // of waiting for the start-up answer.
    Settled settle(int timeoutMs, qint64 untilNs);

    // Sends the command's `length` bytes and collects its reply within
    // timeoutMs of the command's last byte leaving (its wire time after the
    // write), and before untilNs. The command is read in place: it may be
    // the driver's frame, which holds it until DataCom.
    LinkReply exchange(const char *command, int length, int replyLength, int timeoutMs, qint64 untilNs);

    // Bytes thrown away: late replies, bytes after a reply, noise.
    quint64 discardedBytes() const { return discarded; }
    // Empty while the port works; otherwise what went wrong with it.
    const QString &failure() const { return failed; }

private:
    using Woke = tools::WakeUp::Woke;
    Woke wait(short events, qint64 untilNs);
    Woke send(const char *command, int length, qint64 untilNs);
    bool readInto(QByteArray &into);
    void discard(qint64 bytes);
    Woke quietFor(qint64 guardNs, qint64 untilNs);
    Woke probe(int timeoutMs, qint64 untilNs);

    const tools::WakeUp &stop;
    int guardMs;
    bool startupProbe;
    std::function<qint64()> heartbeat;
    qint64 nextBeatNs = 0;
    QSerialPort port;
    QString name;
    tools::LineSettings lineSettings;
    int fd = -1;
    QByteArray received;
    bool unsure = false; // the line may hold an answer nobody waits for
    quint64 discarded = 0;
    QString failed;
};

} // namespace pollhost

#endif
