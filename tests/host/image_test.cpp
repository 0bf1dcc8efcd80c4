// The register image as the host reads it: byte order, bit masking, how the
// caller's array grows, and addresses outside the arrays.
#include "support/host.h"

#include <gtest/gtest.h>

#include <climits>

using namespace testhost;

namespace {

// Stores through SetRegisterData in image-only mode (writeMode 0).
void store(const char *family, int address, QByteArray data, int count)
{
    QString name = QString::fromLatin1(family);
    EXPECT_EQ(SetRegisterData(name, address, 0, data, count), 1);
}

TEST(Image, WordsComeBackLowByteFirstAndBitsAsTheirLowestBit)
{
    Host host(1, 3, 0);
    store("DM", 10, QByteArray("\x01\x00\x02\x00\x34\x12", 6), 3);
    EXPECT_EQ(image("DM", 10, 3), QByteArray("\x01\x00\x02\x00\x34\x12", 6));
    store("RLY", 0, QByteArray("\x02\x03\xFF\x10", 4), 4);
    EXPECT_EQ(image("RLY", 0, 4), QByteArray("\x00\x01\x01\x00", 4));
    store("TV_p", 999, QByteArray("\xFF\xFF", 2), 1);
    EXPECT_EQ(word("TV_p", 999), 0xFFFF);
    EXPECT_EQ(word("TV_c", 999), 0); // families do not share arrays
}

TEST(Image, ReadOverwritesTheFrontOfTheCallersArrayAndKeepsTheRest)
{
    QByteArray data("0123456789");
    const QByteArray shared = data;
    GetRegisterData(QStringLiteral("RLY"), 0, 0, data, 4);
    EXPECT_EQ(data, QByteArray("\0\0\0\0" "456789", 10));
    EXPECT_EQ(shared, QByteArray("0123456789")); // copy-on-write: the other copy is untouched
    QByteArray shortArray("ab");
    GetRegisterData(QStringLiteral("DM"), 0, 0, shortArray, 2);
    EXPECT_EQ(shortArray, QByteArray(4, '\0'));
}

TEST(Image, UnknownFamiliesAndEmptyCountsLeaveTheArrayAlone)
{
    for (const char *family : {"TV", "dm", "", "RLYX"}) {
        QByteArray data("keep");
        EXPECT_EQ(GetRegisterData(QString::fromLatin1(family), 0, 0, data, 2), 1);
        EXPECT_EQ(data, QByteArray("keep"));
    }
    QByteArray data("keep");
    EXPECT_EQ(GetRegisterData(QStringLiteral("DM"), 0, 0, data, 0), 1);
    EXPECT_EQ(GetRegisterData(QStringLiteral("DM"), 0, 0, data, -4), 1);
    EXPECT_EQ(data, QByteArray("keep"));
}

// Elements outside the family's array read as 0 and are never written.
TEST(Image, AddressesOutsideTheArraysAreZeroAndNeverWritten)
{
    Host host(1, 3, 0);
    store("TM", 98, QByteArray("\x01\x00\x02\x00\x03\x00", 6), 3);
    EXPECT_EQ(image("TM", 98, 3), QByteArray("\x01\x00\x02\x00\x00\x00", 6));
    EXPECT_EQ(word("DM", 0), 0); // the store did not spill into the next array
    store("CTH", -1, QByteArray("\x07\x00\x08\x00", 4), 2);
    EXPECT_EQ(image("CTH", -1, 2), QByteArray("\x00\x00\x08\x00", 4));
    EXPECT_EQ(image("DM", INT_MAX, 2), QByteArray(4, '\0'));
    EXPECT_EQ(image("DM", INT_MIN, 1), QByteArray(2, '\0'));
    store("RLY", INT_MAX, QByteArray(4, '\x01'), INT_MAX);
    store("RLY", INT_MIN, QByteArray(4, '\x01'), 4);
    EXPECT_EQ(image("RLY", 0, 1), QByteArray(1, '\0'));
}

TEST(Image, StoreTakesOnlyWholeElementsTheDataHolds)
{
    Host host(1, 3, 0);
    store("DM", 0, QByteArray("\x05\x00\x06", 3), 2);
    EXPECT_EQ(image("DM", 0, 2), QByteArray("\x05\x00\x00\x00", 4));
    store("RLY", 0, QByteArray("\x01", 1), 3);
    EXPECT_EQ(image("RLY", 0, 3), QByteArray("\x01\x00\x00", 3));
}

} // namespace
