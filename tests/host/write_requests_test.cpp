// SetRegisterData and AddListWriteVar: the image-only mode, queued writes
// one per element, and the 1024 cap.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

int setData(const char *family, int address, QByteArray data, int count, int station = 0)
{
    QString name = QString::fromLatin1(family);
    return SetRegisterData(name, address, station, data, count);
}

struct Sent {
    std::string command;
    QByteArray data;
    int count, requestId, requestGroup, operation, station;
};

std::vector<Sent> drainWrites()
{
    std::vector<Sent> sent;
    for (int i = 0; i < 2048; ++i) {
        SendFrame *frame = ComCommunication();
        if (!frame && !(frame = ComCommunication()))
            break;
        const VarItem &r = frame->request;
        sent.push_back({frame->command.trimmed().toStdString(), r.data, r.count, r.requestId,
                        r.requestGroup, r.operation, r.station});
        QByteArray ok("OK\r\n");
        DataCom(ok);
    }
    return sent;
}

TEST(WriteRequests, ImageOnlyUnlessWriteModeIsTwo)
{
    Host host(1, 3, 0); // the values land in the image: see the image tests
    EXPECT_EQ(setData("DM", 10, QByteArray(6, '\x01'), 3), 1);
    EXPECT_EQ(setData("TV", 10, QByteArray(2, '\x01'), 1), 1); // no family, still 1
    EXPECT_EQ(ComCommunication(), nullptr);
}

TEST(WriteRequests, QueuesOneWritePerElementWithItsOwnBytes)
{
    Host host;
    host.info.defaultStation = 6;
    host.info.protocolParam = 9;
    EXPECT_EQ(setData("DM", 10, QByteArray("\x01\x00\x02\x00\x03\x00", 6), 3, 4), 3);
    EXPECT_EQ(image("DM", 10, 1), QByteArray(2, '\0')); // not before it is sent
    const std::vector<Sent> sent = drainWrites();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].command, "WR DM0010 00001");
    EXPECT_EQ(sent[1].command, "WR DM0011 00002");
    EXPECT_EQ(sent[2].command, "WR DM0012 00003");
    EXPECT_EQ(sent[1].data, QByteArray("\x02\x00", 2));
    for (const Sent &s : sent) {
        EXPECT_EQ(s.count, 1);
        EXPECT_EQ(s.requestId, 0);
        EXPECT_EQ(s.requestGroup, -1);
        EXPECT_EQ(s.operation, 1);
        EXPECT_EQ(s.station, 6);
    }
    EXPECT_EQ(word("DM", 12), 3);
}

TEST(WriteRequests, ShortDataIsPaddedWithZeros)
{
    Host host;
    EXPECT_EQ(setData("DM", 0, QByteArray("\x05\x00\x07", 3), 2), 2);
    EXPECT_EQ(setData("RLY", 175, QByteArray("\x01", 1), 2), 4);
    const std::vector<Sent> sent = drainWrites();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1].data, QByteArray("\x07\x00", 2));
    EXPECT_EQ(sent[2].command, "ST 01015");
    EXPECT_EQ(sent[3].command, "RS 01100"); // channel 10 bit 15 carries into channel 11
    EXPECT_EQ(sent[3].data, QByteArray(1, '\0'));
}

TEST(WriteRequests, PerRequestStationKeepsTheCallersStation)
{
    Host host;
    host.info.defaultStation = 6;
    host.info.perRequestStation = 1;
    setData("TM", 1, QByteArray(2, '\0'), 1, 4);
    EXPECT_EQ(drainWrites().at(0).station, 4);
}

TEST(WriteRequests, NothingQueuedForUnknownFamiliesOrEmptyCounts)
{
    Host host;
    EXPECT_EQ(setData("TV", 1, QByteArray(2, '\0'), 1), 0);
    EXPECT_EQ(setData("Dm", 1, QByteArray(2, '\0'), 1), 0);
    EXPECT_EQ(setData("DM", 1, QByteArray(2, '\0'), 0), 0);
    EXPECT_EQ(setData("DM", 1, QByteArray(2, '\0'), -1), 0);
    EXPECT_EQ(ComCommunication(), nullptr);
}

TEST(WriteRequests, WriteListHoldsAtMost1024)
{
    Host host;
    VarItem item = writeRequest("DM", 1, QByteArray(2, '\0'));
    for (int i = 1; i <= 1023; ++i)
        ASSERT_EQ(AddListWriteVar(&item), i);
    EXPECT_EQ(AddListWriteVar(&item), 1024);
    EXPECT_EQ(AddListWriteVar(&item), 1024);
    EXPECT_EQ(setData("DM", 1, QByteArray(2, '\0'), 5), 1024);
    EXPECT_EQ(drainWrites().size(), 1024u);
}

// While the link is down the image shows queued values at once (also for
// elements a full list could not take: see the count ceiling's table).
TEST(WriteRequests, LinkDownStoresIntoTheImageAtOnce)
{
    Host host(1, 0);
    setData("DM", 0, QByteArray(2, '\0'), 1);
    ComCommunication();
    QByteArray empty;
    ASSERT_EQ(DataCom(empty), 41); // the link is now down
    EXPECT_EQ(setData("DM", 20, QByteArray("\x09\x00\x0A\x00", 4), 2), 2);
    EXPECT_EQ(image("DM", 20, 2), QByteArray("\x09\x00\x0A\x00", 4));
}

} // namespace
