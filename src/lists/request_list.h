// An ordered list of requests held by value, index 0 the head. The poll
// cycle works at both ends only: it encodes the head, then removes it or,
// for the cyclic read list, moves it to the back.
#ifndef ORDELIN_LISTS_REQUEST_LIST_H
#define ORDELIN_LISTS_REQUEST_LIST_H

#include "ordelin/ordelin.h"

#include <deque>
#include <unordered_map>

namespace ordelin {

// The six fields by which two once-reads count as the same request.
struct RequestKey {
    qint32 requestId, requestGroup, station, auxValue, address, count;
    explicit RequestKey(const VarItem &item);
    bool operator==(const RequestKey &other) const;
};

struct RequestKeyHash {
    size_t operator()(const RequestKey &key) const;
};

class RequestList {
public:
    // A keyed list also counts its entries by RequestKey, so that asking
    // whether a request is already waiting costs one hash look-up instead of
    // a scan of up to 1024 entries.
    enum Keying { Unkeyed, Keyed };
    explicit RequestList(Keying keying = Unkeyed) : keyed(keying == Keyed) {}

    int size() const { return static_cast<int>(items.size()); }
    bool isEmpty() const { return items.empty(); }
    const VarItem &head() const { return items.front(); }

    void append(const VarItem &item);
    void removeHead();
    void rotateHead();
    void clear();

    // Whether an entry after the head has the head's requestId and requestGroup.
    bool hasLaterTwinOfHead() const;
    // Whether an entry equal to item by the six key fields is waiting (keyed lists only).
    bool containsKey(const VarItem &item) const;

private:
    std::deque<VarItem> items;
    std::unordered_map<RequestKey, int, RequestKeyHash> keyCounts;
    bool keyed;
};

// A request the driver builds itself (cyclic reads, SetRegisterData's
// writes): requestId 0, requestGroup -1, the protocol settings copied in,
// every other number 0.
VarItem driverRequest(int operation);

// The k-th address of a run from first. Addresses are 32-bit and a run
// may pass INT_MAX, so the sum wraps like the address it is, without UB.
inline qint32 runAddress(qint32 first, qint64 k)
{
    return qint32(quint32(first) + quint32(k));
}

// The splitting rule: a request of count N >= 2 goes in as N single-element
// requests at successive addresses; otherwise once, unchanged. The working
// record ends with the last address and count 1.
template <typename Append>
void appendSplit(VarItem &item, Append append)
{
    const int count = item.count;
    if (count < 2) {
        append(item);
        return;
    }
    const qint32 first = item.address;
    item.count = 1;
    for (int k = 0; k < count; ++k) {
        item.address = runAddress(first, k);
        append(item);
    }
}

} // namespace ordelin

#endif
