#include "faults.h"

#include "command_answer.h"

namespace sim {

FaultInjector::FaultInjector(const FaultRates &rates, quint32 seed)
    : rates(rates), generator(seed)
{
}

// Computed from the raw 32-bit output rather than with a standard
// distribution, whose results differ between library implementations.
bool FaultInjector::happens(double probability)
{
    return probability > 0 && double(generator()) / 4294967296.0 < probability;
}

int FaultInjector::below(int bound)
{
    return bound <= 1 ? 0 : int(generator() % quint32(bound));
}

std::vector<Piece> FaultInjector::deliver(const QByteArray &reply)
{
    if (happens(rates.noReply)) {
        ++done.silenced;
        return {};
    }
    const QByteArray sent = damaged(reply);
    int firstDelayMs = 0;
    if (happens(rates.delay)) {
        ++done.delayed;
        firstDelayMs = rates.delayMs;
    }
    if (sent.size() > 1 && happens(rates.pieces)) {
        ++done.split;
        return cut(sent, firstDelayMs);
    }
    return {Piece{sent, firstDelayMs}};
}

QByteArray FaultInjector::damaged(const QByteArray &reply)
{
    if (happens(rates.error)) {
        ++done.errors;
        return errorReply();
    }
    QByteArray sent = reply;
    if (happens(rates.garble)) {
        ++done.garbled;
        // XOR with a nonzero value always changes the byte.
        const int position = below(sent.size());
        sent[position] = char(sent[position] ^ char(1 + below(127)));
    }
    if (sent.size() > 1 && happens(rates.truncate)) {
        ++done.truncated;
        sent.truncate(1 + below(sent.size() - 1));
    }
    return sent;
}

std::vector<Piece> FaultInjector::cut(const QByteArray &reply, int firstDelayMs)
{
    const int parts = reply.size() > 2 ? 2 + below(2) : 2;
    std::vector<Piece> pieces;
    int start = 0;
    for (int part = 0; part < parts; ++part) {
        const int left = reply.size() - start;
        const int size = part + 1 == parts ? left : 1 + below(left - (parts - part - 1));
        pieces.push_back({reply.mid(start, size), part == 0 ? firstDelayMs : rates.pieceGapMs});
        start += size;
    }
    return pieces;
}

} // namespace sim
