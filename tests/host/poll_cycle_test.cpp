// The host's loop: batch choice, retries and drops, completion.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

const QByteArray ok("OK\r\n");
const QByteArray dmValue("00001\r\n");

void queueWrites(int n, int firstAddress = 0)
{
    for (int i = 0; i < n; ++i) {
        VarItem item = writeRequest("DM", firstAddress + i, QByteArray(2, '\0'), i, 0);
        AddListWriteVar(&item);
    }
}

void queueOnceReads(int n)
{
    for (int i = 0; i < n; ++i) {
        VarItem item = request("TM", 0, 0, 100 + i);
        item.addressText = QString::number(i);
        AddListOnceReadVar(&item);
    }
}

// Answers every frame with an accepted reply and returns the first letters
// of the commands sent ("W" write, "T" once-read of TM, "D" cyclic DM read,
// "-" no frame).
std::string runTurns(int turns)
{
    std::string order;
    for (int i = 0; i < turns; ++i) {
        SendFrame *frame = ComCommunication();
        if (!frame) {
            order += '-';
            continue;
        }
        order += frame->command.startsWith("WR") ? 'W' : frame->command.startsWith("RD TM") ? 'T' : 'D';
        QByteArray reply = frame->command.startsWith("WR") ? ok : dmValue;
        EXPECT_EQ(DataCom(reply), 1);
    }
    return order;
}

TEST(PollCycle, NothingToDoMarksTheReadCycleDone)
{
    Host host;
    EXPECT_EQ(ComCommunication(), nullptr);
    EXPECT_EQ(host.info.readCycleDone, 1);
}

TEST(PollCycle, FiveWritesInARowThenAPause)
{
    Host host;
    queueWrites(10);
    EXPECT_EQ(runTurns(12), "WWWWW-WWWWW-");
}

TEST(PollCycle, FiveWritesFiveOnceReadsOneCyclicRead)
{
    Host host;
    queueWrites(12);
    queueOnceReads(12);
    VarItem cyclic = request("DM", 1);
    AddListReadVar(&cyclic);
    EXPECT_EQ(runTurns(24), "WWWWWTTTTTDWWWWWTTTTTDWW");
}

TEST(PollCycle, RetriesUpToTheLimitThenDropWithTheCode)
{
    Host host(1, 3);
    queueWrites(1);
    host.info.hostTag = 77;
    completions().clear();
    QByteArray bad("E1\r\n");
    SendFrame *frame = ComCommunication();
    std::vector<int> results;
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(ComCommunication(), frame);
        results.push_back(DataCom(bad));
    }
    EXPECT_EQ(results, (std::vector<int>{0, 0, 0, 11}));
    EXPECT_EQ(host.info.retryCount, 0);
    EXPECT_EQ(host.info.startupPending, 1);
    EXPECT_EQ(completions(), (std::vector<Completion>{{77, 0, 0, 2}}));
    EXPECT_EQ(ComCommunication(), nullptr); // the dropped write is gone
}

TEST(PollCycle, RejectionsAccumulateAcrossBatches)
{
    Host host(1, 2);
    queueWrites(3);
    QByteArray bad("E1\r\n");
    QByteArray good = ok;
    ComCommunication();
    EXPECT_EQ(DataCom(bad), 0);
    EXPECT_EQ(DataCom(good), 1);
    ComCommunication();
    EXPECT_EQ(DataCom(bad), 0);
    EXPECT_EQ(DataCom(good), 1);
    EXPECT_EQ(host.info.retryCount, 2); // accepted replies do not reset it
    ComCommunication();
    EXPECT_EQ(DataCom(bad), 13); // the third write carries requestId 2
}

TEST(PollCycle, DroppedLinkReportsStatusTwoUntilAReplyIsAccepted)
{
    Host host(1, 0);
    completions().clear();
    queueWrites(2);
    QByteArray empty;
    ComCommunication();
    EXPECT_EQ(DataCom(empty), 41);
    ComCommunication();
    QByteArray good = ok;
    EXPECT_EQ(DataCom(good), 1);
    EXPECT_EQ(completions(), (std::vector<Completion>{{0, 0, 0, 2}, {0, 1, 0, 1}}));
}

TEST(PollCycle, DroppedCyclicReadMovesToTheEnd)
{
    Host host(1, 0);
    for (int address : {1, 2}) {
        VarItem item = request("DM", address);
        AddListReadVar(&item);
    }
    QByteArray empty;
    EXPECT_EQ(command(ComCommunication()), bytes("RD DM0001\r\n"));
    EXPECT_EQ(DataCom(empty), 41);
    EXPECT_EQ(command(ComCommunication()), bytes("RD DM0002\r\n"));
}

