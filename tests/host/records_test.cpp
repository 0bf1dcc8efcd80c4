// The records as a host compiled on its own sees them: ComInfo words at
// fixed byte offsets, written by the driver exactly where they belong.
#include "support/host.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace testhost;

namespace {

struct RawComInfo {
    unsigned char bytes[80];
    int word(int offset) const
    {
        int value;
        std::memcpy(&value, bytes + offset, sizeof value);
        return value;
    }
    void setWord(int offset, int value) { std::memcpy(bytes + offset, &value, sizeof value); }
};

TEST(Records, SetComInfoWritesOnlyRegisterMarkAndStartupPending)
{
    RawComInfo raw;
    std::memset(raw.bytes, 0x5A, sizeof raw.bytes);
    SetComInfo(reinterpret_cast<ComInfo *>(raw.bytes));
    for (int offset = 0; offset < 80; offset += 4) {
        const int expected = offset == 40 ? 1 : offset == 52 ? 0 : 0x5A5A5A5A;
        EXPECT_EQ(raw.word(offset), expected) << "offset " << offset;
    }
}

TEST(Records, DriverReadsAndWritesTheWordsAtTheirOffsets)
{
    RawComInfo raw{};
    raw.setWord(28, 0);     // retryLimit
    raw.setWord(56, 1);     // protocolMode: no start-up exchange
    raw.setWord(72, 0x1234); // hostTag
    SetComInfo(reinterpret_cast<ComInfo *>(raw.bytes));
    RegistCallBackFuncIntf(&recordCompletion, 0);
    completions().clear();
    VarItem item = writeRequest("DM", 1, QByteArray(2, '\0'), 3, 4);
    AddListWriteVar(&item);
    ASSERT_NE(ComCommunication(), nullptr);
    EXPECT_EQ(raw.word(44), 1); // framesInBatch
    EXPECT_EQ(raw.word(48), 0); // framesAnswered
    QByteArray empty;
    EXPECT_EQ(DataCom(empty), 44);
    EXPECT_EQ(raw.word(32), 0); // retryCount, reset by the drop
    EXPECT_EQ(raw.word(40), 1); // startupPending
    EXPECT_EQ(raw.word(68), 0); // readCycleDone
    EXPECT_EQ(completions(), (std::vector<Completion>{{0x1234, 3, 4, 2}}));
}

// Exports that need the settings record must not crash before it exists:
// they act as if every word were 0.
TEST(Records, ExportsBeforeSetComInfoActOnZeroSettings)
{
    VarItem write = writeRequest("DM", 1, QByteArray("\x05\x00", 2));
    EXPECT_EQ(AddListWriteVar(&write), 1);
    QString dm = QStringLiteral("DM");
    QByteArray data("\x07\x00", 2);
    EXPECT_EQ(SetRegisterData(dm, 3, 0, data, 1), 1); // writeMode 0: image only
    EXPECT_EQ(word("DM", 3), 7);
    const SendFrame *frame = ComCommunication(); // protocolMode 0 but no start-up due
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, bytes("WR DM0001 00005\r\n"));
    QByteArray ok("OK\r\n");
    EXPECT_EQ(DataCom(ok), 1);
    QList<VarDef> none;
    EXPECT_EQ(ReCreatReadVarList(&none), 0);
}

} // namespace
