// Write commands, byte for byte, and the copy of the value into the image.
#include "support/host.h"

#include <gtest/gtest.h>

#include <climits>

using namespace testhost;

namespace {

struct WriteCase {
    const char *family;
    int address;
    QByteArray data;
    const char *command;
};

const WriteCase writeCases[] = {
    {"DM", 100, QByteArray("\x7B\x00", 2), "WR DM0100 00123\r\n"},
    {"DM", 0, QByteArray("\x00\x00", 2), "WR DM0000 00000\r\n"},
    {"DM", 9999, QByteArray("\xFF\xFF", 2), "WR DM9999 65535\r\n"},
    {"TM", 7, QByteArray("\x2A\x00", 2), "WR TM07 00042\r\n"},
    {"TM", 123, QByteArray("\x01\x00", 2), "WR TMC3 00001\r\n"},
    // Past "Z" the leading address digit goes on as v + 55, low eight bits.
    {"DM", 36000, QByteArray("\x01\x00", 2), "WR DM[000 00001\r\n"},
    {"TV_p", 3600, QByteArray("\x01\x00", 2), "WS T[00 00001\r\n"},
    {"RLY", INT_MAX, QByteArray("\x01", 1), "ST \x18" "2715\r"},
    {"TV_c", 12, QByteArray("\xE8\x03", 2), "WR T012 01000\r\n"},
    {"TV_p", 12, QByteArray("\xE8\x03", 2), "WS T012 01000\r\n"},
    {"CV_c", 12, QByteArray("\xE8\x03", 2), "WR C012 01000\r\n"},
    {"CV_p", 12, QByteArray("\xE8\x03", 2), "WS C012 01000\r\n"},
    {"CTH", 1, QByteArray("\x05\x00", 2), "WR CTH1 00005\r\n"},
    {"RLY", 165, QByteArray("\x01", 1), "ST 01005\r"},
    {"RLY", 165, QByteArray("\x00", 1), "RS 01005\r"},
    {"RLY", 15, QByteArray("\x01", 1), "ST 00015\r"},
    {"RLY", 16, QByteArray("\x01", 1), "ST 00100\r"},
    {"T", 5, QByteArray("\x01", 1), "ST T00005\r"},
    {"T", 16, QByteArray("\x01", 1), "ST T00100\r"},
    {"C", 17, QByteArray("\x00", 1), "RS C00101\r"},
    // Bits use the lowest bit of the first byte; empty data resets.
    {"RLY", 1, QByteArray("\x03", 1), "ST 00001\r"},
    {"RLY", 1, QByteArray("\x02", 1), "RS 00001\r"},
    {"RLY", 1, QByteArray(), "RS 00001\r"},
    // A short word counts its missing bytes as 0.
    {"DM", 5, QByteArray("\x07", 1), "WR DM0005 00007\r\n"},
    {"DM", 5, QByteArray(), "WR DM0005 00000\r\n"},
};

class WriteFrames : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteFrames, CommandIsExactAndExpectsAnAcknowledgement)
{
    const WriteCase &c = GetParam();
    Host host;
    VarItem item = writeRequest(c.family, c.address, c.data);
    AddListWriteVar(&item);
    const SendFrame *frame = ComCommunication();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, bytes(c.command));
    EXPECT_EQ(frame->commandLength, frame->command.size());
    EXPECT_EQ(frame->command.constData()[frame->commandLength], '\0');
    EXPECT_EQ(frame->replyLength, 4);
    EXPECT_EQ(frame->valueOffset, 0);
    EXPECT_EQ(frame->valueWidth, 0);
    EXPECT_EQ(frame->request.data, c.data);
    EXPECT_EQ(host.info.framesInBatch, 1);
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, WriteFrames, ::testing::ValuesIn(writeCases),
                         [](const ::testing::TestParamInfo<WriteCase> &info) {
                             return std::string(info.param.family) + "_" + std::to_string(info.index);
                         });

TEST(WriteFrames, ValueReachesTheImageWhenEncodedWhileTheLinkIsUp)
{
    Host host;
    VarItem item = writeRequest("DM", 10, QByteArray("\x01\x00\x02\x00\x03\x00", 6));
    item.count = 3;
    AddListWriteVar(&item);
    EXPECT_EQ(image("DM", 10, 3), QByteArray(6, '\0'));
    const SendFrame *frame = ComCommunication();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, bytes("WR DM0010 00001\r\n")); // only the first element is sent
    EXPECT_EQ(image("DM", 10, 3), QByteArray("\x01\x00\x02\x00\x03\x00", 6));
}

TEST(WriteFrames, NothingIsSentOrStoredForUnknownFamiliesAndNegativeAddresses)
{
    Host host;
    for (const auto &[family, address] : {std::pair<const char *, int>{"TV", 1}, {"Dm", 1}, {"DM", -1}}) {
        VarItem item = writeRequest(family, address, QByteArray("\x09\x00", 2));
        AddListWriteVar(&item);
    }
    EXPECT_EQ(ComCommunication(), nullptr);
    EXPECT_EQ(host.info.framesInBatch, 0);
}

} // namespace
