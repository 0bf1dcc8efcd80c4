#include "session.h"

#include "host/embedded_sim.h"
#include "host/poll_loop.h"
#include "host/serial_link.h"

#include <QtCore/QDateTime>

namespace monitor {

namespace {

using namespace pollhost;

// How long a port that cannot be opened is left alone before the next try.
const int retryPauseMs = 1000;

} // namespace

tools::Result<std::unique_ptr<Session>> Session::create(const DriverApi &api, const SessionConfig &config,
                                                       QList<Variable> cyclic)
{
    std::unique_ptr<Session> session(new Session(api, config, std::move(cyclic)));
    QString port = config.port;
    if (config.sim) {
        const auto started = startEmbeddedSimulator(sim::SimConfig{});
        if (!started.ok())
            return tools::Result<std::unique_ptr<Session>>::failure(started.error());
        session->simulator = started.value();
        port = session->simulator->portName();
    }
    // The settings record is registered here, before the caller lets go of
    // the previous session: the driver keeps a pointer to the one it was given.
    session->host.start();
    session->loop = new LoopWorker(api, config, port, session->host, session->wake);
    session->loop->moveToThread(&session->thread);
    QObject::connect(&session->thread, &QThread::started, session->loop, &LoopWorker::run);
    QObject::connect(&session->thread, &QThread::finished, session->loop, &QObject::deleteLater);
    return session;
}

Session::Session(const DriverApi &api, const SessionConfig &config, QList<Variable> cyclic)
    : host(api, config.host, std::move(cyclic))
{
    qRegisterMetaType<HostEvent>();
    qRegisterMetaType<Trust>();
    qRegisterMetaType<LineCounts>();
}

Session::~Session()
{
    stop();
    thread.quit();
    thread.wait();
}

LoopWorker::LoopWorker(const DriverApi &api, const SessionConfig &config, const QString &port,
                       DriverHost &host, const tools::WakeUp &wake)
    : api(api), config(config), port(port), host(host), wake(wake)
{
}

// Until the port opens it is tried every second. Then the loop runs until
// Disconnect; a port that fails in use is reopened by the loop itself
// (HostSettings::reconnect), which shows every value stale meanwhile.
void LoopWorker::run()
{
    while (!wake.raised()) {
        SerialLink opened(wake, config.host.guardMs, config.host.protocolMode == 0);
        const auto result = opened.open(port, config.line);
        if (result.ok()) {
            emit problem(told = QString());
            link = &opened;
            PollLoop loop(api, host, opened, *this, config.host, wake);
            loopStartMs = QDateTime::currentMSecsSinceEpoch();
            loop.run();
            link = nullptr;
            break;
        }
        emit problem(told = result.error() + (config.sim ? simulatorLineHint(config.line) : QString()));
        wake.sleepUntil(tools::nowNs() + retryPauseMs * tools::msNs);
    }
    // The loop has given up what the driver held; what the window asked
    // for since, or while the port never opened, goes the same way.
    host.applyPosted();
    host.abandonPending(QStringLiteral("not sent: disconnected first"));
    for (const HostEvent &done : host.takeEvents())
        emit ended(done);
    emit finished();
}

void LoopWorker::show(const PollView &view)
{
    for (int v = 0; v < view.variables->size() && v < view.states.size(); ++v) {
        const Variable &variable = view.variables->at(v);
        for (int k = 0; k < view.states[v].size(); ++k) {
            const ElementState &state = view.states[v][k];
            trust[{variable.family, variable.address + k}] = {
                state.quality, state.readAtMs < 0 ? -1 : loopStartMs + state.readAtMs};
        }
    }
    tell(*view.stats);
}

void LoopWorker::event(qint64, const HostEvent &done)
{
    emit ended(done);
}

void LoopWorker::linkChanged(qint64, const ExchangeStats &stats)
{
    tell(stats);
}

void LoopWorker::trace(const QString &line)
{
    emit traced(line);
}

// The port's failure while the loop tries to reopen it, and the counters.
void LoopWorker::tell(const ExchangeStats &stats)
{
    if (link && link->failure() != told)
        emit problem(told = link->failure());
    emit shown(trust, {stats.exchanges, stats.accepted, stats.rejected(), stats.dropped, stats.startups,
                       stats.link, stats.replyTimeText()});
}

} // namespace monitor
