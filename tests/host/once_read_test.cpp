// AddListOnceReadVar: one-shot reads, ahead of the cyclic list.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

VarItem onceRead(const char *family, const char *text, int count = 1, int requestId = 1)
{
    VarItem item = request(family, -99, 0, requestId, 2);
    item.addressText = QString::fromUtf8(text);
    item.count = count;
    item.station = 5;
    item.reserved1 = 8;
    item.reserved2 = 9;
    return item;
}

// Drains the once-read list, collecting the commands sent.
std::vector<std::string> sentCommands()
{
    std::vector<std::string> commands;
    while (SendFrame *frame = ComCommunication()) {
        commands.push_back(frame->command.trimmed().toStdString());
        QByteArray reply(frame->replyLength, '0');
        reply[reply.size() - 2] = '\r';
        reply[reply.size() - 1] = '\n';
        DataCom(reply);
    }
    return commands;
}

TEST(OnceRead, AddressComesFromTheText)
{
    const std::pair<const char *, int> cases[] = {
        {"1005", 165}, {"15", 15}, {"199", 115}, {"00105", 21}, {"x05", 5}, {"10xy", 160}, {"", 0}};
    for (const auto &[text, address] : cases) {
        Host host;
        VarItem item = onceRead("RLY", text, 0);
        AddListOnceReadVar(&item);
        EXPECT_EQ(item.address, address) << text;
    }
    Host host;
    VarItem dm = onceRead("DM", "0123", 0);
    AddListOnceReadVar(&dm);
    EXPECT_EQ(dm.address, 123);
    VarItem garbage = onceRead("DM", "12a", 0);
    AddListOnceReadVar(&garbage);
    EXPECT_EQ(garbage.address, 0);
}

TEST(OnceRead, RunIsSplitAndTheRecordEndsAtItsLastEntry)
{
    Host host;
    VarItem item = onceRead("DM", "100", 3);
    EXPECT_EQ(AddListOnceReadVar(&item), 3);
    EXPECT_EQ(item.address, 102);
    EXPECT_EQ(item.count, 1);
    EXPECT_EQ(item.reserved1 + item.reserved2, 0);
    EXPECT_EQ(item.station, 0); // perRequestStation 0: the default station
    EXPECT_EQ(sentCommands(), (std::vector<std::string>{"RD DM0100", "RD DM0101", "RD DM0102"}));
}

TEST(OnceRead, WaitingRequestsAreNotQueuedTwice)
{
    Host host;
    VarItem first = onceRead("DM", "100", 3);
    EXPECT_EQ(AddListOnceReadVar(&first), 3);
    VarItem same = onceRead("DM", "100", 3);
    EXPECT_EQ(AddListOnceReadVar(&same), 3);
    VarItem otherId = onceRead("DM", "100", 3, 7);
    EXPECT_EQ(AddListOnceReadVar(&otherId), 6);
    // The six fields decide, not the family.
    VarItem counter = onceRead("C", "100", 1);
    EXPECT_EQ(AddListOnceReadVar(&counter), 6);
}

TEST(OnceRead, StationFollowsPerRequestStation)
{
    Host host;
    host.info.defaultStation = 3;
    host.info.perRequestStation = 1;
    VarItem item = onceRead("DM", "1");
    AddListOnceReadVar(&item);
    EXPECT_EQ(item.station, 5);
    host.info.perRequestStation = 0;
    AddListOnceReadVar(&item);
    EXPECT_EQ(item.station, 3);
}

TEST(OnceRead, NegativeAddressQueuesNothingAndLeavesTheRecord)
{
    Host host;
    VarItem item = onceRead("DM", "-3", 2);
    EXPECT_EQ(AddListOnceReadVar(&item), 0);
    EXPECT_EQ(item.address, -99);
    EXPECT_EQ(item.reserved1, 8);
    EXPECT_EQ(item.count, 2);
    VarItem wraps = onceRead("RLY", "20000000000", 1); // channel * 16 passes INT_MAX
    EXPECT_EQ(AddListOnceReadVar(&wraps), 0);
}

TEST(OnceRead, ListHoldsAtMost1024)
{
    Host host;
    VarItem run = onceRead("DM", "0", 1023);
    EXPECT_EQ(AddListOnceReadVar(&run), 1023);
    VarItem last = onceRead("DM", "5000", 1);
    EXPECT_EQ(AddListOnceReadVar(&last), 1024);
    VarItem more = onceRead("DM", "6000", 1);
    EXPECT_EQ(AddListOnceReadVar(&more), 1024);
}

TEST(OnceRead, OneCallbackPerCallWhenItsLastEntryCompletes)
{
    Host host;
    completions().clear();
    VarItem item = onceRead("TM", "10", 3, 4);
    AddListOnceReadVar(&item);
    sentCommands();
    EXPECT_EQ(completions(), (std::vector<Completion>{{0, 4, 2, 1}}));
}

} // namespace
