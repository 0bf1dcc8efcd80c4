// The simulator's answers to every command form the driver sends, and to the
// malformed ones it must survive. These answers are what the end-to-end
// tests measure the driver against, so they are checked byte for byte.
#include "sim/command_answer.h"
#include "sim/command_framer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

using sim::answerCommand;
using sim::PlcMemory;

class Answers : public ::testing::Test {
protected:
    void SetUp() override
    {
        memory->relays[10 * 16 + 5] = 1;
        memory->relays[999 * 16 + 15] = 1;
        memory->timers.contact[5] = 1;
        memory->timers.current[5] = 7;
        memory->timers.preset[5] = 60;
        memory->counters.current[999] = 65535;
        memory->dm[100] = 1234;
        memory->dm[9999] = 9;
        memory->tm[7] = 42;
        memory->highSpeed.current[1] = 500;
        memory->highSpeed.preset[1] = 1000;
    }

    QByteArray reply(const char *command) { return answerCommand(*memory, QByteArray(command)).reply; }

    std::unique_ptr<PlcMemory> memory = std::make_unique<PlcMemory>();
};

TEST_F(Answers, StartupAndEveryReadForm)
{
    EXPECT_EQ(reply("CR\r\n"), "CC\r\n");
    EXPECT_EQ(reply("RD 01005\r\n"), "1\r\n");       // channel 10, bit 5
    EXPECT_EQ(reply("RD 01004\r\n"), "0\r\n");
    EXPECT_EQ(reply("RD 99915\r\n"), "1\r\n");       // the highest relay
    EXPECT_EQ(reply("RD T005\r\n"), "1,00007,00060\r\n");
    EXPECT_EQ(reply("RD C999\r\n"), "0,65535,00000\r\n");
    EXPECT_EQ(reply("RD DM0100\r\n"), "01234\r\n");
    EXPECT_EQ(reply("RD DM9999\r\n"), "00009\r\n");
    EXPECT_EQ(reply("RD TM07\r\n"), "00042\r\n");
    EXPECT_EQ(reply("RD CTH1\r\n"), "0,00500,01000\r\n");
}

TEST_F(Answers, WordWritesChangeTheirElementOnly)
{
    EXPECT_EQ(reply("WR DM0100 00123\r\n"), "OK\r\n");
    EXPECT_EQ(memory->dm[100], 123);
    EXPECT_EQ(reply("WR DM9999 65535\r\n"), "OK\r\n");
    EXPECT_EQ(memory->dm[9999], 65535);
    EXPECT_EQ(reply("WR TM07 00043\r\n"), "OK\r\n");
    EXPECT_EQ(memory->tm[7], 43);
    EXPECT_EQ(reply("WR T012 01000\r\n"), "OK\r\n");
    EXPECT_EQ(reply("WS T012 02000\r\n"), "OK\r\n");
    EXPECT_EQ(memory->timers.current[12], 1000);
    EXPECT_EQ(memory->timers.preset[12], 2000);
    EXPECT_EQ(reply("WR C012 00003\r\n"), "OK\r\n");
    EXPECT_EQ(reply("WS C012 00004\r\n"), "OK\r\n");
    EXPECT_EQ(memory->counters.current[12], 3);
    EXPECT_EQ(memory->counters.preset[12], 4);
    EXPECT_EQ(reply("WR CTH1 00005\r\n"), "OK\r\n");
    EXPECT_EQ(memory->highSpeed.current[1], 5);
}

TEST_F(Answers, SetAndResetEndWithCarriageReturnAlone)
{
    EXPECT_EQ(reply("RS 01005\r"), "OK\r\n");
    EXPECT_EQ(memory->relays[165], 0);
    EXPECT_EQ(reply("ST 00015\r"), "OK\r\n"); // channel 0, bit 15
    EXPECT_EQ(memory->relays[15], 1);
    // Contacts take relay-like digits: timer 20 is "channel" 1, "bit" 4.
    EXPECT_EQ(reply("ST T00104\r"), "OK\r\n");
    EXPECT_EQ(memory->timers.contact[20], 1);
    EXPECT_EQ(reply("RS T00005\r"), "OK\r\n");
    EXPECT_EQ(memory->timers.contact[5], 0);
    EXPECT_EQ(reply("ST C06207\r"), "OK\r\n"); // 62 * 16 + 7 = 999, the last counter
    EXPECT_EQ(memory->counters.contact[999], 1);
}

// Each of these would be a driver bug or line noise; the PLC refuses them
// and keeps its memory as it was.
TEST_F(Answers, MalformedOrOutOfRangeIsE1AndChangesNothing)
{
    const char *refused[] = {
        "", "\r\n", "CR\r", "CR\r\nX", "cr\r\n",
        "RD 01016\r\n",        // bit 16
        "RD A0000\r\n",        // channel 1000, as the driver writes it
        "RD TA00\r\n", "RD DMA000\r\n", "RD TMA0\r\n", "RD CTH\r\n",
        "RD DM100\r\n", "RD DM01000\r\n", "RD  DM0100\r\n", "rd DM0100\r\n",
        "RD DM0100\r",         // a read needs CR LF
        "RD DM0100\n",
        "WR DM0100 65536\r\n", // above 16 bits
        "WR DM0100 0012\r\n", "WR DM0100 00123\r", "WR DM010000123\r\n",
        "WS DM0100 00001\r\n", // presets exist for timers and counters only
        "WS TM07 00001\r\n",
        "ST 01005\r\n",        // set ends with CR alone
        "ST 01016\r", "ST T06300\r", "ST T005\r", "ST X00001\r", "XX 01005\r",
    };
    const PlcMemory before = *memory;
    for (const char *command : refused) {
        const sim::Answer answer = answerCommand(*memory, QByteArray(command));
        EXPECT_EQ(answer.reply, "E1\r\n") << "for " << QByteArray(command).toHex(' ').constData();
        EXPECT_EQ(answer.kind, sim::CommandKind::Malformed);
    }
    EXPECT_EQ(0, std::memcmp(&before, memory.get(), sizeof before));
}

QList<QByteArray> framesOf(const QByteArray &stream, int chunk)
{
    sim::CommandFramer framer;
    QList<QByteArray> frames;
    for (int i = 0; i < stream.size(); i += chunk)
        frames += framer.feed(stream.mid(i, chunk));
    return frames;
}

TEST(Framer, CutsCommandsAtTheirOwnTerminators)
{
    const QByteArray stream("CR\r\nST 01005\rRD DM0100\r\nRS 00001\r\nWR TM07 00001\r\n");
    const QList<QByteArray> expected{"CR\r\n", "ST 01005\r", "RD DM0100\r\n", "RS 00001\r",
                                     "WR TM07 00001\r\n"};
    // The LF a host might add after a set command is not a frame of its own.
    for (int chunk : {1, 3, 64})
        EXPECT_EQ(framesOf(stream, chunk), expected) << "chunk " << chunk;
    // Runaway input is cut so it gets an answer.
    EXPECT_EQ(framesOf(QByteArray(70, 'x'), 5).value(0).size(), sim::CommandFramer::longestFrame);
    // A CR without its LF ends the frame at the next byte.
    EXPECT_EQ(framesOf("RD DM0100\rRD DM0101\r\n", 1),
              (QList<QByteArray>{"RD DM0100\r", "RD DM0101\r\n"}));
}

} // namespace
