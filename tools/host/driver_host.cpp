#include "driver_host.h"

#include "common/families.h"

#include <algorithm>

namespace pollhost {

namespace {

// The driver is one object per loaded library, so one host at a time
// listens to its callback.
DriverHost *attached = nullptr;

// The requests' identifiers start above 11: reply verification adds a
// requestId from 0 to 11 to the result codes of a rejected reply.
const int firstRequestId = 100;

PendingRequest pending(const char *kind, const QString &text, const Variable &variable,
                       const QList<int> &values = {})
{
    PendingRequest request;
    request.kind = QLatin1String(kind);
    request.text = text;
    request.variable = variable;
    request.values = values;
    return request;
}

// The callback runs on the communication thread, inside DataCom, with the
// driver's list mutex held: an export that takes that mutex
// (AddListWriteVar, AddListOnceReadVar, ReCreatReadVarList,
// SetRegisterData) refuses a call from there. So it only records; the loop
// takes the completion after DataCom has returned.
void onCompletion(int, int, int requestGroup, int status)
{
    if (attached)
        attached->completed(requestGroup, status);
}

} // namespace

DriverHost::DriverHost(const DriverApi &api, const HostSettings &settings, QList<Variable> cyclic,
                       QList<WriteRequest> writeRequests, QList<Variable> onceReadVariables)
    : api(api), station(settings.station), verifyWrites(settings.verifyWrites), cyclic(std::move(cyclic)),
      nextId(firstRequestId)
{
    info.defaultStation = settings.station;
    info.retryLimit = settings.retries;
    info.protocolMode = settings.protocolMode;
    info.writeMode = settings.writeMode;
    for (const WriteRequest &write : writeRequests)
        post(pending("write", write.text, write.target, write.values));
    for (const Variable &variable : onceReadVariables)
        held.append(pending("once-read", variable.text, variable));
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
    applyPosted();
    takeEvents(); // once-reads with no write before them go in now
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

void DriverHost::postWrite(const WriteRequest &write)
{
    post(pending("write", write.text, write.target, write.values));
}

void DriverHost::postOnceRead(const Variable &variable)
{
    post(pending("once-read", variable.text, variable));
}

void DriverHost::post(PendingRequest request)
{
    std::lock_guard<std::mutex> hold(postedMutex);
    postedRequests.append(std::move(request));
}

// Before every frame.
void DriverHost::applyPosted()
{
    std::unique_lock<std::mutex> hold(postedMutex);
    QList<PendingRequest> requests;
    requests.swap(postedRequests);
    const bool rebuild = cyclicPosted;
    if (rebuild)
        cyclic.swap(postedCyclic);
    cyclicPosted = false;
    hold.unlock();
    if (rebuild)
        rebuildReadList();
    for (PendingRequest &request : requests)
        queue(std::move(request));
}

// On the loop's thread, between two frames: every element of the request
// is in the driver's list before the next frame is chosen, so the callback
// comes once, for its last element.
void DriverHost::queue(PendingRequest request)
{
    request.id = nextId++;
    if (request.isRead())
        request.queued = queueOnceRead(request);
    else if (info.writeMode != 2) {
        // AddListWriteVar always sends; only SetRegisterData keeps to the image.
        QString family = request.variable.family;
        QByteArray data = WriteRequest{request.text, request.variable, request.values}.data();
        api.setRegisterData(family, request.variable.address, station, data, request.values.size());
        HostEvent stored = request.report(0, {});
        stored.complete = true;
        stored.note = QStringLiteral("stored in the driver's image only (write mode %1)").arg(info.writeMode);
        unreported.append(stored);
        return;
    } else
        request.queued = queueWrite(request);
    open.append(std::move(request));
    if (open.last().queued == 0)
        finish(open.size() - 1, 0);
}

// One entry per element. The list's size after each call tells whether the
// element went in: nothing else adds to the list, and the loop that takes
// entries off it is this thread.
int DriverHost::queueWrite(const PendingRequest &write)
{
    const QByteArray data = WriteRequest{write.text, write.variable, write.values}.data();
    const int width = write.variable.isBit() ? 1 : 2;
    int size = writesInDriver();
    int queued = 0;
    for (int k = 0; k < write.values.size(); ++k) {
        VarItem item{};
        item.requestId = item.requestGroup = write.id;
        item.operation = 1;
        item.settingsCopy1 = info.protocolMode;
        item.settingsCopy2 = info.protocolParam;
        item.registerName = write.variable.family;
        item.address = write.variable.address + k;
        item.station = station;
        item.count = 1;
        item.data = data.mid(k * width, width);
        const int after = api.addListWriteVar(&item);
        if (after <= size)
            break; // full: the elements after it would not go in either
        size = after;
        ++queued;
    }
    return queued;
}

// The driver's write list holds the elements of the open writes that no
// judged frame has taken off it yet.
int DriverHost::writesInDriver() const
{
    int size = 0;
    for (const PendingRequest &request : open) {
        if (!request.isRead())
            size += request.queued - request.answered.size() - request.dropped.size();
    }
    return size;
}

// The export returns the size of the once-read list, not what it queued:
// a call with count 0 first tells the size, and the difference after the
// real call is what went in, the first elements in order.
int DriverHost::queueOnceRead(const PendingRequest &once)
{
    VarItem item{};
    item.requestId = item.requestGroup = once.id;
    item.registerName = once.variable.family;
    item.addressText = once.variable.addressText;
    item.station = station;
    VarItem probe = item;
    const int before = api.addListOnceReadVar(&probe);
    item.count = once.variable.count;
    return api.addListOnceReadVar(&item) - before;
}

void DriverHost::completed(int requestGroup, int status)
{
    reported.push_back({requestGroup, status});
}

void DriverHost::sending(const FrameFacts &frame)
{
    onLine = frame;
}

void DriverHost::learn(const FrameFacts &frame, int result)
{
    onLine = {};
    PendingRequest *request = frame.kind == FrameFacts::Write || frame.kind == FrameFacts::OnceRead
                                ? openRequest(frame.requestGroup)
                                : nullptr;
    if (request && result == 1)
        request->answered.insert(frame.address);
    else if (request && result > 1)
        request->dropped.insert(frame.address);
}

PendingRequest *DriverHost::openRequest(int id)
{
    for (PendingRequest &request : open) {
        if (request.id == id)
            return &request;
    }
    return nullptr;
}

// A callback for a request no longer open (given up already) is left alone.
void DriverHost::finishById(int id, int status, const QString &unsent)
{
    for (int i = 0; i < open.size(); ++i) {
        if (open[i].id == id) {
            finish(i, status, unsent);
            return;
        }
    }
}

void DriverHost::finish(int index, int status, const QString &unsent)
{
    const PendingRequest done = open.takeAt(index);
    const bool read = done.isRead() && !done.answered.isEmpty();
    HostEvent event = done.report(status, read ? this->read(done.variable) : QList<int>(), unsent);
    if (done.kind == QLatin1String("verify"))
        event = readBack(done, event);
    unreported.append(event);
    // --verify: a write the PLC acknowledged is read back with a once-read of its own.
    if (verifyWrites && done.kind == QLatin1String("write") && event.complete) {
        Variable written = done.variable;
        written.count = done.values.size();
        queue(pending("verify", done.text, written, done.values));
    }
}

// A write's read-back, against what was written.
HostEvent DriverHost::readBack(const PendingRequest &verify, HostEvent event) const
{
    if (!event.complete)
        return event;
    QStringList differ;
    for (int k = 0; k < verify.values.size(); ++k) {
        if (event.values.value(k) != verify.values[k])
            differ << QStringLiteral("%1 is %2, not %3")
                          .arg(verify.variable.label(k)).arg(event.values.value(k)).arg(verify.values[k]);
    }
    event.complete = differ.isEmpty();
    event.note = differ.isEmpty() ? QStringLiteral("read back as written")
                                  : QStringLiteral("read back different: ") + differ.join(QStringLiteral(", "));
    return event;
}

QList<HostEvent> DriverHost::takeEvents()
{
    std::vector<Completion> taken;
    taken.swap(reported);
    for (const Completion &completion : taken)
        finishById(completion.requestGroup, completion.status);
    const bool writing = std::any_of(open.begin(), open.end(), [](const PendingRequest &r) { return !r.isRead(); });
    if (!writing && !held.isEmpty()) {
        QList<PendingRequest> reads;
        reads.swap(held);
        for (PendingRequest &read : reads)
            queue(std::move(read));
    }
    QList<HostEvent> events;
    events.swap(unreported);
    return events;
}

// Gives up every write and once-read not completed yet. What the driver
// still holds is dropped without anything sent, so that none goes out
// later, maybe to another PLC: with no read list and no start-up exchange
// it hands out the writes and once-reads one by one, and an empty reply with
// no retry left drops each, through the same completion step as on the
// line. A null frame ends only a burst of five: two in a row say the lists
// are empty (or hold a request that makes no frame). Each list holds at
// most 1,024 entries.
void DriverHost::abandonPending(const QString &why)
{
    if (!open.isEmpty()) {
        if (PendingRequest *request = onLine.kind == FrameFacts::Startup ? nullptr : openRequest(onLine.requestGroup))
            request->unknown.insert(onLine.address);
        onLine = {};
        const ComInfo kept = info;
        info.protocolMode = 1;
        info.retryLimit = 0;
        QList<VarDef> none;
        api.reCreatReadVarList(&none);
        for (int frames = 0, nulls = 0; nulls < 2 && frames < 4 * 1024; ++frames) {
            if (!api.comCommunication()) {
                ++nulls;
                continue;
            }
            nulls = 0;
            QByteArray noReply;
            api.dataCom(noReply);
        }
        info.protocolMode = kept.protocolMode;
        info.retryLimit = kept.retryLimit;
        rebuildReadList();
        std::vector<Completion> taken;
        taken.swap(reported);
        for (const Completion &completion : taken)
            finishById(completion.requestGroup, completion.status, why);
    }
    for (PendingRequest &request : held) {
        request.queued = request.variable.count; // none was refused
        open.append(request);
    }
    held.clear();
    while (!open.isEmpty())
        finish(0, 0, why);
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

} // namespace pollhost
