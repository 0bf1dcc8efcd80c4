// When each reply leaves, and how the host kept time. Without pacing bytes
// take no time on the wire, so only the PLC's own turnaround and the
// faults' delays hold a reply back. With it, a command is complete one wire
// time after its first byte came and its reply takes its own wire time to
// leave, on one line that carries one thing at a time: a command that comes
// while a reply is still on the wire starts after it. The schedule runs on
// absolute deadlines, each from the one before, so it does not drift: the
// host's next command starts its turnaround after the reply's deadline,
// however late the simulator's own thread woke to write that reply.
// Times are nanoseconds on one monotonic clock, given by the caller.
#ifndef ORDELIN_SIM_LINE_PACER_H
#define ORDELIN_SIM_LINE_PACER_H

#include "faults.h"
#include "common/latency_histogram.h"

#include "common/line_settings.h"

#include <QtCore/QStringList>

namespace sim {

// Bytes to write once their time has come.
struct Scheduled {
    QByteArray bytes;
    qint64 dueNs = 0;
    bool endsReply = false; // these are the last bytes of a reply
};

// The answer to one command, and where that command ended in the bytes
// just read: endOffset bytes of them belong to it and to those before it.
struct Response {
    int endOffset = 0;
    std::vector<Piece> pieces; // none when it goes unanswered
};

struct PaceConfig {
    bool pace = false;
    tools::LineSettings settings;
    int responseMs = 0; // the PLC's own time between a command and its reply
};

class LinePacer {
public:
    explicit LinePacer(const PaceConfig &config);

    // `size` bytes from the host, read at `nowNs`, completed these commands.
    std::vector<Scheduled> arrive(qint64 nowNs, int size, std::vector<Response> responses);
    // The last byte of a reply, due at dueNs, has been written (or the line
    // refused it).
    void replySent(qint64 nowNs, qint64 dueNs);

    // The rate the wire allows for what was exchanged, the rate seen, and the
    // host's turnaround: from a reply's last byte to the next byte it sent.
    QStringList report() const;
    const tools::LatencyHistogram &turnaround() const { return hostTurnaround; }

private:
    qint64 wire(qint64 bytes) const;

    PaceConfig config;
    qint64 lineFreeNs = 0;    // the line carries bytes until then
    int repliesOwed = 0;      // scheduled, not yet written
    qint64 lastReplyNs = -1;  // when the host's turn began; -1 while it is not its turn
    qint64 lastLateNs = 0;    // how long after its deadline that reply was written
    tools::LatencyHistogram hostTurnaround;
    tools::LatencyHistogram ownLateness;
    quint64 replies = 0;
    quint64 bytesIn = 0;
    quint64 bytesOut = 0;
    qint64 firstByteNs = -1;
    qint64 lastWrittenNs = -1;
};

} // namespace sim

#endif
