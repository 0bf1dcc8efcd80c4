#include "sim_engine.h"

#include "command_answer.h"
#include "initial_values.h"
#include "scan.h"

namespace sim {

SimEngine::SimEngine(const SimConfig &config, qint64 startMs)
    : config(config), plc(new PlcMemory), faults(config.faults, config.seed), startMs(startMs)
{
}

QStringList SimEngine::prepareMemory()
{
    loadDefaultProgram(*plc);
    if (config.initialValuesPath.isEmpty())
        return {};
    return loadInitialValues(*plc, config.initialValuesPath);
}

std::vector<Piece> SimEngine::receive(const QByteArray &bytes, qint64 nowMs)
{
    counts.bytesIn += quint64(bytes.size());
    std::vector<Piece> out;
    const QList<QByteArray> frames = framer.feed(bytes);
    if (frames.isEmpty())
        return out;
    catchUp(nowMs);
    for (const QByteArray &frame : frames) {
        for (Piece &piece : answer(frame)) {
            counts.bytesOut += quint64(piece.bytes.size());
            out.push_back(std::move(piece));
        }
    }
    return out;
}

std::vector<Piece> SimEngine::answer(const QByteArray &frame)
{
    ++counts.commands;
    if (silenced) {
        ++counts.ignored;
        return {};
    }
    const Answer answer = answerCommand(*plc, frame);
    switch (answer.kind) {
    case CommandKind::Startup: ++counts.startups; break;
    case CommandKind::Read: ++counts.reads; break;
    case CommandKind::Write: ++counts.writes; break;
    case CommandKind::Malformed: ++counts.malformed; break;
    }
    return faults.deliver(answer.reply);
}

void SimEngine::catchUp(qint64 nowMs)
{
    const qint64 ticks = (nowMs - startMs) / config.scanMs;
    runScan(*plc, scannedTicks, ticks);
    scannedTicks = std::max(scannedTicks, ticks);
}

QStringList SimEngine::report() const
{
    const FaultCounts &f = faults.counts();
    return {
        QStringLiteral("%1 commands: %2 start-ups, %3 reads, %4 writes, %5 malformed, %6 ignored")
            .arg(counts.commands).arg(counts.startups).arg(counts.reads).arg(counts.writes)
            .arg(counts.malformed).arg(counts.ignored),
        QStringLiteral("faults: %1 no reply, %2 error replies, %3 garbled, %4 truncated, "
                       "%5 delayed, %6 in pieces")
            .arg(f.silenced).arg(f.errors).arg(f.garbled).arg(f.truncated).arg(f.delayed)
            .arg(f.split),
        QStringLiteral("bytes: %1 in, %2 out").arg(counts.bytesIn).arg(counts.bytesOut),
    };
}

} // namespace sim
