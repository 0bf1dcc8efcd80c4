#include "window_requests.h"

namespace monitor {

namespace {

using namespace pollhost;

// Far from the cyclic reads' -1 and from the indexes the poll front end uses.
const int firstReadGroup = 1 << 20;

} // namespace

void WindowRequests::connected(int stationNumber, int mode)
{
    station = stationNumber;
    writeMode = mode;
    open = true;
    writeInDriver.reset();
    readInDriver.reset();
}

QList<HostEvent> WindowRequests::write(const QString &label, const Variable &target,
                                       const QList<int> &values)
{
    waiting.append({QStringLiteral("write"), label, target, values, 0, {}});
    return sendNext();
}

QList<HostEvent> WindowRequests::readOnce(const Variable &variable)
{
    waiting.append({QStringLiteral("once-read"), variable.text, variable, {}, 0, {}});
    return sendNext();
}

QList<HostEvent> WindowRequests::completed(const OwnCompletion &completion)
{
    std::optional<PendingRequest> *slot = nullptr;
    if (completion.requestGroup == -1 && writeInDriver)
        slot = &writeInDriver;
    else if (completion.requestGroup == readGroup && readInDriver)
        slot = &readInDriver;
    if (!slot)
        return sendNext();
    PendingRequest done = **slot;
    slot->reset();
    done.answered = completion.answered;
    const bool read = done.isRead();
    HostEvent event = done.report(completion.sent ? completion.status : 0,
                                  read ? readImage(api, done.variable, station) : QList<int>());
    if (!completion.sent)
        event.note = QStringLiteral("not sent: disconnected first");
    return QList<HostEvent>{event} + sendNext();
}

QList<HostEvent> WindowRequests::abandon()
{
    open = false;
    QList<HostEvent> given;
    for (const PendingRequest &request : waiting) {
        HostEvent event = request.report(0, {});
        event.note = QStringLiteral("not sent: disconnected first");
        given << event;
    }
    waiting.clear();
    return given;
}

// The first waiting write goes when no write of the window is in the
// driver, the first waiting once-read likewise.
QList<HostEvent> WindowRequests::sendNext()
{
    QList<HostEvent> known;
    if (!open)
        return abandon();
    for (bool moved = true; moved;) {
        moved = false;
        for (int i = 0; i < waiting.size(); ++i) {
            const bool read = waiting[i].isRead();
            if (read ? bool(readInDriver) : bool(writeInDriver))
                continue;
            PendingRequest request = waiting.takeAt(i);
            const auto event = read ? queueRead(request) : queueWrite(request);
            if (event)
                known << *event;
            moved = true;
            break;
        }
    }
    return known;
}

std::optional<HostEvent> WindowRequests::queueWrite(PendingRequest &write)
{
    QString family = write.variable.family;
    QByteArray data = WriteRequest{write.text, write.variable, write.values}.data();
    const int result = api.setRegisterData(family, write.variable.address, station, data,
                                           write.values.size());
    if (writeMode == 2 && result > 0) {
        write.queued = qMin(result, write.values.size());
        writeInDriver = write;
        return std::nullopt;
    }
    HostEvent done = write.report(0, {});
    done.complete = writeMode != 2;
    done.note = done.complete
                  ? QStringLiteral("stored in the driver's image only (write mode %1)").arg(writeMode)
                  : QStringLiteral("not queued by the driver");
    return done;
}

std::optional<HostEvent> WindowRequests::queueRead(PendingRequest &read)
{
    VarItem item{};
    item.requestGroup = readGroup = qMax(readGroup + 1, firstReadGroup);
    item.registerName = read.variable.family;
    item.addressText = read.variable.addressText;
    item.station = station;
    item.count = read.variable.count;
    read.queued = qMin(api.addListOnceReadVar(&item), read.variable.count);
    if (read.queued > 0) {
        readInDriver = read;
        return std::nullopt;
    }
    HostEvent refused = read.report(0, {});
    refused.note = QStringLiteral("not queued by the driver");
    return refused;
}

} // namespace monitor
