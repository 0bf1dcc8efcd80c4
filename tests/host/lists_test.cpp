// The request lists a host fills: once-reads from address texts, writes one
// per element, the cyclic list rebuilt from definitions, their caps, and
// the fields the driver puts into each request.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

// Polls until nothing is left to send (at most limit frames), answered by
// the PLC; per frame "command/addressText/count".
std::vector<std::string> drain(int limit = 64)
{
    sim::PlcMemory memory;
    std::vector<std::string> sent;
    while (int(sent.size()) < limit) {
        SendFrame *frame = ComCommunication();
        if (!frame && !(frame = ComCommunication())) // a pause after five in a row
            break;
        sent.push_back(frame->command.trimmed().toStdString() + "/"
                       + frame->request.addressText.toStdString() + "/" + std::to_string(frame->request.count));
        QByteArray reply = sim::answerCommand(memory, frame->command).reply;
        DataCom(reply);
    }
    return sent;
}

VarItem onceRead(const char *family, const char *text, int count = 1, int requestId = 1)
{
    VarItem item = request(family, -99, 0, requestId, 2);
    item.addressText = QString::fromUtf8(text);
    item.count = count;
    item.station = 5;
    item.reserved1 = 8;
    return item;
}

TEST(OnceRead, AddressComesFromTheText)
{
    const std::tuple<const char *, const char *, int> cases[] = {
        {"RLY", "1005", 165}, {"RLY", "15", 15}, {"RLY", "199", 115}, {"RLY", "00105", 21},
        {"RLY", "x05", 5}, {"RLY", "10xy", 160}, {"RLY", "", 0}, {"DM", "0123", 123}, {"DM", "12a", 0}};
    Host host;
    for (const auto &[family, text, address] : cases) {
        VarItem item = onceRead(family, text, 0);
        AddListOnceReadVar(&item);
        EXPECT_EQ(item.address, address) << text;
    }
}

TEST(OnceRead, RunIsSplitAndTheRecordEndsAtItsLastEntry)
{
    Host host;
    host.info.defaultStation = 3;
    VarItem item = onceRead("DM", "100", 3);
    EXPECT_EQ(AddListOnceReadVar(&item), 3);
    EXPECT_EQ(item.address, 102);
    EXPECT_EQ(item.count, 1);
    EXPECT_EQ(item.reserved1, 0);
    EXPECT_EQ(item.station, 3); // perRequestStation 0: the default station
    EXPECT_EQ(drain(), (std::vector<std::string>{"RD DM0100/100/1", "RD DM0101/100/1", "RD DM0102/100/1"}));
}

// Requestid, group, station, auxValue, address and count decide, not the family.
TEST(OnceRead, WaitingRequestsAreNotQueuedTwice)
{
    Host host;
    host.info.perRequestStation = 1;
    VarItem first = onceRead("DM", "100", 3);
    EXPECT_EQ(AddListOnceReadVar(&first), 3);
    VarItem same = onceRead("DM", "100", 3);
    EXPECT_EQ(AddListOnceReadVar(&same), 3);
    VarItem counter = onceRead("C", "100", 1);
    EXPECT_EQ(AddListOnceReadVar(&counter), 3);
    VarItem otherId = onceRead("DM", "100", 3, 7);
    EXPECT_EQ(AddListOnceReadVar(&otherId), 6);
    VarItem otherStation = onceRead("DM", "100", 1);
    otherStation.station = 6;
    EXPECT_EQ(AddListOnceReadVar(&otherStation), 7);
}

TEST(OnceRead, NegativeAddressQueuesNothingAndTheListHoldsAtMost1024)
{
    Host host;
    VarItem item = onceRead("DM", "-3", 2);
    EXPECT_EQ(AddListOnceReadVar(&item), 0);
    EXPECT_EQ(item.address * 10 + item.reserved1 + item.count, -990 + 8 + 2);
    VarItem wraps = onceRead("RLY", "20000000000"); // channel * 16 passes INT_MAX
    EXPECT_EQ(AddListOnceReadVar(&wraps), 0);
    VarItem run = onceRead("DM", "0", 1023);
    EXPECT_EQ(AddListOnceReadVar(&run), 1023);
    for (const char *text : {"5000", "6000"}) {
        VarItem more = onceRead("DM", text);
        EXPECT_EQ(AddListOnceReadVar(&more), 1024);
    }
}

TEST(WriteRequests, OneWritePerElementWithItsOwnBytesSentInTheImageWhenSent)
{
    Host host;
    host.info.defaultStation = 6;
    EXPECT_EQ(setData("DM", 10, QByteArray("\x01\x00\x02\x00\x03\x00", 6), 3, 4), 3);
    EXPECT_EQ(setData("DM", 20, QByteArray("\x05\x00\x07", 3), 2), 5); // short data: zeros
    EXPECT_EQ(setData("RLY", 175, QByteArray("\x01", 1), 2), 7);
    EXPECT_EQ(image("DM", 10, 1), QByteArray(2, '\0')); // not before it is sent
    const SendFrame *frame = ComCommunication();
    ASSERT_NE(frame, nullptr);
    const VarItem &r = frame->request;
    EXPECT_EQ(std::vector<int>({r.count, r.requestId, r.requestGroup, r.operation, r.station}),
              std::vector<int>({1, 0, -1, 1, 6}));
    EXPECT_EQ(drain(), (std::vector<std::string>{"WR DM0010 00001//1", "WR DM0011 00002//1",
                                                 "WR DM0012 00003//1", "WR DM0020 00005//1",
                                                 "WR DM0021 00007//1", "ST 01015//1",
                                                 "RS 01100//1"}));
    EXPECT_EQ(image("DM", 10, 3), QByteArray("\x01\x00\x02\x00\x03\x00", 6));
}

