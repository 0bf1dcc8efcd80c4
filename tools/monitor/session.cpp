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
const int inboxReadLimit = 20000;
// How long a port that cannot be used is left alone before the next try.
const std::chrono::seconds retryPause(1);

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
}

void Session::stop()
{
    std::lock_guard<std::mutex> hold(mutex);
    stopWanted = true;
    if (loop)
        loop->stop();
    stopped.notify_all();
}

Inbox Session::take()
{
    std::lock_guard<std::mutex> hold(mutex);
    Inbox taken = inbox;
    inbox.traces.clear();
    inbox.tracesDropped = 0;
    inbox.events.clear();
    inbox.reads.clear();
    return taken;
}

// The loop ends when the port fails; the port is then opened again every
// second, so a USB adapter pulled and plugged back in brings the link back.
void Session::work()
{
    for (;;) {
        SerialLink link;
        if (openLink(link)) {
            PollLoop run(api, host, link, *this, config.host);
            {
                std::lock_guard<std::mutex> hold(mutex);
                if (stopWanted)
                    break;
                loop = &run;
            }
            run.run();
            std::lock_guard<std::mutex> hold(mutex);
            loop = nullptr;
            before = inbox;
            if (!run.portFailure().isEmpty()) {
                inbox.problem = run.portFailure();
                inbox.link = LinkState::Down;
            }
        }
        std::unique_lock<std::mutex> hold(mutex);
        if (stopped.wait_for(hold, retryPause, [this] { return stopWanted; }))
            break;
    }
    std::lock_guard<std::mutex> hold(mutex);
    inbox.running = false;
}

bool Session::openLink(SerialLink &link)
{
    const auto opened = link.open(port, config.line);
    std::lock_guard<std::mutex> hold(mutex);
    inbox.problem = opened.ok() ? QString() : opened.error();
    if (!opened.ok())
        inbox.link = LinkState::Down;
    return opened.ok();
}

void Session::event(qint64, const HostEvent &event)
{
    std::lock_guard<std::mutex> hold(mutex);
    inbox.events.append(event);
}

void Session::linkChanged(qint64, const ExchangeStats &stats)
{
    std::lock_guard<std::mutex> hold(mutex);
    inbox.link = stats.link;
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

void Session::exchanged(const ExchangeRecord &record, const ExchangeStats &stats)
{
    std::lock_guard<std::mutex> hold(mutex);
    inbox.exchanges = before.exchanges + stats.exchanges;
    inbox.accepted = before.accepted + stats.accepted;
    inbox.rejected = before.rejected + stats.rejected();
    inbox.dropped = before.dropped + stats.dropped;
    inbox.startups = before.startups + stats.startups;
    inbox.link = stats.link;
    if (record.cyclic && record.result == 1 && inbox.reads.size() < inboxReadLimit)
        inbox.reads.append({record.family, record.address, record.count,
                            QDateTime::currentMSecsSinceEpoch()});
}

} // namespace monitor
