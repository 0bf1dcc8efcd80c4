// ordelin-poll, loading the built driver, polls a simulator over a real
// pseudo-terminal. The simulator runs in this test's process so the test can
// look into the PLC's memory and make the PLC fall silent.
#include "programs.h"

#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

namespace {

using namespace e2e;

std::shared_ptr<sim::Simulator> startSimulator(const sim::SimConfig &config = {})
{
    const auto device = sim::openPseudoTerminal();
    if (!device.ok())
        return nullptr;
    const auto started = sim::Simulator::start(config, device.value());
    return started.ok() ? started.value() : nullptr;
}

QStringList hostOn(const sim::Simulator &plc, const QStringList &arguments)
{
    return QStringList{"--port", plc.portName(), "--library", ORDELIN_LIBRARY_PATH} + arguments;
}

QList<QJsonObject> events(const QString &out)
{
    QList<QJsonObject> found;
    for (const QJsonObject &record : records(out)) {
        if (record.contains(QLatin1String("event")))
            found << record;
    }
    return found;
}

TEST(Poll, CyclicValuesArriveAndMove)
{
    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    const Finished host = runPoll(hostOn(*plc, {"--format", "csv", "--duration", "1.6", "DM0",
                                                "RLY00000", "TV_c1", "TV_p1", "T1"}));
    EXPECT_EQ(host.exitCode, 0) << host.err.toStdString();
    const QStringList lines = host.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 6) << host.out.toStdString();
    EXPECT_EQ(lines[0], "time,clock,DM0,RLY00000,TV_c1,TV_p1,T1");
    const QRegularExpression wallClock(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)");
    QSet<QString> blinkStates;
    int previousCount = -1;
    for (const QString &line : lines.mid(1)) {
        const QStringList cells = line.split(',');
        ASSERT_EQ(cells.size(), 7) << line.toStdString();
        EXPECT_TRUE(wallClock.match(cells[1]).hasMatch()) << line.toStdString();
        EXPECT_GE(cells[2].toInt(), previousCount); // DM 0 counts scan ticks
        previousCount = cells[2].toInt();
        blinkStates << cells[3];
        EXPECT_EQ(cells[5], "20"); // timer 1's preset
    }
    EXPECT_GE(previousCount, 10);
    EXPECT_EQ(blinkStates, (QSet<QString>{"0", "1"}));
    EXPECT_GT(lines.last().split(',')[4].toInt(), lines[1].split(',')[4].toInt());
    EXPECT_TRUE(host.err.contains(QLatin1String("0 rejected, 0 dropped, 0.0% loss"))) << host.err.toStdString();
}

// Every family's write command, each checked in the PLC's memory; then read
// back through once-reads and the cyclic list.
TEST(Poll, WritesReachThePlcAndReadBack)
{
    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    const QStringList writes{"DM100=1234", "RLY00105=1", "TM7=42", "TV_c2=3", "TV_p5=30",
                             "CV_c3=9", "CV_p4=11", "CTH1=7", "T20=1", "C999=1", "DM200=1,2,3"};
    QStringList arguments{"--format", "json", "--once", "DM100", "--once", "T20", "--once", "DM200:3"};
    for (const QString &write : writes)
        arguments << "--write" << write;
    const Finished host = runPoll(hostOn(*plc, arguments));
    EXPECT_EQ(host.exitCode, 0) << host.err.toStdString();

    const QList<QJsonObject> done = events(host.out);
    ASSERT_EQ(done.size(), writes.size() + 3) << host.out.toStdString();
    for (int i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(done[i]["target"].toString(), writes[i]);
        EXPECT_EQ(done[i]["status"].toInt(), 1) << writes[i].toStdString();
    }
    EXPECT_EQ(done[writes.size()]["values"].toArray(), QJsonArray({1234}));
    EXPECT_EQ(done[writes.size() + 1]["values"].toArray(), QJsonArray({1}));
    EXPECT_EQ(done[writes.size() + 2]["values"].toArray(), QJsonArray({1, 2, 3}));

    plc->stop(); // the scan would move the timer values on
    plc->inspect([](sim::SimEngine &engine) {
        const sim::PlcMemory &m = engine.memory();
        EXPECT_EQ(m.dm[100], 1234);
        EXPECT_EQ(m.relays[1 * 16 + 5], 1);
        EXPECT_EQ(m.tm[7], 42);
        EXPECT_GE(m.timers.current[2], 3);
        EXPECT_EQ(m.timers.preset[5], 30);
        EXPECT_EQ(m.counters.current[3], 9);
        EXPECT_EQ(m.counters.preset[4], 11);
        EXPECT_EQ(m.highSpeed.current[1], 7);
        EXPECT_EQ(m.timers.contact[20], 1);
        EXPECT_EQ(m.counters.contact[999], 1);
        EXPECT_EQ(m.dm[201], 2);
        EXPECT_EQ(engine.counters().malformed, 0u);
    });
}

