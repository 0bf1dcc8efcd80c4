#include "startup.h"

#include "settings.h"

#include <cstring>

namespace ordelin {

namespace {
constexpr char startupCommand[] = {'C', 'R', '\r', '\n'};
constexpr char startupReply[] = {'C', 'C', '\r', '\n'};
constexpr int exchangeLength = 4;
} // namespace

bool startupDue()
{
    return setting(&ComInfo::startupPending) == 1 && setting(&ComInfo::protocolMode) == 0;
}

void appendStartupFrame(Ordelin &driver)
{
    SendFrame frame{};
    // A copy the frame owns, NUL-terminated like every command: a host may
    // keep it, or read it as a C string, after the library is unloaded.
    frame.command = QByteArray(startupCommand, exchangeLength);
    frame.commandLength = exchangeLength;
    frame.replyLength = exchangeLength;
    driver.sendQueue.append(std::move(frame));
    startBatch();
}

bool checkStartupReply(const QByteArray &reply)
{
    if (reply.size() != exchangeLength
        || std::memcmp(reply.constData(), startupReply, exchangeLength) != 0)
        return false;
    setSetting(&ComInfo::startupPending, 0);
    return true;
}

} // namespace ordelin
