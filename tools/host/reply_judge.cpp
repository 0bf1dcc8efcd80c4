#include "reply_judge.h"

namespace pollhost {

namespace {

// Where the first CR LF begins, or -1. Asked after every read of a reply:
// a reply is a few bytes, looked at here without leaving the host.
int lineEnd(const QByteArray &received)
{
    const char *bytes = received.constData();
    const int size = int(received.size());
    for (int i = 0; i + 1 < size; ++i) {
        if (bytes[i] == '\r' && bytes[i + 1] == '\n')
            return i;
    }
    return -1;
}

} // namespace

int replyEnd(const QByteArray &received, int replyLength)
{
    const int end = lineEnd(received);
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
