#include "line_pacer.h"

namespace sim {

LinePacer::LinePacer(const PaceConfig &config) : config(config)
{
}

qint64 LinePacer::wire(qint64 bytes) const
{
    return config.pace ? tools::wireNanoseconds(config.settings, bytes) : 0;
}

std::vector<Scheduled> LinePacer::arrive(qint64 nowNs, int size, std::vector<Response> responses)
{
    // Only the first byte after the last reply left, with nothing else owed,
    // ends a turn of the host's; later pieces of a command are no new turn.
    // On a paced line the host's command starts its turnaround after the
    // reply's deadline; lateness that the wire time after it cannot absorb is
    // made up by the replies after it. Unpaced there is no wire time to
    // absorb any, and a reply goes out as soon as the command is in.
    qint64 startNs = nowNs;
    if (lastReplyNs >= 0 && repliesOwed == 0) {
        hostTurnaround.record(nowNs - lastReplyNs);
        if (config.pace)
            startNs = nowNs - lastLateNs;
    }
    lastReplyNs = -1;
    if (firstByteNs < 0)
        firstByteNs = nowNs;
    bytesIn += quint64(size);

    std::vector<Scheduled> out;
    qint64 cursor = std::max(startNs, lineFreeNs);
    int consumed = 0;
    for (Response &response : responses) {
        cursor += wire(response.endOffset - consumed);
        consumed = response.endOffset;
        if (response.pieces.empty())
            continue;
        cursor += qint64(config.responseMs) * 1000000;
        for (Piece &piece : response.pieces) {
            cursor += qint64(piece.delayMs) * 1000000 + wire(piece.bytes.size());
            bytesOut += quint64(piece.bytes.size());
            out.push_back({std::move(piece.bytes), cursor, false});
        }
        out.back().endsReply = true;
        ++repliesOwed;
        ++replies;
    }
    lineFreeNs = cursor + wire(size - consumed);
    return out;
}

void LinePacer::replySent(qint64 nowNs, qint64 dueNs)
{
    lastWrittenNs = nowNs;
    ownLateness.record(nowNs - dueNs);
    if (repliesOwed > 0 && --repliesOwed == 0) {
        lastReplyNs = nowNs;
        lastLateNs = std::max<qint64>(0, nowNs - dueNs);
    }
}

QStringList LinePacer::report() const
{
    const qint64 wireNs = tools::wireNanoseconds(config.settings, qint64(bytesIn + bytesOut))
                        + qint64(replies) * config.responseMs * 1000000;
    const double allowed = wireNs > 0 ? 1e9 * double(replies) / double(wireNs) : 0.0;
    const qint64 spanNs = lastWrittenNs - firstByteNs;
    const double seen = replies > 0 && spanNs > 0 ? 1e9 * double(replies) / double(spanNs) : 0.0;
    const QString line = tools::describe(config.settings);
    QString rates = config.pace
        ? QStringLiteral("line %1 paced: the wire allows %2 exchanges/s, seen %3/s (%4%)")
              .arg(line)
              .arg(allowed, 0, 'f', 1)
              .arg(seen, 0, 'f', 1)
              .arg(allowed > 0 ? 100.0 * seen / allowed : 0.0, 0, 'f', 1)
        : QStringLiteral("line not paced: at %1 the wire would allow %2 exchanges/s, seen %3/s")
              .arg(line)
              .arg(allowed, 0, 'f', 1)
              .arg(seen, 0, 'f', 1);
    if (config.responseMs > 0)
        rates += QStringLiteral(", with %1 ms of PLC response time").arg(config.responseMs);
    return {
        rates,
        QStringLiteral("host turnaround, reply's last byte to the next command's first: "
                       "median %1 us, 99th percentile %2 us, %3 turns")
            .arg(double(hostTurnaround.quantile(0.5)) / 1000.0, 0, 'f', 1)
            .arg(double(hostTurnaround.quantile(0.99)) / 1000.0, 0, 'f', 1)
            .arg(hostTurnaround.count()),
        QStringLiteral("simulator's own lateness writing replies%1: median %2 us, "
                       "99th percentile %3 us")
            .arg(config.pace ? QStringLiteral(", not counted against the host") : QString())
            .arg(double(ownLateness.quantile(0.5)) / 1000.0, 0, 'f', 1)
            .arg(double(ownLateness.quantile(0.99)) / 1000.0, 0, 'f', 1),
    };
}

} // namespace sim