// Distinct values in every family, read back through the driver's image:
// a reply decoded into the wrong element, family or field shows at once.
TEST(Poll, EveryFamilyReadsBackWhatThePlcHolds)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("values.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("RLY 00015=1\nRLY 00100=1\nRLY 99915=1\nT 999=1\nC 5=1\nDM 0=65535\nDM 9999=4321\n"
               "TM 99=99\nTV_c 7=700\nTV_p 7=7000\nCV_c 8=800\nCV_p 8=8000\nCTH 9=909\n");
    file.close();
    sim::SimConfig config;
    config.initialValuesPath = file.fileName();
    config.scanMs = 60000; // no scan tick during the test: the values stay put
    auto plc = startSimulator(config);
    ASSERT_TRUE(plc);
    const Finished host = runPoll(hostOn(*plc, {"--format", "json", "--count", "60", "--interval", "0",
                                                "RLY00014:3", "RLY00100", "RLY99915", "T999", "C4:2", "DM0",
                                                "DM9998:2", "TM99", "TV_c7", "TV_p7", "CV_c8", "CV_p8", "CTH9"}));
    EXPECT_EQ(host.exitCode, 0) << host.err.toStdString();
    const QList<QJsonObject> values = valueRecords(host.out);
    ASSERT_FALSE(values.isEmpty()) << host.out.toStdString();
    const QJsonObject expected{{"RLY00014", 0}, {"RLY00015", 1}, {"RLY00100", 1}, {"RLY99915", 1},
                               {"T999", 1}, {"C4", 0}, {"C5", 1}, {"DM0", 65535}, {"DM9998", 0},
                               {"DM9999", 4321}, {"TM99", 99}, {"TV_c7", 700}, {"TV_p7", 7000},
                               {"CV_c8", 800}, {"CV_p8", 8000}, {"CTH9", 909}};
    EXPECT_EQ(values.last(), expected);
}

int dm0(const QString &line)
{
    return json(line)["values"].toObject()["DM0"].toInt(-1);
}

TEST(Poll, LinkRecoversAfterThePlcFallsSilent)
{
    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    Running host(QStringLiteral(ORDELIN_POLL_PROGRAM),
                 hostOn(*plc, {"--format", "json", "--timeout", "100", "--retries", "1", "DM0"}));
    const QString before = host.waitForLine([](const QString &l) { return dm0(l) >= 2; }, 5000);
    ASSERT_FALSE(before.isEmpty()) << host.seen.join('\n').toStdString();

    plc->setSilent(true);
    const auto linkIs = [](const char *state) {
        return [state](const QString &l) {
            return !json(l).contains("values") && json(l)["link"].toString() == state;
        };
    };
    ASSERT_FALSE(host.waitForLine(linkIs("down"), 5000).isEmpty()) << host.seen.join('\n').toStdString();
    QThread::msleep(400);
    plc->setSilent(false);
    ASSERT_FALSE(host.waitForLine(linkIs("up"), 5000).isEmpty()) << host.seen.join('\n').toStdString();
    const QString after = host.waitForLine([&](const QString &l) { return dm0(l) > dm0(before) + 4; }, 5000);
    EXPECT_FALSE(after.isEmpty()) << host.seen.join('\n').toStdString();

    const Finished stopped = host.stop(SIGINT);
    EXPECT_EQ(stopped.exitCode, 6) << "a request was dropped: errors seen";
    EXPECT_GE(summary(stopped.out)["dropped"].toInt(), 1);
    EXPECT_TRUE(stopped.err.contains(QLatin1String("ordelin-poll statistics"))) << stopped.err.toStdString();
    plc->inspect([](sim::SimEngine &engine) {
        EXPECT_GT(engine.counters().ignored, 0u);
        EXPECT_GE(engine.counters().startups, 2u) << "the link is opened again after the drop";
    });
}

