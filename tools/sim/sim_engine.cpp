#include "sim_engine.h"

#include "command_answer.h"
#include "initial_values.h"
#include "scan.h"

namespace sim {

SimEngine::SimEngine(const SimConfig &config, qint64 startNs)
    : config(config), plc(new PlcMemory), faults(config.faults, config.seed), pacer(config.line),
      startNs(startNs)
{
}

QStringList SimEngine::prepareMemory()
{
    loadDefaultProgram(*plc);
    if (config.initialValuesPath.isEmpty())
        return {};
    return loadInitialValues(*plc, config.initialValuesPath);
}

std::vector<Scheduled> SimEngine::receive(const QByteArray &bytes, qint64 nowNs)
{
    counts.bytesIn += quint64(bytes.size());
    std::vector<Response> responses;
    QList<QByteArray> frames;
    for (int i = 0; i < bytes.size(); ++i) {
        framer.add(bytes[i], frames);
        if (frames.isEmpty())
            continue;
        if (responses.empty())
            catchUp(nowNs);
        for (const QByteArray &frame : frames) {
            responses.push_back({i + 1, answer(frame)});
            for (const Piece &piece : responses.back().pieces)
                counts.bytesOut += quint64(piece.bytes.size());
        }
        frames.clear();
    }
    return pacer.arrive(nowNs, bytes.size(), std::move(responses));
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

void SimEngine::catchUp(qint64 nowNs)
{
    const qint64 ticks = (nowNs - startNs) / (qint64(config.scanMs) * 1000000);
    runScan(*plc, scannedTicks, ticks);
    scannedTicks = std::max(scannedTicks, ticks);
}

QStringList SimEngine::report() const
{
    const FaultCounts &f = faults.counts();
    const QStringList lines{
        QStringLiteral("%1 commands: %2 start-ups, %3 reads, %4 writes, %5 malformed, %6 ignored")
            .arg(counts.commands).arg(counts.startups).arg(counts.reads).arg(counts.writes)
            .arg(counts.malformed).arg(counts.ignored),
        QStringLiteral("faults: %1 no reply, %2 error replies, %3 garbled, %4 truncated, "
                       "%5 delayed, %6 in pieces")
            .arg(f.silenced).arg(f.errors).arg(f.garbled).arg(f.truncated).arg(f.delayed)
            .arg(f.split),
        QStringLiteral("bytes: %1 in, %2 out").arg(counts.bytesIn).arg(counts.bytesOut),
    };
    return lines + pacer.report();
}

} // namespace sim
