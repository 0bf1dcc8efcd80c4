// What makes the simulated PLC useful for testing hosts: a scan that keeps
// values moving, initial values from a file, and faults that come back the
// same with the same seed.
#include "sim/faults.h"
#include "sim/initial_values.h"
#include "sim/scan.h"
#include "sim/sim_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

using sim::FaultInjector;
using sim::FaultRates;
using sim::PlcMemory;
using sim::Piece;

constexpr qint64 ms = 1000000; // nanoseconds

std::unique_ptr<PlcMemory> programmedMemory()
{
    auto memory = std::make_unique<PlcMemory>();
    sim::loadDefaultProgram(*memory);
    return memory;
}

TEST(Scan, CountsBlinksAndRunsTimersToTheirPresets)
{
    auto memory = programmedMemory();
    sim::runScan(*memory, 0, 6);
    EXPECT_EQ(memory->dm[0], 6);
    EXPECT_EQ(memory->relays[0], 1); // on during ticks 5 to 9
    EXPECT_EQ(memory->timers.current[0], 6);
    EXPECT_EQ(memory->timers.contact[0], 0);
    sim::runScan(*memory, 6, 10);
    EXPECT_EQ(memory->relays[0], 0);
    EXPECT_EQ(memory->timers.current[0], 10); // preset 10: done
    EXPECT_EQ(memory->timers.contact[0], 1);
    sim::runScan(*memory, 10, 500);
    EXPECT_EQ(memory->timers.current[0], 10); // stays at its preset
    EXPECT_EQ(memory->counters.current[0], 5);
    EXPECT_EQ(memory->counters.contact[0], 1);
}

// The simulator catches up a long idle time in one step; that must give the
// same memory as scanning every tick.
TEST(Scan, OneLongStepEqualsManyShortOnes)
{
    auto stepped = programmedMemory();
    auto jumped = programmedMemory();
    for (qint64 tick = 0; tick < 1234; ++tick)
        sim::runScan(*stepped, tick, tick + 1);
    sim::runScan(*jumped, 0, 1234);
    EXPECT_EQ(0, std::memcmp(stepped.get(), jumped.get(), sizeof(PlcMemory)));
}

TEST(InitialValues, ReportsEveryBadLineByNumberAndAppliesNothing)
{
    auto memory = std::make_unique<PlcMemory>();
    const QStringList errors = sim::applyInitialValues(*memory, QStringLiteral(
        "DM 1=5\nXX 1=2\nDM 10000=1\nRLY 00016=1\nDM 1=65536\nT 1=2\njust words\nTM 5=abc\nDM2=7\nTV_p3=9\n"));
    ASSERT_EQ(errors.size(), 7) << errors.join(QLatin1Char('\n')).toStdString();
    for (int i = 0; i < errors.size(); ++i)
        EXPECT_TRUE(errors[i].startsWith(QStringLiteral("line %1:").arg(i + 2))) << errors[i].toStdString();
    EXPECT_EQ(memory->dm[1], 0);
    EXPECT_TRUE(sim::applyInitialValues(*memory, QStringLiteral("DM 1=5\nDM2=7\nTV_p3=9\nRLY00105=1")).isEmpty());
    EXPECT_EQ(memory->dm[2], 7);
}

// Every piece of 200 deliveries with its delay, in one text.
QByteArray deliverMany(const FaultRates &rates, quint32 seed)
{
    FaultInjector faults(rates, seed);
    QByteArray all;
    for (int i = 0; i < 200; ++i) {
        for (const Piece &piece : faults.deliver("0,00007,00060\r\n"))
            all += piece.bytes + QByteArray::number(piece.delayMs);
        all += '|';
    }
    return all;
}

TEST(Faults, TheSameSeedGivesTheSameFaults)
{
    FaultRates rates;
    rates.noReply = rates.error = rates.garble = rates.truncate = rates.delay = rates.pieces = 0.2;
    EXPECT_EQ(deliverMany(rates, 42), deliverMany(rates, 42));
    EXPECT_NE(deliverMany(rates, 42), deliverMany(rates, 43));
}