TEST(PollCycle, OneCallbackForRequestsSharingIdAndGroup)
{
    Host host;
    completions().clear();
    for (int i = 0; i < 2; ++i) {
        VarItem item = writeRequest("DM", i, QByteArray(2, '\0'), 4, 9);
        AddListWriteVar(&item);
    }
    runTurns(1);
    EXPECT_TRUE(completions().empty());
    runTurns(1);
    EXPECT_EQ(completions(), (std::vector<Completion>{{0, 4, 9, 1}}));
}

TEST(PollCycle, CallbackReadsHostTagAtCallTime)
{
    Host host;
    RegistCallBackFuncIntf(&recordCompletion, 5);
    completions().clear();
    queueWrites(1);
    host.info.hostTag = 31;
    runTurns(1);
    ASSERT_EQ(completions().size(), 1u);
    EXPECT_EQ(completions()[0].hostTag, 31);
}

TEST(PollCycle, ReadCycleDoneAfterMoreBatchesThanReads)
{
    Host host;
    for (int address : {1, 2, 3}) {
        VarItem item = request("DM", address);
        AddListReadVar(&item);
    }
    runTurns(3);
    EXPECT_EQ(host.info.readCycleDone, 0);
    runTurns(1);
    EXPECT_EQ(host.info.readCycleDone, 1);
    QByteArray bad;
    ComCommunication();
    DataCom(bad);
    EXPECT_EQ(host.info.readCycleDone, 0);
}

TEST(PollCycle, StartupOpensTheLinkBeforeAnyRequest)
{
    Host host(0);
    queueWrites(1);
    SendFrame *frame = ComCommunication();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, QByteArray("\x43\x52\x0D\x0A", 4));
    EXPECT_EQ(frame->commandLength, 4);
    EXPECT_EQ(frame->replyLength, 4);
    EXPECT_EQ(frame->valueOffset + frame->valueWidth + frame->request.operation, 0);
    EXPECT_TRUE(frame->request.registerName.isEmpty());
    QByteArray cc("CC\r\n");
    EXPECT_EQ(DataCom(cc), 1);
    EXPECT_EQ(host.info.startupPending, 0);
    EXPECT_EQ(command(ComCommunication()), bytes("WR DM0000 00000\r\n"));
}

TEST(PollCycle, RefusedStartupRepliesRepeatWithoutCountingRetries)
{
    Host host(0, 0);
    completions().clear();
    queueWrites(1);
    for (const char *reply : {"CC\r\nX", "CC\r", "cc\r\n", "", "OK\r\n"}) {
        ASSERT_EQ(command(ComCommunication()), bytes("CR\r\n"));
        QByteArray answer(reply);
        EXPECT_EQ(DataCom(answer), 0) << reply;
        EXPECT_EQ(host.info.retryCount, 0);
        EXPECT_EQ(host.info.startupPending, 1);
    }
    EXPECT_TRUE(completions().empty());
}

TEST(PollCycle, DropMakesTheStartupDueAgain)
{
    Host host(0, 0);
    queueWrites(2);
    ComCommunication();
    QByteArray cc("CC\r\n");
    DataCom(cc);
    ComCommunication();
    QByteArray empty;
    EXPECT_EQ(DataCom(empty), 41);
    EXPECT_EQ(command(ComCommunication()), bytes("CR\r\n"));
}

TEST(PollCycle, SetComInfoDuringABatchRestartsTheLink)
{
    Host host(0);
    queueWrites(1);
    QByteArray cc("CC\r\n");
    ComCommunication();
    DataCom(cc);
    ASSERT_EQ(command(ComCommunication()), bytes("WR DM0000 00000\r\n"));
    SetComInfo(&host.info);
    QByteArray answer = ok;
    EXPECT_EQ(DataCom(answer), 0); // judged as a start-up reply
    EXPECT_EQ(command(ComCommunication()), bytes("CR\r\n"));
    DataCom(cc);
    EXPECT_EQ(command(ComCommunication()), bytes("WR DM0000 00000\r\n"));
}

TEST(PollCycle, WithoutStartupModePendingClearsOnFirstAcceptedReply)
{
    Host host(1);
    EXPECT_EQ(host.info.startupPending, 1);
    queueWrites(1);
    EXPECT_EQ(runTurns(1), "W");
    EXPECT_EQ(host.info.startupPending, 0);
}

TEST(PollCycle, UnencodableHeadBlocksItsListButBurstsStillAdvance)
{
    Host host;
    VarItem bad = writeRequest("TV", 1, QByteArray(2, '\0'));
    AddListWriteVar(&bad);
    VarItem cyclic = request("DM", 1);
    AddListReadVar(&cyclic);
    EXPECT_EQ(runTurns(7), "-----D-");
}

} // namespace
