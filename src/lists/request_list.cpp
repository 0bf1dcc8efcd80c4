#include "request_list.h"

#include "core/settings.h"

#include <QtCore/QHashFunctions>

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace ordelin {

RequestKey::RequestKey(const VarItem &item)
    : requestId(item.requestId), requestGroup(item.requestGroup), station(item.station),
      auxValue(item.auxValue), address(item.address), count(item.count)
{
}

bool RequestKey::operator==(const RequestKey &other) const
{
    return requestId == other.requestId && requestGroup == other.requestGroup
        && station == other.station && auxValue == other.auxValue
        && address == other.address && count == other.count;
}

size_t RequestKeyHash::operator()(const RequestKey &key) const
{
    const qint32 fields[] = {key.requestId, key.requestGroup, key.station,
                             key.auxValue, key.address, key.count};
    return qHashRange(std::begin(fields), std::end(fields));
}

VarItem driverRequest(int operation)
{
    VarItem item{};
    item.requestGroup = -1;
    item.operation = operation;
    item.settingsCopy1 = setting(&ComInfo::protocolMode);
    item.settingsCopy2 = setting(&ComInfo::protocolParam);
    return item;
}

// The back of a list that has turned is just before its head.
void RequestList::append(const VarItem &item)
{
    if (turned == 0)
        items.push_back(item);
    else
        items.insert(items.begin() + std::ptrdiff_t(turned++), item);
    if (keyed)
        ++keyCounts[RequestKey(item)];
}

void RequestList::removeHead()
{
    if (keyed) {
        auto found = keyCounts.find(RequestKey(head()));
        if (found != keyCounts.end() && --found->second == 0)
            keyCounts.erase(found);
    }
    if (turned == 0) {
        items.pop_front(); // the write and once-read lists, which never turn
        return;
    }
    items.erase(items.begin() + std::ptrdiff_t(turned));
    if (turned == items.size())
        turned = 0;
}

void RequestList::rotateHead()
{
    if (++turned >= items.size())
        turned = 0;
}

void RequestList::clear()
{
    items.clear();
    keyCounts.clear();
    turned = 0;
}

bool RequestList::hasLaterTwinOfHead() const
{
    const VarItem &first = head();
    const auto isTwin = [&first](const VarItem &later) {
        return later.requestId == first.requestId && later.requestGroup == first.requestGroup;
    };
    // From after the head to the back: up to the end, then from the start.
    const auto headAt = items.begin() + std::ptrdiff_t(turned);
    return std::any_of(headAt + 1, items.end(), isTwin) || std::any_of(items.begin(), headAt, isTwin);
}

bool RequestList::containsKey(const VarItem &item) const
{
    return keyCounts.count(RequestKey(item)) != 0;
}

} // namespace ordelin
