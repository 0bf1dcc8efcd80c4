// What the loop tells its front end, through one small interface: a
// terminal program prints it, a window would show it.
#ifndef ORDELIN_HOST_LOOP_EVENTS_H
#define ORDELIN_HOST_LOOP_EVENTS_H

#include "driver_host.h"
#include "exchange_stats.h"
#include "freshness.h"

namespace pollhost {

struct PollView {
    qint64 elapsedMs = 0;
    const ExchangeStats *stats = nullptr;
    const QList<Variable> *variables = nullptr;
    QList<QList<int>> values; // per variable, one per element
    QList<QVector<ElementState>> states; // how far each value can be trusted
};

class LoopEvents {
public:
    virtual ~LoopEvents() = default;
    // After every read cycle, when the link changes, and once a second while
    // no cycle completes; a front end may show fewer.
    virtual void show(const PollView &view) = 0;
    // A write or once-read completed, or could not be queued.
    virtual void event(qint64 elapsedMs, const HostEvent &event) = 0;
    // The link opened, went down after a drop, or came back.
    virtual void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) = 0;
    // --trace: one frame or reply in hex and ASCII.
    virtual void trace(const QString &line) = 0;
};

} // namespace pollhost

#endif
