// What the loop tells its front end, through one small interface: a
// terminal program prints it, a window would show it.
#ifndef ORDELIN_HOST_LOOP_EVENTS_H
#define ORDELIN_HOST_LOOP_EVENTS_H

#include "driver_host.h"
#include "exchange_stats.h"

namespace pollhost {

struct PollView {
    qint64 elapsedMs = 0;
    const ExchangeStats *stats = nullptr;
    const QList<Variable> *variables = nullptr;
    QList<QList<int>> values; // per variable, one per element
};

// One exchange as the loop saw it: the request the frame served and what
// DataCom made of the reply (1 accepted).
struct ExchangeRecord {
    QString family;
    int address = 0;
    int count = 0;
    bool cyclic = false;
    int result = 0;
};

class LoopEvents {
public:
    virtual ~LoopEvents() = default;
    // After every read cycle; a front end may show fewer.
    virtual void show(const PollView &view) = 0;
    // A write or once-read completed, or could not be queued.
    virtual void event(qint64 elapsedMs, const HostEvent &event) = 0;
    // The link opened, went down after a drop, or came back.
    virtual void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) = 0;
    // --trace: one frame or reply in hex and ASCII.
    virtual void trace(const QString &line) = 0;
    // After every exchange, with the counters as they stand.
    virtual void exchanged(const ExchangeRecord &, const ExchangeStats &) {}
};

} // namespace pollhost

#endif
