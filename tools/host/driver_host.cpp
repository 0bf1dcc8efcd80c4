#include "driver_host.h"

#include <vector>

namespace pollhost {

namespace {

struct Completion {
    int requestId;
    int requestGroup;
    int status;
};

// The callback runs inside DataCom, on the one thread that polls, so the
// list needs no lock. It only records: the driver holds its list lock
// during the call, and queueing the next request from here would deadlock.
std::vector<Completion> &completions()
{
    static std::vector<Completion> reported;
    return reported;
}

void onCompletion(int, int requestId, int requestGroup, int status)
{
    completions().push_back({requestId, requestGroup, status});
}

QString statusText(int status, const char *answered)
{
    return status == 1 ? QLatin1String(answered) : QStringLiteral("dropped after its retries");
}

} // namespace

DriverHost::DriverHost(const DriverApi &api, const HostSettings &settings, QList<Variable> cyclic,
                       QList<WriteRequest> writes, QList<Variable> onceReads)
    : api(api), station(settings.station), cyclic(std::move(cyclic)), writes(std::move(writes)),
      onceReads(std::move(onceReads))
{
    info.defaultStation = settings.station;
    info.retryLimit = settings.retries;
    info.protocolMode = settings.protocolMode;
    info.writeMode = settings.writeMode;
}

void DriverHost::start()
{
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
}

void DriverHost::postWrite(WriteRequest write)
{
    std::lock_guard<std::mutex> hold(postedMutex);
    postedWrites.append(std::move(write));
}

void DriverHost::applyPosted()
{
    std::unique_lock<std::mutex> hold(postedMutex);
    if (!cyclicPosted && postedWrites.isEmpty())
        return;
    const bool newList = cyclicPosted;
    if (newList)
        cyclic.swap(postedCyclic);
    cyclicPosted = false;
    writes += postedWrites;
    postedWrites.clear();
    hold.unlock();
    if (newList)
        rebuildReadList();
    if (!writeInFlight)
        queueNextWrite();
}

bool DriverHost::requestsPending() const
{
    return writeInFlight || nextWrite < writes.size() || onceReadsOutstanding > 0;
}

// Writes go one at a time: the driver calls back only for the last of
// several pending requests that carry the same identifiers, and
// SetRegisterData gives every write the same ones.
void DriverHost::queueNextWrite()
{
    while (nextWrite < writes.size()) {
        const WriteRequest &write = writes[nextWrite];
        QString family = write.target.family;
        QByteArray data = write.data();
        const int queued = api.setRegisterData(family, write.target.address, station, data,
                                               write.values.size());
        if (info.writeMode == 2 && queued > 0) {
            writeInFlight = true;
            return;
        }
        HostEvent event = writeEvent(0);
        event.note = info.writeMode == 2
                       ? QStringLiteral("not queued by the driver")
                       : QStringLiteral("stored in the driver's image only (write mode %1)")
                             .arg(info.writeMode);
        event.status = info.writeMode == 2 ? 0 : 1;
        unreported.append(event);
        ++nextWrite;
    }
    queueOnceReads();
}

void DriverHost::queueOnceReads()
{
    if (onceReadsQueued)
        return;
    onceReadsQueued = true;
    for (int i = 0; i < onceReads.size(); ++i) {
        VarItem item{};
        item.requestGroup = i; // tells the callbacks apart
        item.registerName = onceReads[i].family;
        item.addressText = onceReads[i].addressText;
        item.count = onceReads[i].count;
        item.station = station;
        if (api.addListOnceReadVar(&item) > 0)
            ++onceReadsOutstanding;
        else
            unreported.append({QStringLiteral("once-read"), onceReads[i].text, 0,
                               QStringLiteral("not queued by the driver"), {}});
    }
}

HostEvent DriverHost::writeEvent(int status) const
{
    const WriteRequest &write = writes[nextWrite];
    return {QStringLiteral("write"), write.text, status, statusText(status, "acknowledged"),
            write.values};
}

// Writes and once-reads are never outstanding at the same time, so a
// completion belongs to the write in flight if there is one.
QList<HostEvent> DriverHost::takeEvents()
{
    std::vector<Completion> reported;
    reported.swap(completions());
    for (const Completion &completion : reported) {
        if (writeInFlight) {
            unreported.append(writeEvent(completion.status));
            writeInFlight = false;
            ++nextWrite;
            queueNextWrite();
            continue;
        }
        const int index = completion.requestGroup;
        if (index < 0 || index >= onceReads.size())
            continue; // not one of ours
        --onceReadsOutstanding;
        // After a drop the image still holds older values: show none.
        const QList<int> values = completion.status == 1 ? read(onceReads[index]) : QList<int>();
        unreported.append({QStringLiteral("once-read"), onceReads[index].text, completion.status,
                           statusText(completion.status, "answered"), values});
    }
    QList<HostEvent> events;
    events.swap(unreported);
    return events;
}

QList<int> DriverHost::read(const Variable &variable) const
{
    return readImage(api, variable, station);
}

QList<QList<int>> DriverHost::values() const
{
    QList<QList<int>> all;
    for (const Variable &variable : cyclic)
        all << read(variable);
    return all;
}

} // namespace pollhost