// A cable of two pseudo-terminals (socat) with the simulator at one end: the
// host's device vanishes when it is killed and comes back with a new one.
struct Cable {
    Cable(const QString &plcEnd, const QString &hostEnd)
        : socat(QStringLiteral(SOCAT_PROGRAM), {"pty,raw,echo=0,link=" + plcEnd, "pty,raw,echo=0,link=" + hostEnd})
    {
        for (int tries = 0; tries < 250 && !QFileInfo::exists(plcEnd); ++tries)
            QThread::msleep(20);
        plc = std::make_unique<Running>(QStringLiteral(ORDELIN_SIM_PROGRAM), QStringList{"--port", plcEnd});
    }
    Running socat;
    std::unique_ptr<Running> plc;
};

TEST(Poll, ReconnectResumesWhenThePortComesBack)
{
    if (QStringLiteral(SOCAT_PROGRAM).isEmpty())
        GTEST_SKIP() << "socat is needed";
    QTemporaryDir dir;
    const QString plcEnd = dir.filePath("plc"), hostEnd = dir.filePath("host");
    auto cable = std::make_unique<Cable>(plcEnd, hostEnd);
    Running host(QStringLiteral(ORDELIN_POLL_PROGRAM),
                 {"--port", hostEnd, "--library", ORDELIN_LIBRARY_PATH, "--reconnect", "--format", "json",
                  "--timeout", "100", "--retries", "1", "DM0"});
    const auto linkIs = [](const char *state) {
        return [state](const QString &l) { return !json(l).contains("values") && json(l)["link"] == state; };
    };
    ASSERT_FALSE(host.waitForLine([](const QString &l) { return dm0(l) >= 1; }, 5000).isEmpty())
        << host.seen.join('\n').toStdString();
    cable.reset();
    const QString down = host.waitForLine(linkIs("down"), 5000);
    ASSERT_FALSE(down.isEmpty()) << host.seen.join('\n').toStdString();
    EXPECT_EQ(json(down)["outages"].toInt(), 1);
    cable = std::make_unique<Cable>(plcEnd, hostEnd);
    ASSERT_FALSE(host.waitForLine(linkIs("up"), 8000).isEmpty()) << host.seen.join('\n').toStdString();
    EXPECT_FALSE(host.waitForLine([](const QString &l) { return dm0(l) >= 1; }, 5000).isEmpty());
    const Finished stopped = host.stop(SIGINT);
    EXPECT_EQ(stopped.exitCode, 6) << "an outage is an error seen";
    EXPECT_EQ(summary(stopped.out)["outages"].toInt(), 1);
}

// Every DM word holds a value that names its address, so a reply taken for
// the wrong frame shows as a wrong value.
struct NumberedRun {
    Finished host;
    sim::FaultCounts faults;
};

NumberedRun pollNumberedWords(const sim::FaultRates &faults, quint32 seed, const QStringList &arguments)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("numbered.txt")));
    file.open(QIODevice::WriteOnly);
    for (int address = 10; address < 14; ++address)
        file.write(QStringLiteral("DM %1=%2\n").arg(address).arg(1000 + address).toLatin1());
    file.close();
    sim::SimConfig config;
    config.initialValuesPath = file.fileName();
    config.faults = faults;
    config.seed = seed;
    auto plc = startSimulator(config);
    if (!plc)
        return {};
    NumberedRun run{runPoll(hostOn(*plc, QStringList{"--format", "json"} + arguments + QStringList{"DM10:4"})), {}};
    run.faults = plc->inspect([](sim::SimEngine &engine) { return engine.faultCounts(); });
    return run;
}

