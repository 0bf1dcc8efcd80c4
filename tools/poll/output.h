// What the user sees: the values of the cyclic variables, the completions of
// writes and once-reads, and the final summary; as a table, CSV or JSON.
#ifndef ORDELIN_POLL_OUTPUT_H
#define ORDELIN_POLL_OUTPUT_H

#include "host/log_sink.h"
#include "common/option_values.h"
#include "host/loop_events.h"
#include "host/shown_tags.h"

#include <functional>
#include <memory>

namespace pollhost {

class Output : public LoopEvents {
public:
    void trace(const QString &line) override;
    virtual void finish(const PollView &view, const QString &summary) = 0;
    // Opens what the output writes to before the run; why it cannot, or nothing.
    virtual QString prepare() { return {}; }
};

// Where the CSV or JSON lines go and what they show.
struct RecordTarget {
    QList<ShownTag> tags;
    std::unique_ptr<LogSink> file; // null: standard output, with events on standard error
    bool logChanges = false;       // a line only when a value, its quality or the link changed
    std::function<void(const QString &)> failed; // the file could not be written
};

std::unique_ptr<Output> tableOutput(const QString &port, bool terminal, QList<ShownTag> tags);
std::unique_ptr<Output> csvOutput(RecordTarget target);
std::unique_ptr<Output> jsonOutput(RecordTarget target);
// The table on the terminal and the records in a file, side by side.
std::unique_ptr<Output> bothOutputs(std::unique_ptr<Output> screen, std::unique_ptr<Output> file);

// Writes UTF-8 text to standard output or standard error; for standard
// output, why it failed (a full disk, a closed pipe), or nothing.
QString printOut(const QString &text);
void printError(const QString &text);

// "write DM100=1234: acknowledged", for the text outputs.
QString describe(const HostEvent &event);

// Seconds since the start with three decimals, the time of every record,
// and beside it the wall clock in ISO 8601 with milliseconds and the
// offset from UTC.
QString seconds(qint64 elapsedMs);
QString wallClock();
// A value, or "-" for one not read.
QString valueText(int value);
// "fresh", "never read" or "stale since 3.200 s" (the time it was last read).
QString stateText(const ElementState &state);

} // namespace pollhost

#endif
