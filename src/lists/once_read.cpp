// AddListOnceReadVar: read a variable once, ahead of the cyclic list.
#include "core/count_ceiling.h"
#include "core/settings.h"

using namespace ordelin;

namespace {

constexpr int onceReadCapacity = 1024;

// QString::toInt in base 10; a part it cannot read counts as 0.
qint32 decimal(const QString &text)
{
    return text.toInt(nullptr, 10);
}

// Relay texts are channel digits followed by two bit digits. The bit is
// not held to 15 here: "199" is channel 1, bit 99.
qint32 addressFromText(const QString &registerName, const QString &text)
{
    if (registerName == QLatin1String("RLY") && text.size() > 2) {
        const qint64 channel = decimal(text.left(text.size() - 2));
        const qint64 bit = decimal(text.right(2));
        return qint32(quint32(quint64(channel * 16 + bit)));
    }
    return decimal(text);
}

} // namespace

extern "C" int AddListOnceReadVar(VarItem *item)
{
    // Refused inside the completion callback, whose thread holds the list
    // mutex: 0, and the record is left as it was.
    if (!item || inCompletionCallback())
        return 0;
    const qint32 first = addressFromText(item->registerName, item->addressText);
    if (first < 0)
        return 0;
    item->reserved1 = 0;
    item->reserved2 = 0;
    if (setting(&ComInfo::perRequestStation) == 0)
        item->station = setting(&ComInfo::defaultStation);
    item->address = first;

    Ordelin &d = driver();
    QMutexLocker lock(&d.listMutex);
    const int count = boundedCount(item->count);
    if (count < 1)
        return d.onceReadList.size();
    item->count = 1;
    for (int k = 0; k < count; ++k) {
        // Once the list is full nothing more can be queued by this call.
        if (d.onceReadList.size() >= onceReadCapacity)
            break;
        item->address = runAddress(first, k);
        if (!d.onceReadList.containsKey(*item))
            d.onceReadList.append(*item);
    }
    // The caller's record ends as the last entry considered.
    item->address = runAddress(first, count - 1);
    return d.onceReadList.size();
}