TEST(WriteRequests, StationWriteModeAndWhatIsRefused)
{
    Host host(1, 3, 0);
    EXPECT_EQ(setData("DM", 10, QByteArray(2, '\x01'), 1), 1); // image only
    EXPECT_EQ(setData("TV", 10, QByteArray(2, '\x01'), 1), 1);
    EXPECT_EQ(ComCommunication(), nullptr);
    host.info.writeMode = 2;
    for (const auto &[family, count] : {std::pair<const char *, int>{"TV", 1}, {"Dm", 1}, {"DM", 0}, {"DM", -1}})
        EXPECT_EQ(setData(family, 1, QByteArray(2, '\0'), count), 0);
    EXPECT_EQ(ComCommunication(), nullptr);
    host.info.perRequestStation = 1;
    setData("TM", 1, QByteArray(2, '\0'), 1, 4);
    ASSERT_NE(ComCommunication(), nullptr);
    EXPECT_EQ(ComCommunication()->request.station, 4);
}

TEST(WriteRequests, WriteListHoldsAtMost1024)
{
    Host host;
    VarItem item = writeRequest("DM", 1, QByteArray(2, '\0'));
    for (int i = 1; i <= 1023; ++i)
        ASSERT_EQ(AddListWriteVar(&item), i);
    EXPECT_EQ(AddListWriteVar(&item), 1024);
    EXPECT_EQ(setData("DM", 1, QByteArray(2, '\0'), 5), 1024);
    EXPECT_EQ(drain(2048).size(), 1024u);
}

// While the link is down the image shows queued values at once; a write
// handed out while it is up stores every element of its request.
TEST(WriteRequests, ImageFollowsTheLink)
{
    Host host(1, 0);
    VarItem item = writeRequest("DM", 10, QByteArray("\x01\x00\x02\x00\x03\x00", 6));
    item.count = 3;
    AddListWriteVar(&item);
    ASSERT_EQ(ComCommunication()->command, QByteArray("WR DM0010 00001\r\n"));
    EXPECT_EQ(image("DM", 10, 3), QByteArray("\x01\x00\x02\x00\x03\x00", 6));
    QByteArray empty;
    ASSERT_EQ(DataCom(empty), 41); // the link is now down
    EXPECT_EQ(setData("DM", 20, QByteArray("\x09\x00\x0A\x00", 4), 2), 2);
    EXPECT_EQ(image("DM", 20, 2), QByteArray("\x09\x00\x0A\x00", 4));
}

TEST(ReadList, GroupsByFamilyInTableOrderAndSortsByAddress)
{
    Host host;
    QList<VarDef> defs{definition("CTH", 1), definition("DM", 5), definition("RLY", 3),
                       definition("CV_c", 1), definition("TV_p", 2), definition("DM", 1),
                       definition("T", 4), definition("C", 4), definition("TM", 0),
                       definition("CV_p", 0), definition("TV_c", 9), definition("Dm", 1), definition("TV", 1)};
    EXPECT_EQ(ReCreatReadVarList(&defs), 11);
    EXPECT_EQ(drain(11), (std::vector<std::string>{"RD 00003//1", "RD T004//1", "RD C004//1", "RD DM0001//1",
                                                   "RD DM0005//1", "RD TM00//1", "RD T009//1", "RD T002//1",
                                                   "RD C001//1", "RD C000//1", "RD CTH1//1"}));
}

// Equal addresses keep the host's first definition, also in lists long
// enough for an unstable sort to reorder them.
TEST(ReadList, RunsAreSplitAndDuplicatesKeepTheFirstInTheHostsOrder)
{
    Host host;
    QList<VarDef> defs{definition("DM", 11, 1, "second"), definition("DM", 10, 3, "run"),
                       definition("T", 4, 1, "4"), definition("T", 4, 1, "004"),
                       definition("RLY", 16 + 14, 4)};
    EXPECT_EQ(ReCreatReadVarList(&defs), 8);
    EXPECT_EQ(drain(8), (std::vector<std::string>{"RD 00114//1", "RD 00115//1", "RD 00200//1",
                                                  "RD 00201//1", "RD T004/4/1", "RD DM0010/run/1",
                                                  "RD DM0011/second/1", "RD DM0012/run/1"}));
    QList<VarDef> many;
    for (int i = 0; i < 64; ++i)
        many.append(definition("TM", 40 - i % 32, 1, i < 32 ? "first" : "later"));
    EXPECT_EQ(ReCreatReadVarList(&many), 32);
    for (const std::string &sent : drain(32))
        EXPECT_NE(sent.find("/first/"), std::string::npos) << sent;
}

TEST(ReadList, RebuildsStartAFreshCycleUnlessEmpty)
{
    Host host;
    host.info.readCycleDone = 1;
    QList<VarDef> unknown{definition("Dm", 1), definition("X", 1)};
    EXPECT_EQ(ReCreatReadVarList(&unknown), 0);
    EXPECT_EQ(host.info.readCycleDone, 0);
    host.info.readCycleDone = 1;
    QList<VarDef> none;
    EXPECT_EQ(ReCreatReadVarList(&none), 0);
    EXPECT_EQ(host.info.readCycleDone, 1);
    EXPECT_EQ(ComCommunication(), nullptr);
}

} // namespace
