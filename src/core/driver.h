// The one driver object of the library. It lives in static storage from
// load to unload, and every export works on it.
#ifndef ORDELIN_CORE_DRIVER_H
#define ORDELIN_CORE_DRIVER_H

#include "ordelin/ordelin.h"
#include "image/register_image.h"
#include "lists/request_list.h"
#include "protocol/send_queue.h"

#include <QtCore/QMutex>

#include <atomic>

// Which list the batch in flight serves.
enum RequestKind : qint32 {
    CyclicReadKind = 0,
    WriteKind = 1,
    OnceReadKind = 2,
    NoKind = 100,
};

// A record no operation uses; kept so the object holds what hosts expect.
struct SpareRecord {
    qint32 first;
    QString text;
    qint32 second;
    QByteArray bytes;
};

class Ordelin {
public:
    ORDELIN_EXPORT Ordelin();

    // Stored for the host, never consulted.
    qint32 hostRegisters[3];
    // The host's settings record; null until SetComInfo. Atomic because the
    // host's threads read it while the communication thread runs.
    std::atomic<ComInfo *> comInfo;

    ordelin::RequestList readList;
    ordelin::RequestList writeList;
    ordelin::RequestList onceReadList{ordelin::RequestList::Keyed};
    ordelin::RequestList spareList;
    ordelin::SendQueue sendQueue;
    QList<SpareRecord> spareRecordList;

    QBasicMutex listMutex;
    // Guards the register image. Non-recursive; never held while the list
    // mutex is taken, so the two cannot deadlock.
    QMutex imageMutex;

    VarItem lastRequest;
    qint32 requestKind;
    qint32 writeBurst;
    qint32 onceReadBurst;
    qint32 readCycleCount;
    // Read by SetRegisterData on the host's threads without a lock.
    std::atomic<bool> linkDown;

    std::atomic<CompletionCallback> completionCallback;
    qint32 callbackContext;

    ordelin::RegisterImage image;
};

namespace ordelin {

Ordelin &driver();

// Takes the list mutex unless this thread already holds it, which happens
// only when the completion callback, run under the mutex, calls a list
// export. The header forbids that; this is a safety net, so that a host
// that does it anyway gets no deadlock on the non-recursive mutex.
class ListLock {
public:
    explicit ListLock(Ordelin &driver);
    ~ListLock();
    ListLock(const ListLock &) = delete;
    ListLock &operator=(const ListLock &) = delete;

private:
    QBasicMutex *taken;
};

} // namespace ordelin

#endif