TEST(Faults, EachFaultDoesWhatItSays)
{
    const QByteArray reply("0,00007,00060\r\n");
    auto deliver = [&](double FaultRates::*rate) {
        FaultRates rates;
        rates.*rate = 1;
        rates.delayMs = 250;
        return FaultInjector(rates, 1).deliver(reply);
    };
    EXPECT_TRUE(deliver(&FaultRates::noReply).empty());
    EXPECT_EQ(deliver(&FaultRates::error).at(0).bytes, "E1\r\n");
    const QByteArray garbled = deliver(&FaultRates::garble).at(0).bytes;
    ASSERT_EQ(garbled.size(), reply.size());
    int differing = 0;
    for (int i = 0; i < reply.size(); ++i)
        differing += garbled[i] != reply[i];
    EXPECT_EQ(differing, 1);
    const QByteArray truncated = deliver(&FaultRates::truncate).at(0).bytes;
    EXPECT_LT(truncated.size(), reply.size());
    EXPECT_TRUE(reply.startsWith(truncated));
    EXPECT_EQ(deliver(&FaultRates::delay).at(0).delayMs, 250);
    const std::vector<Piece> pieces = deliver(&FaultRates::pieces);
    EXPECT_GE(pieces.size(), 2u);
    QByteArray joined;
    for (const Piece &piece : pieces)
        joined += piece.bytes;
    EXPECT_EQ(joined, reply);
}

TEST(Line, WireTimeCountsStartDataParityAndStopBits)
{
    using tools::Parity;
    const struct {
        tools::LineSettings line;
        qint64 bytes;
        qint64 ns;
    } cases[] = {
        {{9600, 8, Parity::None, 1}, 11, 11458333},  // 10 bits a byte
        {{115200, 8, Parity::None, 1}, 18, 1562500}, // a one-word DM read, both ways
        {{9600, 7, Parity::Even, 2}, 7, 8020833},    // 11 bits a byte
        {{1200, 5, Parity::Odd, 1}, 3, 20000000},    // 8 bits a byte
        {{19200, 8, Parity::None, 1}, 0, 0},
        {{9600, 8, Parity::None, 1}, 1000000000, 1041666666666666}, // weeks of bytes: no overflow
    };
    for (const auto &c : cases)
        EXPECT_EQ(tools::wireNanoseconds(c.line, c.bytes), c.ns) << tools::describe(c.line).toStdString();
}

// At 9600 8N1 a one-word DM read is 11458333 ns out and 7291666 ns back.
TEST(Line, PacedRepliesKeepToTheWiresDeadlines)
{
    sim::SimConfig config;
    config.line = {true, {9600, 8, tools::Parity::None, 1}, 0};
    sim::SimEngine engine(config, 0);
    engine.prepareMemory();
    auto dueOf = [&](const char *bytes, qint64 nowNs) {
        const std::vector<sim::Scheduled> out = engine.receive(bytes, nowNs);
        return out.empty() ? -1 : out.back().dueNs;
    };
    EXPECT_EQ(dueOf("RD DM0000\r\n", 0), 18749999);
    // Sent while the reply is still on the wire: it starts after its last byte.
    EXPECT_EQ(dueOf("RD DM0001\r\n", 5 * ms), 2 * 18749999);
    // In two pieces: the second waits for the first's wire time.
    EXPECT_EQ(dueOf("RD DM", 200 * ms), -1);
    EXPECT_EQ(dueOf("0000\r\n", 201 * ms), 200 * ms + 18749999);
    // The host's turn begins when all three replies left. The last was
    // written 1 ms late; the host answered 50 us after that, and the next
    // deadline counts the 50 us from the reply's own deadline, so pacing
    // does not drift with the simulator's lateness.
    const qint64 lastDue = 200 * ms + 18749999;
    engine.replySent(lastDue, 18749999);
    engine.replySent(lastDue, 2 * 18749999);
    engine.replySent(lastDue + ms, lastDue);
    EXPECT_EQ(dueOf("RD DM0000\r\n", lastDue + ms + 50000), lastDue + 50000 + 18749999);
    EXPECT_EQ(engine.line().turnaround().count(), 1u);
    EXPECT_NEAR(engine.line().turnaround().quantile(0.5), 50000, 500);
}

} // namespace
