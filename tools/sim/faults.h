// Fault injection: makes the simulated PLC misbehave the way real lines and
// PLCs do, so a host's retries, timeouts and recovery can be tested. Every
// decision comes from one generator seeded by the user, so the same seed
// and the same commands give the same faults on every run and machine.
#ifndef ORDELIN_SIM_FAULTS_H
#define ORDELIN_SIM_FAULTS_H

#include <QtCore/QByteArray>

#include <random>
#include <vector>

namespace sim {

// Probabilities from 0 to 1, each drawn once per reply.
struct FaultRates {
    double noReply = 0;   // say nothing
    double error = 0;     // answer "E1" CR LF instead
    double garble = 0;    // change one byte of the reply
    double truncate = 0;  // send only a leading part of the reply
    double delay = 0;     // wait delayMs before answering
    double pieces = 0;    // send the reply in two or three parts, pieceGapMs apart
    int delayMs = 200;
    int pieceGapMs = 5;
    // A device that chatters: one stray byte every chatterMs once the first
    // command was answered; 0 for none.
    int chatterMs = 0;

    bool any() const { return noReply + error + garble + truncate + delay + pieces > 0; }
};

struct FaultCounts {
    quint64 silenced = 0;
    quint64 errors = 0;
    quint64 garbled = 0;
    quint64 truncated = 0;
    quint64 delayed = 0;
    quint64 split = 0;
};

// Bytes to send after waiting delayMs from the previous piece.
struct Piece {
    QByteArray bytes;
    int delayMs = 0;
};

class FaultInjector {
public:
    FaultInjector(const FaultRates &rates, quint32 seed);

    // How the reply goes out: no pieces for a silenced reply, otherwise
    // pieces that join to the (possibly damaged) reply.
    std::vector<Piece> deliver(const QByteArray &reply);

    const FaultCounts &counts() const { return done; }

private:
    bool happens(double probability);
    int below(int bound);
    QByteArray damaged(const QByteArray &reply);
    std::vector<Piece> cut(const QByteArray &reply, int firstDelayMs);

    FaultRates rates;
    std::mt19937 generator;
    FaultCounts done;
};

} // namespace sim

#endif
