// Finding a PLC's line settings: the start-up command at each candidate
// rate and framing in turn, on a port opened afresh for each, and what came
// back. The PLC answers "CR" CR LF with exactly "CC" CR LF at any time, so
// an answer at a setting proves the setting; bytes that are not that answer
// often mean the right rate with the wrong framing.
//
// A pseudo-terminal keeps only the baud rate a host sets (it carries 8 bits
// without parity whatever the framing), so there every framing of the
// right rate answers: the scan says so rather than pretend to tell them
// apart.
#ifndef ORDELIN_HOST_LINE_SCAN_H
#define ORDELIN_HOST_LINE_SCAN_H

#include "common/line_settings.h"
#include "common/wake_up.h"

#include <QtCore/QList>

#include <functional>

namespace pollhost {

enum class ScanOutcome {
    Answered, // "CC" CR LF and nothing else
    Garbled,  // bytes, but not the answer
    Silent,   // nothing within the timeout
    Refused,  // the port would not take these settings
};

struct ScanStep {
    tools::LineSettings settings;
    ScanOutcome outcome = ScanOutcome::Silent;
    qint64 roundTripNs = 0; // from the command's write to the answer's last byte
    QByteArray heard;
};

struct ScanReport {
    QList<ScanStep> steps;     // in the order tried
    QString failure;           // the port took no setting at all: why the first was refused
    bool stopped = false;      // a stop request ended it early
    bool pseudoTerminal = false;
    int candidates = 0;
    // The first setting that answered, or nullptr.
    const ScanStep *found() const;
};

// How long each setting waits for its answer beyond the wire time, unless
// told otherwise: a PLC of this kind answers the start-up within a few ms.
constexpr int scanTimeoutMs = 100;

// The usual rates of such a line (1200 to 115200 among tools::supportedBauds())
// with the framings such a PLC is set to, the plainest first, rate by rate.
QList<tools::LineSettings> scanCandidates();

// True for a pseudo-terminal's slave, where framings cannot be told apart.
bool isPseudoTerminal(const QString &portName);

// Tries every candidate, each answer awaited its wire time and timeoutMs;
// `onStep` hears each result as it comes (on the caller's thread). A raised
// `stop` ends it at once, the step under way left out.
ScanReport scanLine(const QString &portName, const QList<tools::LineSettings> &candidates, int timeoutMs,
                    const tools::WakeUp &stop, const std::function<void(const ScanStep &)> &onStep = {});

// "answered in 1.2 ms", "silent", ..., for messages.
QString describe(const ScanStep &step);
// The options that select the step's settings: "--baud 9600 --data-bits 8 ...".
QStringList lineArguments(const tools::LineSettings &settings);

} // namespace pollhost

#endif
