// The simulated PLC without its line: bytes from the host in, timed reply
// pieces out. It frames the commands, runs the scan up to the moment they
// arrive, answers them, passes each answer through fault injection and
// schedules it on the line.
#ifndef ORDELIN_SIM_SIM_ENGINE_H
#define ORDELIN_SIM_SIM_ENGINE_H

#include "command_framer.h"
#include "faults.h"
#include "line_pacer.h"
#include "plc_memory.h"

#include <QtCore/QStringList>

#include <memory>

namespace sim {

struct SimConfig {
    FaultRates faults;
    quint32 seed = 1;
    int scanMs = 100; // one scan tick; timers count in ticks
    QString initialValuesPath;
    PaceConfig line; // the line's settings, pacing and the PLC's response time
    // Answer only while the line is set to line.settings.baud, as a real
    // PLC hears only its own rate (--strict-baud).
    bool strictBaud = false;
};

struct SimCounters {
    quint64 commands = 0;
    quint64 startups = 0;
    quint64 reads = 0;
    quint64 writes = 0;
    quint64 malformed = 0;
    quint64 ignored = 0; // commands that arrived while silenced
    quint64 bytesIn = 0;
    quint64 bytesOut = 0;
};

class SimEngine {
public:
    // Times are nanoseconds on the caller's monotonic clock.
    SimEngine(const SimConfig &config, qint64 startNs);

    // Loads the default program and the initial values file, if any.
    // Result: the errors of the file, empty when all went well.
    QStringList prepareMemory();

    // Bytes read at `nowNs`; what to write, and when.
    std::vector<Scheduled> receive(const QByteArray &bytes, qint64 nowNs);
    // The last byte of a reply, due at dueNs, was written at nowNs.
    void replySent(qint64 nowNs, qint64 dueNs) { pacer.replySent(nowNs, dueNs); }

    // A silenced PLC takes the commands off the line and answers none, as
    // one that was switched to program mode or lost its line driver.
    void setSilent(bool silent) { silenced = silent; }

    PlcMemory &memory() { return *plc; }
    const SimCounters &counters() const { return counts; }
    const FaultCounts &faultCounts() const { return faults.counts(); }
    const LinePacer &line() const { return pacer; }

    // What it did, a few lines for the user.
    QStringList report() const;

private:
    std::vector<Piece> answer(const QByteArray &frame);
    void catchUp(qint64 nowNs);

    SimConfig config;
    std::unique_ptr<PlcMemory> plc; // large: kept off the stack
    CommandFramer framer;
    FaultInjector faults;
    LinePacer pacer;
    SimCounters counts;
    qint64 startNs;
    qint64 scannedTicks = 0;
    bool silenced = false;
};

} // namespace sim

#endif
