// The host's loop: ComCommunication hands out the frame to send, DataCom
// takes the reply. Both run on the host's communication thread only.
#include "completion.h"
#include "reply_check.h"
#include "settings.h"
#include "startup.h"

#include "protocol/encoders.h"

using namespace ordelin;

namespace {

constexpr int burstLimit = 5; // writes (or once-reads) in a row before a cyclic read

// First match wins: start-up, writes, once-reads, the cyclic read list.
void chooseBatch(Ordelin &d)
{
    if (startupDue()) {
        appendStartupFrame(d);
    } else if (!d.writeList.isEmpty() && d.writeBurst < burstLimit) {
        d.requestKind = WriteKind;
        encodeWrite(d, d.writeList.head());
        ++d.writeBurst;
    } else if (!d.onceReadList.isEmpty() && d.onceReadBurst < burstLimit) {
        d.requestKind = OnceReadKind;
        encodeRead(d, d.onceReadList.head());
        ++d.onceReadBurst;
    } else if (!d.readList.isEmpty()) {
        d.requestKind = CyclicReadKind;
        encodeRead(d, d.readList.head());
        d.writeBurst = 0;
        d.onceReadBurst = 0;
    } else {
        d.writeBurst = 0;
        d.onceReadBurst = 0;
        setSetting(&ComInfo::readCycleDone, 1);
    }
}

int answerStartup(Ordelin &d, const QByteArray &reply)
{
    const bool opened = checkStartupReply(reply);
    d.sendQueue.clear();
    if (opened) {
        d.lastRequest.resultCode = 1;
        return 1;
    }
    setSetting(&ComInfo::startupPending, 1);
    d.lastRequest.resultCode = 201;
    return 0;
}

// Every completed batch advances the read cycle; once more batches have
// completed than the read list holds, every cyclic read has had its turn.
void countCompletedBatch(Ordelin &d)
{
    if (setting(&ComInfo::readCycleDone) != 0)
        return;
    if (++d.readCycleCount > d.readList.size()) {
        d.readCycleCount = 0;
        setSetting(&ComInfo::readCycleDone, 1);
    }
}

int accept(Ordelin &d)
{
    d.linkDown.store(false, std::memory_order_relaxed);
    d.sendQueue.removeHead();
    const int answered = setting(&ComInfo::framesAnswered) + 1;
    setSetting(&ComInfo::framesAnswered, answered);
    QMutexLocker lock(&d.listMutex);
    if (answered < setting(&ComInfo::framesInBatch)) {
        setSetting(&ComInfo::startupPending, 0);
        return 1;
    }
    countCompletedBatch(d);
    setSetting(&ComInfo::startupPending, 0);
    completeBatch(d);
    return 1;
}

// Rejections add up across frames and batches; the one that takes the total
// past retryLimit drops its batch and marks the link down.
int reject(Ordelin &d, int code)
{
    QMutexLocker lock(&d.listMutex);
    d.readCycleCount = 0;
    setSetting(&ComInfo::readCycleDone, 0);
    const int rejections = setting(&ComInfo::retryCount) + 1;
    setSetting(&ComInfo::retryCount, rejections);
    if (rejections <= setting(&ComInfo::retryLimit))
        return 0;
    setSetting(&ComInfo::retryCount, 0);
    d.sendQueue.clear();
    d.linkDown.store(true, std::memory_order_relaxed);
    setSetting(&ComInfo::startupPending, 1);
    completeBatch(d);
    return code;
}

} // namespace

extern "C" {

SendFrame *ComCommunication()
{
    Ordelin &d = driver();
    // A frame in flight is handed out again without a lock or an allocation.
    if (SendFrame *inFlight = d.sendQueue.head())
        return inFlight;
    QMutexLocker lock(&d.listMutex);
    chooseBatch(d);
    return d.sendQueue.head();
}

int DataCom(QByteArray &reply)
{
    Ordelin &d = driver();
    if (startupDue())
        return answerStartup(d, reply);
    const SendFrame *frame = d.sendQueue.head();
    if (!frame)
        return 0; // no frame was handed out: nothing to judge
    const int result = checkReply(d, *frame, reply);
    return result == ReplyAccepted ? accept(d) : reject(d, result);
}

} // extern "C"
