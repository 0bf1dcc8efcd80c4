#include "reply_judge.h"

namespace pollhost {

int replyEnd(const QByteArray &received, int replyLength)
{
    const int end = received.indexOf("\r\n");
    if (end >= 0 && (replyLength <= 0 || end + 2 <= replyLength))
        return end + 2;
    if (replyLength > 0 && received.size() >= replyLength)
        return replyLength;
    return -1;
}

QString rejectionCause(const QByteArray &reply, int replyLength)
{
    if (reply.isEmpty())
        return QStringLiteral("no reply");
    if (reply.size() == 4 && reply[0] == 'E' && reply[1] >= '0' && reply[1] <= '9' && reply.endsWith("\r\n"))
        return QStringLiteral("error reply");
    if (reply.size() != replyLength)
        return QStringLiteral("bad length");
    return QStringLiteral("bad form");
}

} // namespace pollhost
