// The host's loop as scripted steps: what ComCommunication hands out, the
// reply given to DataCom, its result, the completions it reports and the
// settings words it leaves. Covers start-up, bursts, retries, drops,
// callbacks and the read-cycle flag.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

const char *const plc = "(the PLC's answer)";
const char *const resetSettings = "(SetComInfo again)";
const char *const noCall = "(no ComCommunication)";

struct Step {
    const char *sent;  // the command's start; "" for no frame
    const char *reply; // nullptr: DataCom is not called
    int result = 0;
    std::vector<Completion> callbacks = {};
    int readCycleDone = -1, startupPending = -1, retryCount = -1; // -1: not checked
    bool checkCallbacks = true;
};

struct Scenario {
    const char *name;
    int protocolMode, retryLimit;
    void (*setup)(ComInfo &);
    std::vector<Step> steps;
};
void PrintTo(const Scenario &, std::ostream *) {} // the test names say it all

// "W" a write, "T" a once-read of TM, "D" a cyclic read of DM, each
// answered by the PLC; "-" no frame.
std::vector<Step> turns(const char *letters)
{
    std::vector<Step> steps;
    for (const char *c = letters; *c; ++c) {
        steps.push_back(*c == '-' ? Step{"", nullptr} : Step{*c == 'W' ? "WR" : *c == 'T' ? "RD TM" : "RD DM", plc, 1});
        steps.back().checkCallbacks = false;
    }
    return steps;
}

void writes(int n, int group = 0)
{
    for (int i = 0; i < n; ++i) {
        VarItem item = writeRequest("DM", i, QByteArray(2, '\0'), group ? 4 : i, group);
        AddListWriteVar(&item);
    }
}

void reads(std::initializer_list<int> addresses)
{
    for (int address : addresses) {
        VarItem item = request("DM", address);
        AddListReadVar(&item);
    }
}

// Inside the callback the driver holds its list lock: the exports that take
// it give the result of a failed call and change no list; AddListReadVar
// extends the cyclic list.
void callBackIntoTheLists(int hostTag, int requestId, int requestGroup, int status)
{
    recordCompletion(hostTag, requestId, requestGroup, status);
    if (requestId != 1)
        return;
    VarItem read = request("DM", 50);
    EXPECT_EQ(AddListReadVar(&read), 2);
    VarItem write = writeRequest("DM", 51, QByteArray(2, '\0'), 3);
    EXPECT_EQ(AddListWriteVar(&write), 2); // the size as it stands: this write and the next
    VarItem once = request("DM", 52, 0, 4);
    once.station = 9;
    EXPECT_EQ(AddListOnceReadVar(&once), 0);
    EXPECT_EQ(once.station, 9); // the record untouched
    QList<VarDef> definitions{definition("DM", 60)};
    EXPECT_EQ(ReCreatReadVarList(&definitions), 0);
    EXPECT_EQ(setData("DM", 53, QByteArray(2, '\0'), 1), 0);
}

// A read added while the read list has turned goes to its back, after the
// read that was polled last.
void addReadAfterTheSixthWrite(int hostTag, int requestId, int requestGroup, int status)
{
    recordCompletion(hostTag, requestId, requestGroup, status);
    if (requestId == 5)
        reads({9});
}

