#include "request_list.h"

#include "core/settings.h"

#include <QtCore/QHashFunctions>

#include <algorithm>
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

void RequestList::append(const VarItem &item)
{
    items.push_back(item);
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
    items.pop_front();
}

void RequestList::rotateHead()
{
    items.push_back(std::move(items.front()));
    items.pop_front();
}

void RequestList::clear()
{
    items.clear();
    keyCounts.clear();
}

bool RequestList::hasLaterTwinOfHead() const
{
    const VarItem &first = head();
    return std::any_of(items.begin() + 1, items.end(), [&first](const VarItem &later) {
        return later.requestId == first.requestId && later.requestGroup == first.requestGroup;
    });
}

bool RequestList::containsKey(const VarItem &item) const
{
    return keyCounts.count(RequestKey(item)) != 0;
}

} // namespace ordelin
