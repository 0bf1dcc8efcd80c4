// What a reply does: the result DataCom returns (accepted, or the rejection's
// code plus the request's kind offset) and the image bytes it leaves, for
// write acknowledgements, every read form, the digit table and addresses
// outside a family's array.
#include "support/host.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

using namespace testhost;

namespace {

const QByteArray was("\x5A\x5A"); // what every word family holds before the reply

struct Bytes {
    const char *family;
    int address;
    QByteArray bytes;
};

struct ReplyCase {
    const char *family;
    int address, operation, requestId;
    QByteArray reply;
    int result;
    std::vector<Bytes> image;
};
void PrintTo(const ReplyCase &, std::ostream *) {} // the test names say it all

QByteArray le(int value) { return QByteArray(1, char(value & 0xFF)) + char((value >> 8) & 0xFF); }
const QByteArray one(1, '\1'), zero(1, '\0');
const QByteArray timerReply("1 00042 00100\r\n");

std::vector<ReplyCase> replyCases()
{
    const std::vector<Bytes> dm1{{"DM", 1, QByteArray("\x02\x01")}}; // stored when sent
    std::vector<ReplyCase> cases = {
        {"DM", 1, 1, 0, "OK\r\n", 1, dm1},
        {"DM", 1, 1, 0, "E0\r\n", 1, dm1},
        {"DM", 1, 1, 0, "E1\r\n", 11, dm1},
        {"DM", 1, 1, 0, "ok\r\n", 11, dm1},
        {"DM", 1, 1, 0, "OK\r\r", 11, dm1},
        {"DM", 1, 1, 0, "OK\r\nX", 71, dm1},
        {"DM", 1, 1, 0, "OK\r", 71, dm1},
        {"DM", 1, 1, 0, "", 41, dm1},
        {"DM", 1, 7, 0, "OK\r\n", 11, {}}, // neither read nor write
        {"DM", 100, 0, 0, "00500\r\n", 1, {{"DM", 100, le(500)}}},
        {"DM", 100, 0, 0, "00500\r ", 11, {{"DM", 100, was}}},
        {"DM", 100, 0, 0, "0500\r\n", 71, {{"DM", 100, was}}},
        {"DM", 100, 0, 0, "", 41, {{"DM", 100, was}}},
        // The kind offset is the requestId from 0 to 11, otherwise 0.
        {"DM", 1, 0, 5, "x0500\r ", 16, {}},
        {"DM", 1, 0, 5, "", 46, {}},
        {"DM", 1, 0, 5, "1", 76, {}},
        {"DM", 1, 0, 11, "", 52, {}},
        {"DM", 1, 0, 12, "", 41, {}},
        {"DM", 1, 0, -1, "1", 71, {}},
        {"RLY", 21, 0, 0, "1\r\n", 1, {{"RLY", 20, QByteArray("\0\1\0", 3)}}},
        {"RLY", 21, 0, 0, "1\r ", 11, {{"RLY", 21, zero}}},
        // Bit characters are stored whole and read as their lowest bit.
        {"RLY", 3, 0, 0, "3\r\n", 1, {{"RLY", 3, one}}},
        {"RLY", 3, 0, 0, "2\r\n", 1, {{"RLY", 3, zero}}},
        {"RLY", 3, 0, 0, "A\r\n", 1, {{"RLY", 3, zero}}},
        {"T", 5, 0, 0, "1 00010 00020\r\n", 1, {{"T", 5, one}, {"TV_c", 5, was}}},
        // Timer and counter replies feed only the field the frame asked for.
        {"TV_p", 12, 0, 0, timerReply, 1, {{"TV_p", 12, le(100)}, {"TV_c", 12, was}, {"T", 12, zero}}},
        {"CV_c", 12, 0, 0, timerReply, 1, {{"CV_c", 12, le(42)}, {"CV_p", 12, was}, {"C", 12, zero}}},
        {"CTH", 3, 0, 0, "0  0500 00000\r\n", 1, {{"CTH", 3, le(500)}}},
        // Outside the array a reply is accepted and its value goes nowhere.
        {"TM", 100, 0, 0, "12345\r\n", 1, {{"TM", 99, le(0)}, {"DM", 0, le(0)}}},
        {"CTH", 12, 0, 0, "0 11111 00000\r\n", 1, {{"CTH", 2, le(0)}, {"DM", 0, le(0)}}},
    };
    const std::pair<const char *, int> digits[] = {
        {"65535", 65535}, {"99999", 99999 % 65536}, {"0000A", 10}, {"0010 ", 100},
        {"0000:", 10}, {"0000?", 15}, {"0000@", 0}, {"0000Z", 35}, {"0000\x7F", 0x7F - 0x37},
        {"0000\x80", 0}, {"0000\xFF", 0}, {"ZZZZZ", (35 * 11111) % 65536}};
    for (const auto &[text, value] : digits)
        cases.push_back({"DM", 7, 0, 0, QByteArray(text) + "\r\n", 1, {{"DM", 7, le(value)}}});
    return cases;
}

class Replies : public ::testing::TestWithParam<ReplyCase> {};

// retryLimit 0: the first rejection drops the batch, so DataCom returns
// the rejection's code itself.
TEST_P(Replies, ResultAndImageAreExact)
{
    const ReplyCase &c = GetParam();
    Host host(1, 0, 0);
    for (const char *family : {"DM", "TM", "TV_c", "TV_p", "CV_c", "CV_p", "CTH"})
        setData(family, c.address, was, 1);
    VarItem item = request(c.family, c.address, c.operation, c.requestId, 0, QByteArray("\x02\x01"));
    c.operation == 0 ? AddListReadVar(&item) : AddListWriteVar(&item);
    ASSERT_NE(ComCommunication(), nullptr);
    QByteArray reply = c.reply;
    EXPECT_EQ(DataCom(reply), c.result);
    for (const Bytes &b : c.image) {
        const bool bit = !std::strcmp(b.family, "RLY") || !b.family[1];
        EXPECT_EQ(image(b.family, b.address, b.bytes.size() / (bit ? 1 : 2)), b.bytes) << b.family << b.address;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Replies, ::testing::ValuesIn(replyCases()), [](const auto &info) {
    return std::string(info.param.operation == 0 ? "Read" : "Write") + std::to_string(info.index);
});

// The image as the host reads it back: a store in image-only mode, the
// caller's array overwritten at its front, and what lies outside.
TEST(Image, StoresAndReadsExactlyWhatLiesInTheArrays)
{
    Host host(1, 3, 0);
    auto store = [](const char *family, int address, QByteArray data, int count) {
        EXPECT_EQ(setData(family, address, data, count), 1);
    };
    store("DM", 10, QByteArray("\x01\x00\x02\x00\x34\x12", 6), 3);
    EXPECT_EQ(image("DM", 10, 3), QByteArray("\x01\x00\x02\x00\x34\x12", 6));
    store("RLY", 0, QByteArray("\x02\x03\xFF\x10", 4), 4);
    EXPECT_EQ(image("RLY", 0, 4), QByteArray("\x00\x01\x01\x00", 4));
    store("TM", 98, QByteArray("\x01\x00\x02\x00\x03\x00", 6), 3); // TM 100 is outside
    EXPECT_EQ(image("TM", 98, 3), QByteArray("\x01\x00\x02\x00\x00\x00", 6));
    EXPECT_EQ(word("DM", 0), 0);
    store("CTH", -1, QByteArray("\x07\x00\x08\x00", 4), 2);
    EXPECT_EQ(image("CTH", -1, 2), QByteArray("\x00\x00\x08\x00", 4));
    store("DM", 20, QByteArray("\x05\x00\x06", 3), 2); // only whole elements
    EXPECT_EQ(image("DM", 20, 2), QByteArray("\x05\x00\x00\x00", 4));
    store("RLY", INT_MAX, QByteArray(4, '\x01'), INT_MAX);
    store("RLY", INT_MIN, QByteArray(4, '\x01'), 4);
    EXPECT_EQ(image("RLY", 4, 1), QByteArray(1, '\0'));
    EXPECT_EQ(image("DM", INT_MIN, 1), QByteArray(2, '\0'));

    QByteArray data("0123456789");
    const QByteArray shared = data;
    GetRegisterData(QStringLiteral("RLY"), 1, 0, data, 4);
    EXPECT_EQ(data, QByteArray("\1\1\0\0" "456789", 10));
    EXPECT_EQ(shared, QByteArray("0123456789")); // copy-on-write: the other copy is untouched
    for (const auto &[family, count] : {std::pair<const char *, int>{"TV", 2}, {"dm", 2}, {"DM", 0}, {"DM", -4}}) {
        QByteArray keep("keep");
        EXPECT_EQ(GetRegisterData(QString::fromLatin1(family), 0, 0, keep, count), 1);
        EXPECT_EQ(keep, QByteArray("keep"));
    }
}

} // namespace