const Scenario scenarios[] = {
    {"NothingToDoMarksTheCycleDone", 1, 3, [](ComInfo &) {}, {{"", nullptr, 0, {}, 1}}},
    {"ReplyWithoutAFrameChangesNothing", 1, 0, [](ComInfo &) {},
     {{noCall, "OK\r\n", 0, {}, -1, 1, 0}}},
    {"FiveWritesInARowThenAPause", 1, 3, [](ComInfo &) { writes(10); }, turns("WWWWW-WWWWW-")},
    {"FiveWritesFiveOnceReadsOneCyclicRead", 1, 3,
     [](ComInfo &) {
         writes(12);
         for (int i = 0; i < 12; ++i) {
             VarItem item = request("TM", i, 0, 100 + i);
             AddListOnceReadVar(&item);
         }
         reads({1});
     },
     turns("WWWWWTTTTTDWWWWWTTTTTDWW")},
    {"RetriesUpToTheLimitThenDrop", 1, 3, [](ComInfo &info) { writes(1); info.hostTag = 77; },
     {{"WR", "E1\r\n", 0, {}, -1, -1, 1}, {"WR", "E1\r\n", 0}, {"WR", "E1\r\n", 0},
      {"WR", "E1\r\n", 11, {{77, 0, 0, 2}}, 0, 1, 0}, {"", nullptr}}},
    {"RejectionsAddUpAcrossBatches", 1, 2, [](ComInfo &) { writes(3); },
     {{"WR DM0000", "E1\r\n", 0}, {"WR DM0000", plc, 1, {{0, 0, 0, 1}}}, {"WR DM0001", "E1\r\n", 0},
      {"WR DM0001", plc, 1, {{0, 1, 0, 1}}, -1, -1, 2}, {"WR DM0002", "E1\r\n", 13, {{0, 2, 0, 2}}}}},
    {"DroppedLinkReportsStatusTwoUntilAnAcceptedReply", 1, 0, [](ComInfo &) { writes(2); },
     {{"WR", "", 41, {{0, 0, 0, 2}}}, {"WR", plc, 1, {{0, 1, 0, 1}}}}},
    {"DroppedCyclicReadMovesToTheEnd", 1, 0, [](ComInfo &) { reads({1, 2}); },
     {{"RD DM0001", "", 41}, {"RD DM0002", plc, 1}, {"RD DM0001", plc, 1}}},
    {"ReadAddedToATurnedListGoesToItsBack", 1, 3,
     [](ComInfo &) {
         RegistCallBackFuncIntf(&addReadAfterTheSixthWrite, 0);
         reads({1, 2, 3});
         writes(6);
     },
     [] {
         std::vector<Step> steps = turns("WWWWWDW");
         for (const char *read : {"RD DM0002", "RD DM0003", "RD DM0001", "RD DM0009", "RD DM0002"})
             steps.push_back({read, plc, 1});
         return steps;
     }()},
    {"OneCallbackForRequestsSharingIdAndGroup", 1, 3, [](ComInfo &) { writes(2, 9); },
     {{"WR", plc, 1, {}}, {"WR", plc, 1, {{0, 4, 9, 1}}}}},
    {"OnceReadRunReportsWhenItsLastEntryIsAnswered", 1, 3,
     [](ComInfo &) {
         VarItem item = request("TM", 10, 0, 4, 2);
         item.count = 3;
         AddListOnceReadVar(&item);
     },
     {{"RD TM10", plc, 1, {}}, {"RD TM11", plc, 1, {}}, {"RD TM12", plc, 1, {{0, 4, 2, 1}}}}},
    {"ReadCycleDoneAfterMoreBatchesThanReads", 1, 3, [](ComInfo &) { reads({1, 2, 3}); },
     {{"RD DM0001", plc, 1, {}, 0}, {"RD DM0002", plc, 1, {}, 0}, {"RD DM0003", plc, 1, {}, 0},
      {"RD DM0001", plc, 1, {}, 1}, {"RD DM0002", "", 0, {}, 0}}},
    {"StartupOpensTheLinkFirst", 0, 3, [](ComInfo &) { writes(1); },
     {{noCall, nullptr, 0, {}, -1, 1}, {"CR\r\n", "CC\r\n", 1, {}, -1, 0}, {"WR DM0000 00000\r\n", plc, 1, {{0, 0, 0, 1}}}}},
    {"RefusedStartupRepliesRepeatWithoutRetries", 0, 0, [](ComInfo &) { writes(1); },
     {{"CR\r\n", "CC\r\nX", 0, {}, -1, 1, 0}, {"CR\r\n", "CC\r", 0, {}, -1, 1, 0},
      {"CR\r\n", "cc\r\n", 0, {}, -1, 1, 0}, {"CR\r\n", "", 0, {}, -1, 1, 0},
      {"CR\r\n", "OK\r\n", 0, {}, -1, 1, 0}, {"CR\r\n", "CC\r\n", 1, {}, -1, 0}}},
    {"DropMakesTheStartupDueAgain", 0, 0, [](ComInfo &) { writes(2); },
     {{"CR\r\n", "CC\r\n", 1}, {"WR", "", 41, {{0, 0, 0, 2}}, -1, 1}, {"CR\r\n", "CC\r\n", 1}, {"WR", plc, 1, {{0, 1, 0, 1}}}}},
    {"SetComInfoDuringABatchRestartsTheLink", 0, 3, [](ComInfo &) { writes(1); },
     {{"CR\r\n", "CC\r\n", 1}, {"WR DM0000", nullptr}, {resetSettings, "OK\r\n", 0},
      {"CR\r\n", "CC\r\n", 1}, {"WR DM0000", plc, 1, {{0, 0, 0, 1}}}}},
    {"WithoutStartupPendingClearsOnTheFirstAcceptedReply", 1, 3, [](ComInfo &) { writes(1); },
     {{noCall, nullptr, 0, {}, -1, 1}, {"WR", plc, 1, {{0, 0, 0, 1}}, -1, 0}}},
    {"UnencodableHeadBlocksItsListButBurstsAdvance", 1, 3,
     [](ComInfo &) {
         VarItem bad = writeRequest("TV", 1, QByteArray(2, '\0'));
         AddListWriteVar(&bad);
         reads({1});
     },
     turns("-----D-")},
    {"CallbackIsRefusedTheLockingExportsButMayAddCyclicReads", 1, 3,
     [](ComInfo &) {
         RegistCallBackFuncIntf(&callBackIntoTheLists, 0);
         reads({7});
         writes(3);
     },
     {{"WR DM0000", plc, 1, {{0, 0, 0, 1}}}, {"WR DM0001", plc, 1, {{0, 1, 0, 1}}},
      {"WR DM0002", plc, 1, {{0, 2, 0, 1}}}, {"RD DM0007", plc, 1}, {"RD DM0050", plc, 1},
      {"RD DM0007", plc, 1}}},
};

