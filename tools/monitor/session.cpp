#include "session.h"

#include "host/embedded_sim.h"
#include "host/poll_loop.h"
#include "host/serial_link.h"

#include <QtCore/QDateTime>

namespace monitor {

namespace {

using namespace pollhost;

// Enough for several seconds of a fast line between two looks of the window.
const int inboxTraceLimit = 5000;
// How long a port that cannot be used is left alone before the next try.
const int retryPauseMs = 1000;

} // namespace

tools::Result<std::shared_ptr<Session>> Session::start(const DriverApi &api,
                                                       const SessionConfig &config,
                                                       QList<Variable> cyclic)
{
    auto session = std::make_shared<Session>(api, config, std::move(cyclic));
    if (config.sim) {
        const auto started = startEmbeddedSimulator(sim::SimConfig{});
        if (!started.ok())
            return tools::Result<std::shared_ptr<Session>>::failure(started.error());
        session->simulator = started.value();
        session->port = session->simulator->portName();
    }
    // The settings record is registered here, before the caller lets go of
    // the previous session: the driver keeps a pointer to the one it was given.
    session->host.start();
    session->worker.reset(QThread::create(&Session::work, session.get()));
    session->worker->start();
    return session;
}

Session::Session(const DriverApi &api, const SessionConfig &config, QList<Variable> cyclic)
    : api(api), config(config), port(config.port), host(api, config.host, std::move(cyclic), {}, {})
{
}

Session::~Session()
{
    stop();
    if (worker)
        worker->wait();
    // The worker's last act is under this lock; taking it makes everything
    // it wrote visible here in a way ThreadSanitizer sees too (QThread::wait
    // orders it inside QtCore, which is not instrumented).
    std::lock_guard<std::mutex> hold(mutex);
}

Inbox Session::take()
{
    std::lock_guard<std::mutex> hold(mutex);
    Inbox taken = inbox;
    inbox.traces.clear();
    inbox.tracesDropped = 0;
    inbox.events.clear();
    inbox.completions.clear();
    return taken;
}

// The loop ends when the port fails; the port is then opened again every
// second, so a USB adapter pulled and plugged back in brings the link back.
void Session::work()
{
    while (!wake.raised()) {
        SerialLink link(wake, config.host.guardMs, config.host.protocolMode == 0);
        if (openLink(link)) {
            PollLoop loop(api, host, link, *this, config.host, wake);
            loopStartMs = QDateTime::currentMSecsSinceEpoch();
            const LoopEnd end = loop.run();
            std::lock_guard<std::mutex> hold(mutex);
            before = inbox;
            if (end == LoopEnd::PortFailed) {
                inbox.problem = link.failure();
                inbox.link = LinkState::Down;
            }
        }
        wake.sleepUntil(tools::nowNs() + retryPauseMs * tools::msNs);
    }
    // The window queued its writes and once-reads for this line: none may
    // go out on the next connection, which can be another PLC.
    const QList<OwnCompletion> dropped = host.dropQueued();
    std::lock_guard<std::mutex> hold(mutex);
    inbox.completions += dropped;
    inbox.running = false;
}

bool Session::openLink(SerialLink &link)
{
    const auto opened = link.open(port, config.line);
    std::lock_guard<std::mutex> hold(mutex);
    inbox.problem = opened.ok() ? QString()
                  : opened.error() + (config.sim ? simulatorLineHint(config.line) : QString());
    if (!opened.ok())
        inbox.link = LinkState::Down;
    return opened.ok();
}

void Session::show(const PollView &view)
{
    std::lock_guard<std::mutex> hold(mutex);
    count(*view.stats);
    for (int v = 0; v < view.variables->size() && v < view.states.size(); ++v) {
        const Variable &variable = view.variables->at(v);
        for (int k = 0; k < view.states[v].size(); ++k) {
            const ElementState &state = view.states[v][k];
            ElementTrust &trust = inbox.trust[{variable.family, variable.address + k}];
            trust.quality = state.quality;
            // A loop started after a port failure has a clock of its own: only
            // a read time that changed is one of this loop's.
            if (state.readAtMs != trust.loopReadAtMs) {
                trust.loopReadAtMs = state.readAtMs;
                trust.readAtMs = state.readAtMs < 0 ? -1 : loopStartMs + state.readAtMs;
            }
        }
    }
}

void Session::event(qint64, const HostEvent &event)
{
    std::lock_guard<std::mutex> hold(mutex);
    inbox.events.append(event);
}

void Session::linkChanged(qint64, const ExchangeStats &stats)
{
    std::lock_guard<std::mutex> hold(mutex);
    count(stats);
}

void Session::trace(const QString &line)
{
    std::lock_guard<std::mutex> hold(mutex);
    if (inbox.traces.size() >= inboxTraceLimit) {
        inbox.traces.removeFirst();
        ++inbox.tracesDropped;
    }
    inbox.traces.append(line);
}

void Session::completed(const OwnCompletion &completion)
{
    std::lock_guard<std::mutex> hold(mutex);
    inbox.completions.append(completion);
}

// Under the lock.
void Session::count(const ExchangeStats &stats)
{
    inbox.exchanges = before.exchanges + stats.exchanges;
    inbox.accepted = before.accepted + stats.accepted;
    inbox.rejected = before.rejected + stats.rejected();
    inbox.dropped = before.dropped + stats.dropped;
    inbox.startups = before.startups + stats.startups;
    inbox.link = stats.link;
}

} // namespace monitor
