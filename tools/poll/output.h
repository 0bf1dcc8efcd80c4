// What the user sees: the values of the cyclic variables, the completions of
// writes and once-reads, and the final summary; as a table, CSV or JSON.
#ifndef ORDELIN_POLL_OUTPUT_H
#define ORDELIN_POLL_OUTPUT_H

#include "driver_host.h"
#include "exchange_stats.h"

#include <memory>

namespace pollhost {

struct PollView {
    qint64 elapsedMs = 0;
    const ExchangeStats *stats = nullptr;
    const QList<Variable> *variables = nullptr;
    QList<QList<int>> values; // per variable, one per element
};

class Output {
public:
    virtual ~Output() = default;
    // Called after every read cycle; an output may show fewer.
    virtual void show(const PollView &view) = 0;
    virtual void event(qint64 elapsedMs, const HostEvent &event) = 0;
    // The link opened, went down after a drop, or came back.
    virtual void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) = 0;
    virtual void finish(const PollView &view, const QString &summary) = 0;
};

std::unique_ptr<Output> tableOutput(const QString &port, bool terminal);
std::unique_ptr<Output> csvOutput();
std::unique_ptr<Output> jsonOutput();

// Writes UTF-8 text to standard output or standard error.
void printOut(const QString &text);
void printError(const QString &text);

// "write DM100=1234: answered", for the text outputs.
QString describe(const HostEvent &event);

} // namespace pollhost

#endif
