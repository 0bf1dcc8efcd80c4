// Writes: AddListWriteVar queues one ready request; SetRegisterData either
// stores values into the image alone or queues one write per element.
#include "core/count_ceiling.h"
#include "core/settings.h"

using namespace ordelin;

namespace {

constexpr int writeListCapacity = 1024;
constexpr int queueWrites = 2; // writeMode that sends to the PLC

int appendWrite(const VarItem *item)
{
    Ordelin &d = driver();
    QMutexLocker lock(&d.listMutex);
    if (item && d.writeList.size() < writeListCapacity)
        d.writeList.append(*item);
    return d.writeList.size();
}

// The bytes of element i: one per bit, two per word, 0 where data runs out.
QByteArray elementBytes(const QByteArray &data, qint64 index, bool isBit)
{
    const int width = isBit ? 1 : 2;
    QByteArray bytes(width, '\0');
    for (int b = 0; b < width; ++b) {
        const qint64 at = index * width + b;
        if (at < data.size())
            bytes[b] = data[int(at)];
    }
    return bytes;
}

VarItem writeTemplate(const QString &registerName, int station)
{
    VarItem item = driverRequest(1);
    item.registerName = registerName;
    item.station = setting(&ComInfo::perRequestStation) != 0 ? station
                                                             : setting(&ComInfo::defaultStation);
    return item;
}

// One write per element. An element that finds the list full is skipped
// and the call goes on with the next; while the link is down every element
// is stored into the image at once, queued or not.
int queueElements(VarItem &work, const FamilyInfo &info, int address, int count,
                  const QByteArray &data)
{
    Ordelin &d = driver();
    int size = 0;
    for (int i = 0; i < count; ++i) {
        work.address = runAddress(address, i);
        work.count = 1;
        work.data = elementBytes(data, i, info.isBit);
        size = appendWrite(&work);
        if (d.linkDown.load(std::memory_order_relaxed))
            storeImage(d, work.registerName, work.address, 1, work.data);
    }
    return size;
}

} // namespace

extern "C" {

int AddListWriteVar(VarItem *item)
{
    // Refused inside the completion callback, whose thread holds the list
    // mutex: the list stays as it is, as when it is full, and so does the
    // result. The size is read safely, by the mutex's holder.
    if (inCompletionCallback())
        return driver().writeList.size();
    return appendWrite(item);
}

int SetRegisterData(QString &registerName, int address, int station, QByteArray &data, int count)
{
    VarItem work = writeTemplate(registerName, station);
    if (setting(&ComInfo::writeMode) != queueWrites) {
        storeImage(driver(), registerName, address, count, data);
        return 1;
    }
    // Queuing takes the list mutex, which the completion callback's thread
    // already holds: refused there, with nothing queued.
    const FamilyInfo *info = findFamily(registerName);
    if (!info || count < 1 || inCompletionCallback())
        return 0;
    return queueElements(work, *info, address, boundedCount(count), data);
}

} // extern "C"
