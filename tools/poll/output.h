// What the user sees: the values of the cyclic variables, the completions of
// writes and once-reads, and the final summary; as a table, CSV or JSON.
#ifndef ORDELIN_POLL_OUTPUT_H
#define ORDELIN_POLL_OUTPUT_H

#include "host/loop_events.h"

#include <memory>

namespace pollhost {

class Output : public LoopEvents {
public:
    void trace(const QString &line) override;
    virtual void finish(const PollView &view, const QString &summary) = 0;
};

std::unique_ptr<Output> tableOutput(const QString &port, bool terminal);
std::unique_ptr<Output> csvOutput();
std::unique_ptr<Output> jsonOutput();

// Writes UTF-8 text to standard output or standard error.
void printOut(const QString &text);
void printError(const QString &text);

// "write DM100=1234: acknowledged", for the text outputs.
QString describe(const HostEvent &event);

// Seconds since the start with three decimals, the time of every record.
QString seconds(qint64 elapsedMs);
// A value, or "-" for one not read.
QString valueText(int value);
// "fresh", "never read" or "stale since 3.200 s" (the time it was last read).
QString stateText(const ElementState &state);

} // namespace pollhost

#endif
