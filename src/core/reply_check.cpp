#include "reply_check.h"

#include "driver.h"
#include "image/reply_decoder.h"

namespace ordelin {

namespace {

constexpr int readOperation = 0;
constexpr int writeOperation = 1;

int kindOffset(const VarItem &request)
{
    return request.requestId >= 0 && request.requestId <= 11 ? request.requestId : 0;
}

bool isAcknowledgement(const QByteArray &reply)
{
    if (reply.size() < 4)
        return false;
    const bool ok = reply[0] == 'O' && reply[1] == 'K';
    const bool noError = reply[0] == 'E' && reply[1] == '0';
    return (ok || noError) && reply[2] == '\r' && reply[3] == '\n';
}

bool endsInLineEnd(const QByteArray &reply)
{
    const qsizetype length = reply.size();
    return length >= 2 && reply.at(length - 2) == '\r' && reply.at(length - 1) == '\n';
}

} // namespace

int checkReply(Ordelin &driver, const SendFrame &frame, const QByteArray &reply)
{
    const int offset = kindOffset(frame.request);
    // Qt 6 byte arrays may pass 2 GiB: an int would judge such a reply by
    // the low bits of its length.
    const qsizetype length = reply.size();
    // Length first: a well-formed reply with extra bytes is a wrong length.
    if (length == 0 && frame.replyLength != 0)
        return EmptyReply + offset;
    if (length != 0 && frame.replyLength != length && frame.replyLength != -1)
        return WrongLength + offset;

    switch (frame.request.operation) {
    case writeOperation:
        return isAcknowledgement(reply) ? int(ReplyAccepted) : ContentRejected + offset;
    case readOperation:
        if (!endsInLineEnd(reply))
            return ContentRejected + offset;
        {
            QMutexLocker lock(&driver.imageMutex);
            decodeReply(driver, frame, reply);
        }
        return ReplyAccepted;
    default:
        return ContentRejected + offset;
    }
}

} // namespace ordelin
