// Replies are judged by length first, then form; the result code carries
// the request's kind offset.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

// With retryLimit 0 the first rejection drops the batch, so DataCom returns
// the rejection's code itself.
int judge(const VarItem &item, const QByteArray &reply)
{
    Host host(1, 0);
    VarItem copy = item;
    if (item.operation != 0)
        AddListWriteVar(&copy);
    else
        AddListOnceReadVar(&copy);
    // After five writes in a row the cycle pauses once for other lists.
    if (!ComCommunication() && !ComCommunication())
        return -1;
    QByteArray answer = reply;
    return DataCom(answer);
}

VarItem onceRead(const char *family, const char *text, int requestId)
{
    VarItem item = request(family, 0, 0, requestId);
    item.addressText = QString::fromLatin1(text);
    return item;
}

TEST(ReplyCheck, WriteAcknowledgements)
{
    const VarItem write = writeRequest("DM", 1, QByteArray(2, '\0'));
    EXPECT_EQ(judge(write, "OK\r\n"), 1);
    EXPECT_EQ(judge(write, "E0\r\n"), 1);
    EXPECT_EQ(judge(write, "E1\r\n"), 11);
    EXPECT_EQ(judge(write, "ok\r\n"), 11);
    EXPECT_EQ(judge(write, "OK\r\r"), 11);
    EXPECT_EQ(judge(write, "OK\r\nX"), 71);
    EXPECT_EQ(judge(write, "OK\r"), 71);
    EXPECT_EQ(judge(write, ""), 41);
}

TEST(ReplyCheck, ReadRepliesNeedTheirLengthAndLineEnd)
{
    const VarItem dm = onceRead("DM", "100", 0);
    EXPECT_EQ(judge(dm, "00500\r\n"), 1);
    EXPECT_EQ(judge(dm, "00500\r "), 11);
    EXPECT_EQ(judge(dm, "0500\r\n"), 71);
    EXPECT_EQ(judge(dm, ""), 41);
}

TEST(ReplyCheck, KindOffsetIsTheRequestIdFromZeroToEleven)
{
    EXPECT_EQ(judge(onceRead("DM", "1", 5), "x0500\r "), 16);
    EXPECT_EQ(judge(onceRead("DM", "1", 5), ""), 46);
    EXPECT_EQ(judge(onceRead("DM", "1", 5), "1"), 76);
    EXPECT_EQ(judge(onceRead("DM", "1", 11), ""), 52);
    EXPECT_EQ(judge(onceRead("DM", "1", 12), ""), 41);
    EXPECT_EQ(judge(onceRead("DM", "1", -1), "1"), 71);
}

TEST(ReplyCheck, OperationOtherThanReadOrWriteIsAlwaysRejected)
{
    VarItem odd = writeRequest("DM", 1, QByteArray(2, '\0'));
    odd.operation = 7;
    EXPECT_EQ(judge(odd, "OK\r\n"), 11);
}

TEST(ReplyCheck, RejectedReadLeavesTheImageAlone)
{
    Host host(1, 5);
    VarItem item = onceRead("DM", "100", 0);
    AddListOnceReadVar(&item);
    ASSERT_NE(ComCommunication(), nullptr);
    QByteArray bad("00500\r ");
    EXPECT_EQ(DataCom(bad), 0);
    EXPECT_EQ(word("DM", 100), 0);
    QByteArray good("00500\r\n");
    EXPECT_EQ(DataCom(good), 1);
    EXPECT_EQ(image("DM", 100, 1), QByteArray("\xF4\x01", 2));
}

TEST(ReplyCheck, DataComWithoutAFrameInFlightChangesNothing)
{
    Host host(1, 0);
    QByteArray reply("OK\r\n");
    EXPECT_EQ(DataCom(reply), 0);
    EXPECT_EQ(host.info.retryCount, 0);
    EXPECT_EQ(host.info.startupPending, 1);
}

} // namespace
