// Read commands go on the wire byte for byte, with the reply each expects.
#include "support/host.h"

#include <gtest/gtest.h>

#include <climits>

using namespace testhost;

namespace {

struct ReadCase {
    const char *family;
    int address;
    const char *command;
    int replyLength, valueOffset, valueWidth;
};

const ReadCase readCases[] = {
    {"RLY", 0, "RD 00000\r\n", 3, 0, 1},
    {"RLY", 165, "RD 01005\r\n", 3, 0, 1},
    {"RLY", 999 * 16 + 15, "RD 99915\r\n", 3, 0, 1},
    {"RLY", 16000, "RD A0000\r\n", 3, 0, 1},
    {"T", 5, "RD T005\r\n", 15, 0, 1},
    {"T", 1000, "RD TA00\r\n", 15, 0, 1},
    {"C", 42, "RD C042\r\n", 15, 0, 1},
    {"DM", 100, "RD DM0100\r\n", 7, 0, 5},
    {"DM", 10000, "RD DMA000\r\n", 7, 0, 5},
    {"TM", 7, "RD TM07\r\n", 7, 0, 5},
    {"TM", 100, "RD TMA0\r\n", 7, 0, 5},
    {"TV_c", 12, "RD T012\r\n", 15, 2, 5},
    {"TV_p", 12, "RD T012\r\n", 15, 8, 5},
    {"CV_c", 3, "RD C003\r\n", 15, 2, 5},
    {"CV_p", 999, "RD C999\r\n", 15, 8, 5},
    {"CTH", 1, "RD CTH1\r\n", 15, 2, 5},
    {"CTH", 12, "RD CTH2\r\n", 15, 2, 5},
    // Past "Z" the leading digit goes on as v + 55, kept to its low eight bits.
    {"DM", 35999, "RD DMZ999\r\n", 7, 0, 5},
    {"DM", 36000, "RD DM[000\r\n", 7, 0, 5},
    {"DM", 200999, "RD DM\xFF" "999\r\n", 7, 0, 5},
    {"DM", INT_MAX, "RD DM\xD2" "647\r\n", 7, 0, 5},
    {"TM", 360, "RD TM[0\r\n", 7, 0, 5},
    {"T", 3600, "RD T[00\r\n", 15, 0, 1},
    {"RLY", 3600 * 16, "RD [0000\r\n", 3, 0, 1},
};

class ReadFrames : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadFrames, CommandAndReplyShapeAreExact)
{
    const ReadCase &c = GetParam();
    Host host;
    host.info.framesInBatch = 7;
    host.info.framesAnswered = 7;
    VarItem item = request(c.family, c.address, 0, 3, 4);
    item.count = 5; // a count above 1 still reads one element
    AddListReadVar(&item);

    const SendFrame *frame = ComCommunication();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, bytes(c.command));
    EXPECT_EQ(frame->commandLength, frame->command.size());
    EXPECT_EQ(frame->replyLength, c.replyLength);
    EXPECT_EQ(frame->valueOffset, c.valueOffset);
    EXPECT_EQ(frame->valueWidth, c.valueWidth);
    EXPECT_EQ(frame->request.registerName, item.registerName);
    EXPECT_EQ(frame->request.requestId, 3);
    EXPECT_EQ(frame->request.requestGroup, 4);
    EXPECT_EQ(frame->request.count, 5);
    EXPECT_EQ(frame->spare1 | frame->spare2 | frame->spare3, 0);
    EXPECT_EQ(host.info.framesInBatch, 1);
    EXPECT_EQ(host.info.framesAnswered, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, ReadFrames, ::testing::ValuesIn(readCases),
                         [](const ::testing::TestParamInfo<ReadCase> &info) {
                             return std::string(info.param.family) + "_" + std::to_string(info.index);
                         });

// Names outside the table, wrong case and negative addresses produce no
// frame and leave ComInfo alone.
TEST(ReadFrames, UnencodableRequestsSendNothing)
{
    const std::pair<const char *, int> unencodable[] = {
        {"dm", 1}, {"X", 1}, {"TV", 1}, {"DM", -1}, {"RLY", -16}, {"DM", INT_MIN}};
    for (const auto &[family, address] : unencodable) {
        Host host;
        host.info.framesInBatch = 9;
        host.info.framesAnswered = 8;
        VarItem item = request(family, address);
        ReCreatReadVarList(nullptr);
        AddListReadVar(&item);
        EXPECT_EQ(ComCommunication(), nullptr) << family << " " << address;
        EXPECT_EQ(host.info.framesInBatch, 9);
        EXPECT_EQ(host.info.framesAnswered, 8);
    }
}

} // namespace