void expectNumberedWords(const QString &out)
{
    const QList<QJsonObject> values = valueRecords(out);
    ASSERT_FALSE(values.isEmpty()) << out.toStdString();
    for (const QJsonObject &record : values) {
        for (int address = 10; address < 14; ++address) {
            const int value = record[QStringLiteral("DM%1").arg(address)].toInt();
            ASSERT_TRUE(value == 0 || value == 1000 + address) << "DM" << address << " = " << value;
        }
    }
}

// A reply held back past the timeout arrives while the host waits out its
// gap; it must be thrown away, not read as the answer to the next frame.
TEST(Poll, LateRepliesAreNeverTakenForTheNextFrame)
{
    sim::FaultRates faults;
    faults.delay = 0.5;
    faults.delayMs = 120;
    const NumberedRun run = pollNumberedWords(
        faults, 3, {"--timeout", "60", "--gap", "140", "--retries", "8", "--count", "30"});
    expectNumberedWords(run.host.out);
    EXPECT_GT(summary(run.host.out)["rejected"].toInt(), 0) << "the delays must have been felt";
    EXPECT_GT(run.faults.delayed, 0u);
}

TEST(Poll, ErrorRepliesAndTruncatedRepliesAreRejectedNotDecoded)
{
    sim::FaultRates faults;
    faults.error = 0.25;
    faults.truncate = 0.25;
    const NumberedRun run = pollNumberedWords(
        faults, 11, {"--timeout", "80", "--retries", "6", "--interval", "0", "--count", "200"});
    expectNumberedWords(run.host.out);
    const QJsonObject totals = summary(run.host.out);
    EXPECT_GT(totals["rejected"].toInt(), 20);
    EXPECT_GT(totals["accepted"].toInt(), 100);
}

TEST(Poll, RepliesInPiecesAreGatheredWhole)
{
    sim::SimConfig config;
    config.faults.pieces = 1;
    auto plc = startSimulator(config);
    ASSERT_TRUE(plc);
    const Finished host = runPoll(hostOn(*plc, {"--format", "json", "--interval", "0", "--count", "40",
                                                "DM0:2", "T1", "RLY00000"}));
    EXPECT_EQ(host.exitCode, 0) << host.err.toStdString();
    EXPECT_EQ(summary(host.out)["accepted"].toInt(), 40) << host.out.toStdString();
}

TEST(Poll, ABadVariableStopsWithTheDriversMessage)
{
    // No port is opened before the variables are checked: this one does not exist.
    const QStringList noPort{"--port", "/nonexistent/tty", "--library", ORDELIN_LIBRARY_PATH};
    const struct {
        QStringList arguments;
        const char *message;
    } cases[] = {
        {{"DM99999"}, "DM99999: Address Format:dddd, range:0~9999"},
        {{"--lang", "zh", "DM99999"}, "DM99999: 地址格式:dddd, 范围:0~9999"},
        {{"DM9999:2"}, "DM9999:2: Address Format:dddd, range:0~9999"},
        {{"RLY99916"}, "RLY99916: Address Format:dddDD, range:0~99915"},
        {{"TV_c1000"}, "TV_c1000: Address Format:ddd, range:0~999"},
        {{"XY5"}, "XY5: Didn't have this register!"},
        {{"DM0", "--write", "CTH10=1"}, "CTH10: Address Format:d, range:0~9"},
        {{"--once", "TM100"}, "TM100: Address Format:dd, range:0~99"},
    };
    for (const auto &c : cases) {
        const Finished host = runPoll(noPort + c.arguments, 10000);
        EXPECT_EQ(host.exitCode, 2) << c.message;
        EXPECT_EQ(host.err.trimmed(), QStringLiteral("ordelin-poll: ") + QString::fromUtf8(c.message));
    }
}

