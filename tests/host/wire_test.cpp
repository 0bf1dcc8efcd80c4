// Every frame the driver puts on the wire, byte for byte, with the reply it
// expects: reads and writes of every family, the digits past "Z", and the
// requests that cannot be encoded and so send nothing.
#include "support/host.h"

#include <gtest/gtest.h>

#include <climits>

using namespace testhost;

namespace {

struct WireCase {
    const char *family;
    int address;
    int operation; // 0 read, 1 write
    QByteArray data;
    const char *command; // nullptr: no frame at all
    int replyLength, valueOffset, valueWidth;
};
void PrintTo(const WireCase &, std::ostream *) {} // the test names say it all

QByteArray le(int value) { return QByteArray(1, char(value & 0xFF)) + char(value >> 8); }
const QByteArray on(1, '\1'), off(1, '\0');

const WireCase wireCases[] = {
    {"RLY", 0, 0, {}, "RD 00000\r\n", 3, 0, 1},
    {"RLY", 165, 0, {}, "RD 01005\r\n", 3, 0, 1},
    {"RLY", 999 * 16 + 15, 0, {}, "RD 99915\r\n", 3, 0, 1},
    {"RLY", 16000, 0, {}, "RD A0000\r\n", 3, 0, 1},
    {"T", 5, 0, {}, "RD T005\r\n", 15, 0, 1},
    {"T", 1000, 0, {}, "RD TA00\r\n", 15, 0, 1},
    {"C", 42, 0, {}, "RD C042\r\n", 15, 0, 1},
    {"DM", 100, 0, {}, "RD DM0100\r\n", 7, 0, 5},
    {"DM", 10000, 0, {}, "RD DMA000\r\n", 7, 0, 5},
    {"TM", 7, 0, {}, "RD TM07\r\n", 7, 0, 5},
    {"TM", 100, 0, {}, "RD TMA0\r\n", 7, 0, 5},
    {"TV_c", 12, 0, {}, "RD T012\r\n", 15, 2, 5},
    {"TV_p", 12, 0, {}, "RD T012\r\n", 15, 8, 5},
    {"CV_c", 3, 0, {}, "RD C003\r\n", 15, 2, 5},
    {"CV_p", 999, 0, {}, "RD C999\r\n", 15, 8, 5},
    {"CTH", 1, 0, {}, "RD CTH1\r\n", 15, 2, 5},
    {"CTH", 12, 0, {}, "RD CTH2\r\n", 15, 2, 5},
    // Past "Z" the leading digit goes on as v + 55, kept to its low eight bits.
    {"DM", 35999, 0, {}, "RD DMZ999\r\n", 7, 0, 5},
    {"DM", 36000, 0, {}, "RD DM[000\r\n", 7, 0, 5},
    {"DM", 200999, 0, {}, "RD DM\xFF" "999\r\n", 7, 0, 5},
    {"DM", INT_MAX, 0, {}, "RD DM\xD2" "647\r\n", 7, 0, 5},
    {"TM", 360, 0, {}, "RD TM[0\r\n", 7, 0, 5},
    {"T", 3600, 0, {}, "RD T[00\r\n", 15, 0, 1},
    {"RLY", 3600 * 16, 0, {}, "RD [0000\r\n", 3, 0, 1},
    {"DM", 100, 1, le(123), "WR DM0100 00123\r\n", 4, 0, 0},
    {"DM", 9999, 1, le(65535), "WR DM9999 65535\r\n", 4, 0, 0},
    {"TM", 123, 1, le(1), "WR TMC3 00001\r\n", 4, 0, 0},
    {"DM", 36000, 1, le(1), "WR DM[000 00001\r\n", 4, 0, 0},
    {"TV_p", 3600, 1, le(1), "WS T[00 00001\r\n", 4, 0, 0},
    {"RLY", INT_MAX, 1, on, "ST \x18" "2715\r", 4, 0, 0},
    {"TV_c", 12, 1, le(1000), "WR T012 01000\r\n", 4, 0, 0},
    {"TV_p", 12, 1, le(1000), "WS T012 01000\r\n", 4, 0, 0},
    {"CV_c", 12, 1, le(1000), "WR C012 01000\r\n", 4, 0, 0},
    {"CV_p", 12, 1, le(1000), "WS C012 01000\r\n", 4, 0, 0},
    {"CTH", 1, 1, le(5), "WR CTH1 00005\r\n", 4, 0, 0},
    {"RLY", 165, 1, on, "ST 01005\r", 4, 0, 0},
    {"RLY", 165, 1, off, "RS 01005\r", 4, 0, 0},
    {"RLY", 16, 1, on, "ST 00100\r", 4, 0, 0},
    {"T", 16, 1, on, "ST T00100\r", 4, 0, 0},
    {"C", 17, 1, off, "RS C00101\r", 4, 0, 0},
    // Bits follow the lowest bit of the first byte, empty data resets; a
    // short word counts its missing bytes as 0.
    {"RLY", 1, 1, QByteArray("\x03"), "ST 00001\r", 4, 0, 0},
    {"RLY", 1, 1, QByteArray("\x02"), "RS 00001\r", 4, 0, 0},
    {"RLY", 1, 1, {}, "RS 00001\r", 4, 0, 0},
    {"DM", 5, 1, QByteArray("\x07"), "WR DM0005 00007\r\n", 4, 0, 0},
    {"DM", 5, 1, {}, "WR DM0005 00000\r\n", 4, 0, 0},
    // Names outside the table, wrong case and negative addresses.
    {"dm", 1, 0, {}, nullptr, 0, 0, 0},
    {"TV", 1, 0, {}, nullptr, 0, 0, 0},
    {"DM", -1, 0, {}, nullptr, 0, 0, 0},
    {"RLY", -16, 0, {}, nullptr, 0, 0, 0},
    {"DM", INT_MIN, 0, {}, nullptr, 0, 0, 0},
    {"TV", 1, 1, le(9), nullptr, 0, 0, 0},
    {"Dm", 1, 1, le(9), nullptr, 0, 0, 0},
    {"DM", -1, 1, le(9), nullptr, 0, 0, 0},
};

class Wire : public ::testing::TestWithParam<WireCase> {};

TEST_P(Wire, FrameIsExactOrAbsent)
{
    const WireCase &c = GetParam();
    Host host;
    host.info.framesInBatch = 7;
    host.info.framesAnswered = 7;
    VarItem item = request(c.family, c.address, c.operation, 3, 4, c.data);
    item.count = 5; // a count above 1 still sends one element
    c.operation ? AddListWriteVar(&item) : AddListReadVar(&item);
    const SendFrame *frame = ComCommunication();
    if (!c.command) {
        EXPECT_EQ(frame, nullptr);
        EXPECT_EQ(host.info.framesInBatch, 7);
        EXPECT_EQ(host.info.framesAnswered, 7);
        return;
    }
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, QByteArray(c.command));
    EXPECT_EQ(frame->commandLength, frame->command.size());
    EXPECT_EQ(frame->command.constData()[frame->commandLength], '\0');
    EXPECT_EQ(frame->replyLength, c.replyLength);
    EXPECT_EQ(frame->valueOffset, c.valueOffset);
    EXPECT_EQ(frame->valueWidth, c.valueWidth);
    EXPECT_EQ(frame->request.registerName, item.registerName);
    EXPECT_EQ(frame->request.requestId * 10 + frame->request.requestGroup, 34);
    EXPECT_EQ(frame->request.count, 5);
    EXPECT_EQ(frame->request.data, c.data);
    EXPECT_EQ(frame->spare1 | frame->spare2 | frame->spare3, 0);
    EXPECT_EQ(host.info.framesInBatch, 1);
    EXPECT_EQ(host.info.framesAnswered, 0);
}

INSTANTIATE_TEST_SUITE_P(AllFamilies, Wire, ::testing::ValuesIn(wireCases),
                         [](const ::testing::TestParamInfo<WireCase> &info) {
                             return std::string(info.param.operation ? "Write" : "Read")
                                 + (info.param.command ? "" : "Nothing") + std::to_string(info.index);
                         });

} // namespace
