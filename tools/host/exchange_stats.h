// Counters of the exchanges, the state of the link and the ping-style
// summary a user reads at the end.
#ifndef ORDELIN_HOST_EXCHANGE_STATS_H
#define ORDELIN_HOST_EXCHANGE_STATS_H

#include "common/latency_histogram.h"
#include "common/line_settings.h"

#include <QtCore/QMap>
#include <QtCore/QString>
#include <QtCore/QStringList>

namespace pollhost {

// What one exchange came to.
struct ExchangeOutcome {
    bool startup = false; // the frame was the link start-up
    int result = 0;       // what DataCom returned
    QString cause;        // why a rejected reply was wrong, in words
    int bytesOut = 0;     // the frame's
    int bytesIn = 0;      // the reply's, as far as it came
};

// opening: never opened yet; up: the last reply was accepted; retrying:
// the last reply was rejected and the driver tries again; down: a request
// was dropped after its retries, until a reply is accepted again.
enum class LinkState { Opening, Up, Retrying, Down };

class ExchangeStats {
public:
    void record(const ExchangeOutcome &outcome);

    quint64 exchanges = 0;
    quint64 accepted = 0;
    quint64 startups = 0; // start-up frames sent
    quint64 dropped = 0;  // requests the driver gave up after their retries
    // Rejected replies, and drops, by what was wrong with the reply.
    QMap<QString, quint64> rejectedBy;
    QMap<QString, quint64> droppedBy;
    quint64 lateBytes = 0; // thrown away before sending: late or stray replies
    quint64 outages = 0;   // times the port failed (--reconnect)
    QString outageCause;   // what the port said the last time it failed
    bool portDown = false; // since the port failed, until it is open again
    quint64 bytesOut = 0;
    quint64 bytesIn = 0;
    LinkState link = LinkState::Opening;
    bool everOpened = false;
    // The PLC's answer time: from the command's last byte leaving to the
    // reply's last byte, of the replies that came whole.
    tools::LatencyHistogram replyTimes;
    qint64 fastestReplyNs = 0;
    qint64 slowestReplyNs = 0;

    void replied(qint64 ns);
    qint64 replyQuantile(double q) const;
    // "reply time min 1.2 ms, median 1.5 ms, 99% 2.0 ms, max 3.1 ms", or
    // nothing before the first reply.
    QString replyTimeText() const;

    quint64 rejected() const { return exchanges - accepted; }
    double lossPercent() const;
    QString linkText() const;
    // The same, with the port's failure while it lasts: "down (port: the port hung up)".
    QString linkDescribed() const;
    // All counters, for the table's heading.
    QStringList counters() const;
    // "--- PORT ordelin-poll statistics ---", the line of totals, and the rate
    // reached beside the one the line allows for these frames at `line`:
    // whether the line or the host set the pace.
    QString summary(const QString &port, qint64 elapsedMs, const tools::LineSettings &line) const;
};

} // namespace pollhost

#endif
