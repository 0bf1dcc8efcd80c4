#include "driver_host.h"

#include "common/families.h"

namespace pollhost {

namespace {

// The driver is one object per loaded library, so one host at a time
// listens to its callback.
DriverHost *attached = nullptr;

// The callback runs on the communication thread, inside DataCom, with the
// driver's list mutex held: an export that takes that mutex
// (AddListWriteVar, AddListOnceReadVar, ReCreatReadVarList,
// SetRegisterData) refuses a call from there. So it only records; the loop
// queues the next request after DataCom has returned.
void onCompletion(int, int, int requestGroup, int status)
{
    if (attached)
        attached->completed(requestGroup, status);
}

} // namespace

DriverHost::DriverHost(const DriverApi &api, const HostSettings &settings, QList<Variable> cyclic,
                       QList<WriteRequest> writeRequests, QList<Variable> onceReadVariables)
    : api(api), station(settings.station), cyclic(std::move(cyclic))
{
    info.defaultStation = settings.station;
    info.retryLimit = settings.retries;
    info.protocolMode = settings.protocolMode;
    info.writeMode = settings.writeMode;
    for (const WriteRequest &write : writeRequests)
        writes.append({QStringLiteral("write"), write.text, write.target, write.values, 0, {}});
    for (const Variable &variable : onceReadVariables)
        onceReads.append({QStringLiteral("once-read"), variable.text, variable, {}, 0, {}});
}

DriverHost::~DriverHost()
{
    if (attached == this)
        attached = nullptr;
}

void DriverHost::start()
{
    attached = this;
    api.setComInfo(&info);
    api.registCallBackFuncIntf(&onCompletion, 0);
    api.flashLocalRegister(0, 0, 0);
    rebuildReadList();
    queueNextWrite();
}

void DriverHost::rebuildReadList()
{
    QList<VarDef> definitions;
    for (const Variable &variable : cyclic) {
        VarDef definition{};
        definition.addressText = variable.addressText;
        definition.registerName = variable.family;
        definition.count = variable.count;
        definition.address = variable.address;
        definitions.append(definition);
    }
    readListSize = api.reCreatReadVarList(&definitions);
}

void DriverHost::postCyclic(QList<Variable> variables)
{
    std::lock_guard<std::mutex> hold(postedMutex);
    postedCyclic = std::move(variables);
    cyclicPosted = true;
    anythingPosted = true;
}

// Before every frame: the flag spares the lock when nothing was posted,
// and a plain load of it a locked exchange.
void DriverHost::applyPosted()
{
    if (!anythingPosted.load(std::memory_order_relaxed) || !anythingPosted.exchange(false))
        return;
    std::unique_lock<std::mutex> hold(postedMutex);
    if (!cyclicPosted)
        return; // taken with an earlier flag
    cyclic.swap(postedCyclic);
    cyclicPosted = false;
    hold.unlock();
    rebuildReadList();
}

bool DriverHost::requestsPending() const
{
    return writeInFlight || nextWrite < writes.size() || !onceReadsOutstanding.isEmpty()
        || (!onceReadsQueued && !onceReads.isEmpty());
}

void DriverHost::completed(int requestGroup, int status)
{
    reported.push_back({requestGroup, status});
}

void DriverHost::learn(const FrameFacts &frame, int result, qint64 nowMs)
{
    const bool accepted = result == 1;
    // Once-reads refresh the image like cyclic reads; a write puts its value
    // into the image when it is encoded, which its acknowledgement confirms.
    if (frame.kind != FrameFacts::Startup)
        freshness.readAttempt(frame.family, frame.address, accepted, nowMs);
    if (accepted && (frame.kind == FrameFacts::Write || frame.kind == FrameFacts::OnceRead))
        answered(frame);
    if (result > 1)
        freshness.linkDown();
}

// A front end that queues requests of its own learns per element from here.
void DriverHost::answered(const FrameFacts &frame)
{
    const int index = frame.requestGroup;
    if (frame.kind == FrameFacts::Write && writeInFlight)
        writes[nextWrite].answered.insert(frame.address);
    else if (frame.kind == FrameFacts::OnceRead && onceReadsOutstanding.contains(index))
        onceReads[index].answered.insert(frame.address);
    else
        otherAnswered[index].insert(frame.address);
}

// Writes go one at a time: the driver calls back only for the last of
// several pending requests that carry the same identifiers, and
// SetRegisterData gives every write the same ones. The write list is empty
// before each call, so its size after the call is what was queued.
void DriverHost::queueNextWrite()
{
    while (nextWrite < writes.size()) {
        PendingRequest &write = writes[nextWrite];
        QString family = write.variable.family;
        QByteArray data = WriteRequest{write.text, write.variable, write.values}.data();
        const int result = api.setRegisterData(family, write.variable.address, station, data,
                                               write.values.size());
        if (info.writeMode == 2 && result > 0) {
            write.queued = qMin(result, write.values.size());
            writeInFlight = true;
            return;
        }
        HostEvent done = event(write, 0);
        done.complete = info.writeMode != 2;
        done.note = done.complete
                      ? QStringLiteral("stored in the driver's image only (write mode %1)").arg(info.writeMode)
                      : QStringLiteral("not queued by the driver");
        unreported.append(done);
        ++nextWrite;
    }
    queueOnceReads();
}

// The export returns the size of the once-read list, not what it queued:
// a call with count 0 first tells the size, and the difference after the
// real call is what went in. Both calls happen on the loop's thread, which
// alone takes entries off the list, so nothing changes the size between.
void DriverHost::queueOnceReads()
{
    if (onceReadsQueued)
        return;
    onceReadsQueued = true;
    for (int i = 0; i < onceReads.size(); ++i) {
        PendingRequest &once = onceReads[i];
        VarItem item{};
        item.requestGroup = i; // tells the callbacks apart
        item.registerName = once.variable.family;
        item.addressText = once.variable.addressText;
        item.station = station;
        VarItem probe = item;
        const int before = api.addListOnceReadVar(&probe);
        item.count = once.variable.count;
        once.queued = api.addListOnceReadVar(&item) - before;
        if (once.queued > 0) {
            onceReadsOutstanding.insert(i);
            continue;
        }
        HostEvent refused = event(once, 0);
        refused.note = QStringLiteral("not queued: the driver's once-read list is full");
        unreported.append(refused);
    }
}

HostEvent DriverHost::event(const PendingRequest &request, int status) const
{
    return request.report(status, request.isRead() && status > 0 ? read(request.variable) : QList<int>());
}

QList<HostEvent> DriverHost::takeEvents()
{
    if (reported.empty() && unreported.isEmpty()) // after nearly every exchange
        return {};
    std::vector<Completion> taken;
    taken.swap(reported);
    for (const Completion &completion : taken) {
        // Writes and once-reads are never outstanding at the same time.
        if (writeInFlight) {
            unreported.append(event(writes[nextWrite], completion.status));
            writeInFlight = false;
            ++nextWrite;
            queueNextWrite();
            continue;
        }
        if (!onceReadsOutstanding.remove(completion.requestGroup)) {
            otherCompletions.append({completion.requestGroup, completion.status,
                                     otherAnswered.take(completion.requestGroup)});
            continue;
        }
        unreported.append(event(onceReads[completion.requestGroup], completion.status));
    }
    QList<HostEvent> events;
    events.swap(unreported);
    return events;
}

QList<OwnCompletion> DriverHost::takeOtherCompletions()
{
    if (otherCompletions.isEmpty()) // after nearly every exchange
        return {};
    QList<OwnCompletion> taken;
    taken.swap(otherCompletions);
    return taken;
}

// With no read list and no start-up exchange, the driver hands out the
// writes and once-reads one by one; an empty reply with no retry left drops
// each, through the same completion step as on the line. The lists hold at
// most 1,024 entries each, and a request that gives no frame ends the drain.
QList<OwnCompletion> DriverHost::dropQueued()
{
    const ComInfo kept = info;
    info.protocolMode = 1;
    info.retryLimit = 0;
    QList<VarDef> none;
    api.reCreatReadVarList(&none);
    readListSize = 0;
    for (int frames = 0; frames < 4096 && api.comCommunication(); ++frames) {
        QByteArray noReply;
        api.dataCom(noReply);
    }
    info.protocolMode = kept.protocolMode;
    info.retryLimit = kept.retryLimit;
    unreported = takeEvents(); // this host's own, for whoever asks next
    QList<OwnCompletion> dropped = takeOtherCompletions();
    for (OwnCompletion &completion : dropped)
        completion.sent = false;
    return dropped;
}

void DriverHost::abandonPending(const QString &why)
{
    auto giveUp = [&](const PendingRequest &request) {
        HostEvent given = event(request, 0);
        given.note = why;
        given.values.clear();
        unreported.append(given);
    };
    for (; nextWrite < writes.size(); ++nextWrite)
        giveUp(writes[nextWrite]);
    writeInFlight = false;
    for (int i = 0; i < onceReads.size(); ++i) {
        if (onceReadsOutstanding.remove(i) || !onceReadsQueued)
            giveUp(onceReads[i]);
    }
    onceReadsQueued = true;
}

QList<int> DriverHost::read(const Variable &variable) const
{
    return readImage(api, variable, station);
}

QList<int> readImage(const DriverApi &api, const Variable &variable, int station)
{
    QByteArray data;
    api.getRegisterData(variable.family, variable.address, station, data, variable.count);
    const int width = variable.isBit() ? 1 : 2;
    QList<int> values;
    // A library that returns fewer bytes than asked leaves the rest unread.
    for (int i = 0; i < variable.count; ++i) {
        if (data.size() < (i + 1) * width)
            values << notRead;
        else if (width == 1)
            values << (quint8(data.at(i)) & 1);
        else
            values << (quint8(data.at(2 * i)) | quint8(data.at(2 * i + 1)) << 8);
    }
    return values;
}

QList<QList<int>> DriverHost::values() const
{
    QList<QList<int>> all;
    for (const Variable &variable : cyclic)
        all << read(variable);
    return all;
}

QList<QVector<ElementState>> DriverHost::states() const
{
    QList<QVector<ElementState>> all;
    for (const Variable &variable : cyclic) {
        QVector<ElementState> row;
        row.reserve(variable.count);
        for (int k = 0; k < variable.count; ++k)
            row << freshness.of(variable.family, variable.address + k);
        all << row;
    }
    return all;
}

} // namespace pollhost