class PollCycle : public ::testing::TestWithParam<Scenario> {};

TEST_P(PollCycle, StepsGoAsScripted)
{
    const Scenario &s = GetParam();
    Host host(s.protocolMode, s.retryLimit);
    s.setup(host.info);
    sim::PlcMemory memory;
    for (size_t i = 0; i < s.steps.size(); ++i) {
        const Step &step = s.steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        completions().clear();
        if (step.sent == resetSettings)
            SetComInfo(&host.info);
        const SendFrame *frame = step.sent == noCall || step.sent == resetSettings ? nullptr : ComCommunication();
        if (step.sent != noCall && step.sent != resetSettings) {
            EXPECT_EQ(frame != nullptr, *step.sent != '\0');
            EXPECT_TRUE(!frame || frame->command.startsWith(step.sent)) << frame->command.constData();
        }
        if (step.reply) {
            QByteArray reply = step.reply != plc ? QByteArray(step.reply)
                             : frame ? sim::answerCommand(memory, frame->command).reply : QByteArray();
            EXPECT_EQ(DataCom(reply), step.result);
        }
        if (step.checkCallbacks) {
            EXPECT_EQ(completions(), step.callbacks);
        }
        const int words[][2] = {{host.info.readCycleDone, step.readCycleDone},
                                {host.info.startupPending, step.startupPending},
                                {host.info.retryCount, step.retryCount}};
        for (const auto &[word, expected] : words)
            EXPECT_TRUE(expected < 0 || word == expected) << word << " instead of " << expected;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PollCycle, ::testing::ValuesIn(scenarios),
                         [](const auto &info) { return std::string(info.param.name); });

// Exports that need the settings record act as if every word were 0 before
// the host registers it.
TEST(PollCycleWithoutSettings, ExportsActOnZeroSettings)
{
    VarItem write = writeRequest("DM", 1, QByteArray("\x05\x00", 2));
    EXPECT_EQ(AddListWriteVar(&write), 1);
    EXPECT_EQ(setData("DM", 3, QByteArray("\x07\x00", 2), 1), 1); // writeMode 0: image only
    EXPECT_EQ(word("DM", 3), 7);
    const SendFrame *frame = ComCommunication(); // protocolMode 0, yet no start-up due
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, QByteArray("WR DM0001 00005\r\n"));
    QByteArray ok("OK\r\n");
    EXPECT_EQ(DataCom(ok), 1);
}

} // namespace
