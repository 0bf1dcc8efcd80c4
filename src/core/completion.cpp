#include "completion.h"

#include "settings.h"

#include <QtCore/QThread>

namespace ordelin {

namespace {

constexpr int answeredStatus = 1;
constexpr int droppedStatus = 2;

// Requests of one call share requestId and requestGroup, so the host hears
// of the call once, when the last of them leaves the list.
void finishHead(Ordelin &d, RequestList &list)
{
    if (list.isEmpty())
        return;
    if (!list.hasLaterTwinOfHead()) {
        const VarItem &head = list.head();
        const int requestId = head.requestId;
        const int requestGroup = head.requestGroup;
        const int status = d.linkDown.load(std::memory_order_relaxed) ? droppedStatus : answeredStatus;
        if (CompletionCallback callback = d.completionCallback.load(std::memory_order_acquire)) {
            d.callbackThread.store(QThread::currentThreadId(), std::memory_order_relaxed);
            callback(setting(&ComInfo::hostTag), requestId, requestGroup, status);
            d.callbackThread.store(nullptr, std::memory_order_relaxed);
        }
    }
    // Copied whole and moved in: the strings' counts then change in inline
    // code, where assigning would call into QtCore for each string, and
    // where ThreadSanitizer sees the count that a host thread's copy of
    // the request last touched.
    d.lastRequest = VarItem(list.head());
    list.removeHead();
}

} // namespace

void completeBatch(Ordelin &d)
{
    switch (d.requestKind) {
    case WriteKind:
        finishHead(d, d.writeList);
        break;
    case OnceReadKind:
        finishHead(d, d.onceReadList);
        break;
    case CyclicReadKind:
        if (!d.readList.isEmpty())
            d.readList.rotateHead();
        break;
    default:
        break;
    }
}

} // namespace ordelin