TEST(Poll, ExitCodesTellWhatWentWrong)
{
    const QString library = QStringLiteral(ORDELIN_LIBRARY_PATH);
    EXPECT_EQ(runPoll({"--port", "/nonexistent/tty", "--library", library, "DM0"}).exitCode, 4);
    EXPECT_EQ(runPoll({"--sim", "--library", "/nonexistent/libOrdelin.so", "DM0"}).exitCode, 3);
    EXPECT_EQ(runPoll({"--sim", "--format", "xml", "DM0"}).exitCode, 1);
    EXPECT_EQ(runPoll({"--sim", "--port", "/dev/null", "DM0"}).exitCode, 1);
    const Finished full = runPoll({"--sim", "--library", library, "--output", "/dev/full", "DM0"});
    EXPECT_EQ(full.exitCode, 7);
    EXPECT_TRUE(full.err.contains("cannot write the log: /dev/full: No space left on device")) << full.err.toStdString();

    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    plc->setSilent(true);
    const Finished never = runPoll(hostOn(*plc, {"--timeout", "100", "--open-timeout", "500", "DM0"}));
    EXPECT_EQ(never.exitCode, 5);
    EXPECT_TRUE(never.err.contains(QLatin1String("the link did not open"))) << never.err.toStdString();
}

TEST(Poll, TraceShowsEveryFrameAndReplyInHexAndAscii)
{
    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    const Finished host = runPoll(hostOn(*plc, {"--trace", "--count", "2", "--format", "csv", "DM5"}));
    EXPECT_EQ(host.exitCode, 0);
    const QString time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{6} ");
    for (const QString &pattern : {time + "> 43 52 0D 0A  \\|CR\\.\\.\\|",
                                   time + "< 43 43 0D 0A  \\|CC\\.\\.\\|  DataCom 1",
                                   time + "> 52 44 20 44 4D 30 30 30 35 0D 0A  \\|RD DM0005\\.\\.\\|",
                                   time + "< 30 30 30 30 30 0D 0A  \\|00000\\.\\.\\|  DataCom 1"})
        EXPECT_TRUE(host.err.contains(QRegularExpression(pattern))) << pattern.toStdString() << "\n"
                                                                    << host.err.toStdString();
}

// The settings reach the driver: no start-up exchange in protocol mode 1, and
// write mode 0 keeps writes in the driver's image.
TEST(Poll, ComInfoOptionsReachTheDriver)
{
    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    const Finished host = runPoll(hostOn(*plc, {"--protocol-mode", "1", "--write-mode", "0", "--count", "5",
                                                "--format", "json", "--write", "DM300=77", "DM300"}));
    EXPECT_EQ(host.exitCode, 0) << host.err.toStdString();
    const QList<QJsonObject> done = events(host.out);
    ASSERT_EQ(done.size(), 1);
    EXPECT_TRUE(done[0]["note"].toString().contains("image only")) << done[0]["note"].toString().toStdString();
    plc->inspect([](sim::SimEngine &engine) {
        EXPECT_EQ(engine.counters().startups, 0u);
        EXPECT_EQ(engine.counters().writes, 0u);
        EXPECT_EQ(engine.memory().dm[300], 0);
    });
}

// The README's main job: the built-in simulator, no set-up.
TEST(Poll, BuiltInSimulatorNeedsNothingButTheProgram)
{
    const Finished host = runPoll({"--sim", "--library", ORDELIN_LIBRARY_PATH, "--duration", "0.5",
                                   "--format", "json", "--write", "DM100=5", "--once", "DM100", "DM0"});
    EXPECT_EQ(host.exitCode, 0) << host.err.toStdString();
    const QList<QJsonObject> done = events(host.out);
    ASSERT_EQ(done.size(), 2) << host.out.toStdString();
    EXPECT_EQ(done[1]["values"].toArray(), QJsonArray({5}));
    EXPECT_TRUE(host.err.contains(QLatin1String("simulator: "))) << host.err.toStdString();
}

} // namespace
