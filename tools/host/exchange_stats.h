// Counters of the exchanges, the state of the link and the ping-style
// summary a user reads at the end.
#ifndef ORDELIN_HOST_EXCHANGE_STATS_H
#define ORDELIN_HOST_EXCHANGE_STATS_H

#include <QtCore/QMap>
#include <QtCore/QString>

namespace pollhost {

// What one exchange came to.
struct ExchangeOutcome {
    bool startup = false; // the frame was the link start-up
    int result = 0;       // what DataCom returned
    QString cause;        // why a rejected reply was wrong, in words
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
    LinkState link = LinkState::Opening;
    bool everOpened = false;

    quint64 rejected() const { return exchanges - accepted; }
    double lossPercent() const;
    QString linkText() const;
    // One line of all counters, for the table's heading.
    QString counters() const;
    // "--- PORT ordelin-poll statistics ---" and the line of totals.
    QString summary(const QString &port, qint64 elapsedMs) const;
};

} // namespace pollhost

#endif
