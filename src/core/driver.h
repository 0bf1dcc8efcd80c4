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

    // Guards the three request lists. Not recursive: the completion
    // callback runs with it held, so the exports that take it refuse a call
    // from inside the callback (see inCompletionCallback).
    QMutex listMutex;
    // Guards the register image. Never held while the list mutex is taken,
    // so the two cannot deadlock.
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
    // The thread running the completion callback; null outside it.
    std::atomic<Qt::HANDLE> callbackThread{nullptr};

    ordelin::RegisterImage image;
};

namespace ordelin {

Ordelin &driver();

// Whether the calling thread is inside the completion callback, where
// DataCom already holds the list mutex. An export that takes that mutex
// checks this first and refuses the call instead of deadlocking.
bool inCompletionCallback();

} // namespace ordelin

#endif
