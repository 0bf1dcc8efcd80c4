// Read replies land in the register image, converted by the digit table.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

// One read of family/address answered with reply; returns DataCom's result.
int readWith(const char *family, int address, const QByteArray &reply)
{
    VarItem item = request(family, address);
    ReCreatReadVarList(nullptr);
    AddListReadVar(&item);
    if (!ComCommunication())
        return -1;
    QByteArray answer = reply;
    return DataCom(answer);
}

TEST(Decoding, WordsAndBitsLandAtTheirAddress)
{
    Host host;
    EXPECT_EQ(readWith("DM", 100, "00500\r\n"), 1);
    EXPECT_EQ(image("DM", 100, 1), QByteArray("\xF4\x01", 2));
    EXPECT_EQ(readWith("RLY", 21, "1\r\n"), 1);
    EXPECT_EQ(image("RLY", 20, 3), QByteArray("\x00\x01\x00", 3));
    EXPECT_EQ(readWith("RLY", 21, "0\r\n"), 1);
    EXPECT_EQ(image("RLY", 21, 1), QByteArray(1, '\0'));
    EXPECT_EQ(readWith("T", 5, "1 00010 00020\r\n"), 1);
    EXPECT_EQ(image("T", 5, 1), QByteArray(1, '\1'));
}

TEST(Decoding, TimerRepliesFeedOnlyTheFieldTheFrameAskedFor)
{
    Host host;
    const QByteArray reply("1 00042 00100\r\n");
    EXPECT_EQ(readWith("TV_p", 12, reply), 1);
    EXPECT_EQ(readWith("CV_c", 12, reply), 1);
    EXPECT_EQ(word("TV_p", 12), 100);
    EXPECT_EQ(word("CV_c", 12), 42);
    EXPECT_EQ(word("TV_c", 12), 0);
    EXPECT_EQ(image("T", 12, 1), QByteArray(1, '\0'));
    EXPECT_EQ(readWith("CTH", 3, "0  0500 00000\r\n"), 1);
    EXPECT_EQ(word("CTH", 3), 500);
}

TEST(Decoding, DigitTableConvertsRatherThanRejects)
{
    Host host;
    const std::pair<const char *, int> words[] = {
        {"65535\r\n", 65535}, {"99999\r\n", 99999 % 65536}, {"0000A\r\n", 10},
        {"0010 \r\n", 100}, {"0000:\r\n", 10}, {"0000?\r\n", 15}, {"0000@\r\n", 0},
        {"0000Z\r\n", 35}, {"0000\x7F\r\n", 0x7F - 0x37}, {"0000\x80\r\n", 0},
        {"0000\xFF\r\n", 0}, {"ZZZZZ\r\n", (35 * 11111) % 65536}};
    for (const auto &[reply, value] : words) {
        ASSERT_EQ(readWith("DM", 7, QByteArray(reply, 7)), 1) << reply;
        EXPECT_EQ(word("DM", 7), value) << reply;
    }
}

TEST(Decoding, BitCharactersAreStoredWholeAndReadAsTheirLowestBit)
{
    Host host;
    EXPECT_EQ(readWith("RLY", 3, "2\r\n"), 1);
    EXPECT_EQ(image("RLY", 3, 1), QByteArray(1, '\0'));
    EXPECT_EQ(readWith("RLY", 3, "3\r\n"), 1);
    EXPECT_EQ(image("RLY", 3, 1), QByteArray(1, '\1'));
    EXPECT_EQ(readWith("RLY", 3, "A\r\n"), 1); // 10: lowest bit 0
    EXPECT_EQ(image("RLY", 3, 1), QByteArray(1, '\0'));
}

// An address outside the family's array is read and answered, but its value
// goes nowhere: no neighbour and no other array changes.
TEST(Decoding, AddressesOutsideTheArrayAreLeftAlone)
{
    Host host;
    EXPECT_EQ(readWith("TM", 100, "12345\r\n"), 1);
    EXPECT_EQ(readWith("CTH", 12, "0 11111 00000\r\n"), 1);
    EXPECT_EQ(word("CTH", 2), 0);
    EXPECT_EQ(word("TM", 99), 0);
    EXPECT_EQ(word("DM", 0), 0);
    EXPECT_EQ(word("TV_c", 0), 0);
}

} // namespace
