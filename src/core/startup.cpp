#include "startup.h"

#include "settings.h"

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
    frame.command = QByteArray::fromRawData(startupCommand, exchangeLength);
    frame.commandLength = exchangeLength;
    frame.replyLength = exchangeLength;
    driver.sendQueue.append(std::move(frame));
    startBatch();
}

bool checkStartupReply(const QByteArray &reply)
{
    if (reply.size() != exchangeLength || reply != QByteArray::fromRawData(startupReply, exchangeLength))
        return false;
    setSetting(&ComInfo::startupPending, 0);
    return true;
}

} // namespace ordelin
