// ordelin-poll, loading the built driver, polls a simulator over a real
// pseudo-terminal. The simulator runs in this test's process so the test can
// look into the PLC's memory and make the PLC fall silent.
#include "programs.h"

#include "host/reply_judge.h"
#include "host/request_set.h"
#include "poll/poll_options.h"
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
    ASSERT_GE(lines.size(), 7) << host.out.toStdString();
    EXPECT_EQ(lines[0], "time,clock,link,DM0,DM0 state,RLY00000,RLY00000 state,TV_c1,TV_c1 state,TV_p1,TV_p1 state,T1,T1 state");
    const QRegularExpression wallClock(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)");
    int previousCount = -1;
    EXPECT_EQ(lines[1].section(',', 2), "up,,never read,,never read,,never read,,never read,,never read") << "the link opened";
    for (const QString &line : lines.mid(2)) {
        const QStringList cells = line.split(',');
        ASSERT_EQ(cells.size(), 13) << line.toStdString();
        EXPECT_TRUE(wallClock.match(cells[1]).hasMatch()) << line.toStdString();
        EXPECT_EQ(cells.mid(2).filter(QRegularExpression("^(up|fresh)$")).size(), 6) << line.toStdString();
        EXPECT_GE(cells[3].toInt(), previousCount); // DM 0 counts scan ticks
        previousCount = cells[3].toInt();
        EXPECT_EQ(cells[9], "20"); // timer 1's preset
    }
    EXPECT_GE(previousCount, 10);
    EXPECT_GT(lines.last().split(',')[7].toInt(), lines[2].split(',')[7].toInt()); // timer 1 runs
}

// Every family's write command, each checked in the PLC's memory; then read
// back through once-reads and the cyclic list.
TEST(Poll, WritesReachThePlcAndReadBack)
{
    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    const QStringList writes{"DM100=1234", "RLY00105=1", "TM7=42", "TV_c2=3", "TV_p5=30",
                             "CV_c3=9", "CV_p4=11", "CTH1=7", "T20=1", "C999=1", "DM200=1,-2,0x1F",
                             "DM300@float32=-12.5"};
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
    EXPECT_EQ(done[writes.size() + 2]["values"].toArray(), QJsonArray({1, 0xFFFE, 0x1F}));

    plc->stop(); // the scan would move the timer values on
    plc->inspect([](sim::SimEngine &engine) {
        const sim::PlcMemory &m = engine.memory();
        EXPECT_EQ(m.dm[100], 1234);
        EXPECT_EQ(m.relays[1 * 16 + 5], 1);
        EXPECT_EQ(m.timers.preset[5], 30);
        EXPECT_EQ(m.counters.current[3], 9);
        EXPECT_EQ(m.timers.contact[20], 1);
        EXPECT_EQ(m.counters.contact[999], 1);
        EXPECT_EQ(m.dm[201], 0xFFFE);
        EXPECT_EQ(m.dm[301] << 16 | m.dm[300], 0xC1480000); // -12.5, low word first
        EXPECT_EQ(engine.counters().malformed, 0u);
    });
    // --verify reads each completed write back.
    auto other = startSimulator();
    ASSERT_TRUE(other);
    const Finished verified = runPoll(hostOn(*other, {"--format", "json", "--verify", "--write", "DM400=77,-1"}));
    EXPECT_EQ(verified.exitCode, 0) << verified.err.toStdString();
    const QList<QJsonObject> checked = events(verified.out);
    ASSERT_EQ(checked.size(), 2) << verified.out.toStdString();
    EXPECT_EQ(checked[1]["event"], "verify");
    EXPECT_EQ(checked[1]["note"], "read back as written");
    EXPECT_EQ(checked[1]["values"].toArray(), QJsonArray({77, 0xFFFF}));
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
    // The value read before the outage is shown stale since it was read, never "up" and fresh.
    const QString stale = host.waitForLine([](const QString &l) { return json(l)["quality"].toObject()["DM0"] == "stale"; }, 5000);
    ASSERT_FALSE(stale.isEmpty()) << host.seen.join('\n').toStdString();
    EXPECT_NE(json(stale)["link"].toString(), "up");
    EXPECT_LE(json(stale)["read_at"].toObject()["DM0"].toDouble(), json(stale)["time"].toDouble());
    EXPECT_EQ(dm0(stale), dm0(host.seen.filter("\"fresh\"").last()));
    ASSERT_FALSE(host.waitForLine(linkIs("down"), 5000).isEmpty()) << host.seen.join('\n').toStdString();
    QThread::msleep(400);
    plc->setSilent(false);
    ASSERT_FALSE(host.waitForLine(linkIs("up"), 5000).isEmpty()) << host.seen.join('\n').toStdString();
    const QString after = host.waitForLine([&](const QString &l) { return dm0(l) > dm0(before) + 4; }, 5000);
    EXPECT_FALSE(after.isEmpty()) << host.seen.join('\n').toStdString();

    const Finished stopped = host.stop(SIGINT);
    EXPECT_EQ(stopped.exitCode, 6) << "a request was dropped: errors seen";
    EXPECT_GE(summary(stopped.out)["dropped"].toInt(), 1);
    EXPECT_TRUE(stopped.err.contains(pollName() + " statistics")) << stopped.err.toStdString();
}

TEST(Poll, ReconnectResumesWhenThePortComesBack)
{
    if (!Cable::available())
        GTEST_SKIP() << "socat is needed";
    QTemporaryDir dir;
    const QString plcEnd = dir.filePath("plc"), hostEnd = dir.filePath("host");
    auto cable = std::make_unique<PlcOnCable>(plcEnd, hostEnd);
    { // Without --reconnect the run ends, and its last record says the link is down.
        Running once(QStringLiteral(ORDELIN_POLL_PROGRAM),
                     {"--port", hostEnd, "--library", ORDELIN_LIBRARY_PATH, "--format", "json", "DM0"});
        ASSERT_FALSE(once.waitForLine([](const QString &l) { return dm0(l) >= 1; }, 5000).isEmpty());
        cable.reset();
        const Finished ended = once.stop(0);
        EXPECT_EQ(ended.exitCode, 4);
        QJsonObject last;
        for (const QJsonObject &record : records(ended.out))
            last = record.contains("values") ? record : last;
        EXPECT_EQ(last["link"], "down") << ended.out.toStdString();
        EXPECT_EQ(last["quality"].toObject()["DM0"], "stale") << ended.out.toStdString();
    }
    // With --reconnect a port that is not there yet is waited for.
    Running host(QStringLiteral(ORDELIN_POLL_PROGRAM),
                 {"--port", hostEnd, "--library", ORDELIN_LIBRARY_PATH, "--reconnect", "--format", "json",
                  "--timeout", "100", "--retries", "1", "DM0"});
    const auto linkIs = [](const char *state) {
        return [state](const QString &l) { return !json(l).contains("values") && json(l)["link"] == state; };
    };
    ASSERT_FALSE(host.waitForLine(linkIs("down"), 5000).isEmpty()) << host.seen.join('\n').toStdString();
    cable = std::make_unique<PlcOnCable>(plcEnd, hostEnd);
    ASSERT_FALSE(host.waitForLine([](const QString &l) { return dm0(l) >= 1; }, 5000).isEmpty())
        << host.seen.join('\n').toStdString();
    cable.reset();
    const QString down = host.waitForLine(linkIs("down"), 5000);
    ASSERT_FALSE(down.isEmpty()) << host.seen.join('\n').toStdString();
    EXPECT_EQ(json(down)["outages"].toInt(), 2);
    // At once, not when each value is read again.
    const QString stale = host.waitForLine([](const QString &l) { return json(l).contains("values"); }, 2000);
    EXPECT_EQ(json(stale)["link"], "down") << stale.toStdString();
    EXPECT_EQ(json(stale)["quality"].toObject()["DM0"], "stale") << stale.toStdString();
    cable = std::make_unique<PlcOnCable>(plcEnd, hostEnd);
    ASSERT_FALSE(host.waitForLine(linkIs("up"), 8000).isEmpty()) << host.seen.join('\n').toStdString();
    EXPECT_FALSE(host.waitForLine([](const QString &l) { return dm0(l) >= 1; }, 5000).isEmpty());
    const Finished stopped = host.stop(SIGINT);
    EXPECT_EQ(stopped.exitCode, 6) << "an outage is an error seen";
    EXPECT_EQ(summary(stopped.out)["outages"].toInt(), 2);
    // The port's own words ("the port hung up", "Input/output error"), in the
    // summary and in the records while it was down.
    const QString cause = summary(stopped.out)["last_outage"].toString();
    EXPECT_FALSE(cause.isEmpty());
    EXPECT_TRUE(stopped.out.contains("\"port_failure\":\"" + cause + "\"")) << stopped.out.toStdString();
    EXPECT_TRUE(stopped.err.contains("waiting for it (--reconnect)")) << stopped.err.toStdString();
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
            const QJsonValue value = record[QStringLiteral("DM%1").arg(address)];
            ASSERT_TRUE(value.isNull() || value.toInt() == 1000 + address) << "DM" << address << " = " << value.toInt();
        }
    }
}

// A reply held back past the timeout, and past the guard after it, comes
// while a later frame waits; after a retry the PLC may answer twice. The
// host must never show such a reply under another address: every value
// shown, fresh or not, is its own address's, and a value is fresh only
// while the line is known to be in order.
TEST(Poll, LateRepliesAreNeverTakenForTheNextFrame)
{
    for (const int delayMs : {300, 450}) {
        sim::FaultRates faults;
        faults.delay = 0.3;
        faults.delayMs = delayMs;
        const NumberedRun run = pollNumberedWords(faults, 3, {"--timeout", "200", "--interval", "0", "--count", "30"});
        expectNumberedWords(run.host.out);
        EXPECT_GT(run.faults.delayed, 3u) << delayMs;
        EXPECT_GT(summary(run.host.out)["late_bytes"].toInt(), 0) << "the delays must have been felt";
    }
}

// A device that sends a stray byte every 20 ms after a normal start: the
// line can never be made quiet. That is an outage, not a stall: records
// keep coming at least once a second, the link goes down, the value read
// before goes stale, and the exit code says so.
TEST(Poll, AChatteringLineIsAnOutageNotAStall)
{
    sim::SimConfig config;
    config.faults.chatterMs = 20;
    auto plc = startSimulator(config);
    ASSERT_TRUE(plc);
    const Finished run = runPoll(hostOn(*plc, {"--format", "json", "--timeout", "200", "--duration", "5", "DM0"}));
    EXPECT_EQ(run.exitCode, 6) << run.err.toStdString();
    double last = 0;
    QJsonObject final;
    for (const QJsonObject &record : records(run.out)) {
        if (!record.contains("values") || record.contains("event"))
            continue;
        EXPECT_LE(record["time"].toDouble() - last, 1.05) << "a gap in the records";
        last = record["time"].toDouble();
        final = record;
    }
    EXPECT_GE(last, 4.0);
    EXPECT_EQ(final["link"].toString(), "down");
    EXPECT_EQ(final["quality"].toObject()["DM0"].toString(), "stale");
    EXPECT_GT(summary(run.out)["dropped"].toInt(), 0);
}

// A silent PLC and a reply timeout of ten minutes: a Ctrl-C, a second one,
// and --open-timeout all end the run at once, with the summary, and the
// value never read is shown as such.
TEST(Poll, SignalsAndOpenTimeoutEndTheRunAtOnce)
{
    auto plc = startSimulator();
    ASSERT_TRUE(plc);
    plc->setSilent(true);
    // Ctrl-C once, twice, and a hang-up (a closed terminal), which stops a run the same way.
    for (const auto &[interrupts, signal] : {std::pair{1, SIGINT}, std::pair{2, SIGINT}, std::pair{1, SIGHUP}}) {
        const auto commands = [&] { return plc->inspect([](sim::SimEngine &e) { return e.counters().commands; }); };
        const quint64 before = commands();
        Running host(QStringLiteral(ORDELIN_POLL_PROGRAM), hostOn(*plc, {"--timeout", "600000", "DM0"}));
        for (int i = 0; i < 250 && commands() == before; ++i)
            QThread::msleep(20); // until its start-up frame is out: it waits for the reply
        QElapsedTimer clock;
        clock.start();
        if (interrupts == 2)
            ::kill(pid_t(host.process.processId()), SIGINT);
        const Finished stopped = host.stop(signal);
        std::printf("ended %lld ms after %d signal %d\n", (long long)clock.elapsed(), interrupts, signal);
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_EQ(stopped.exitCode, 5) << "the link never opened";
        EXPECT_TRUE(stopped.out.contains(QRegularExpression("DM0 +never read +-"))) << stopped.out.toStdString();
        EXPECT_TRUE(stopped.out.contains(pollName() + " statistics")) << stopped.out.toStdString();
    }
    QElapsedTimer clock;
    clock.start();
    const Finished never = runPoll(hostOn(*plc, {"--timeout", "600000", "--open-timeout", "300", "DM0"}));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(never.exitCode, 5);
    EXPECT_EQ(never.err.trimmed(), pollName() + ": the link did not open within 300 ms (--open-timeout)");
}

// Error replies and cut ones are rejected, never decoded; replies that come
// in pieces are gathered whole.
TEST(Poll, FaultyRepliesAreRejectedAndPiecesGathered)
{
    sim::FaultRates faults;
    faults.error = 0.25;
    faults.truncate = 0.25;
    faults.pieces = 0.3;
    const NumberedRun run = pollNumberedWords(
        faults, 11, {"--timeout", "80", "--retries", "6", "--interval", "0", "--count", "200"});
    expectNumberedWords(run.host.out);
    const QJsonObject totals = summary(run.host.out);
    EXPECT_GT(totals["rejected"].toInt(), 20);
    EXPECT_GT(totals["accepted"].toInt(), 100);
}

// When the bytes on the line make a reply, and what the counters call a
// rejected one.
TEST(ReplyJudge, CompletionAndCausesInWords)
{
    const struct {
        QByteArray received;
        int replyLength, end;
        const char *cause;
    } cases[] = {
        {"", 7, -1, "no reply"},         {"0012", 7, -1, "bad length"},
        {"00123\r\n", 7, 7, "bad form"}, {"E1\r\n", 7, 4, "error reply"},
        {"OK\r\nX", 4, 4, "bad length"}, {"1234567", 7, 7, "bad form"},
        {"1\r\n\r\n", 3, 3, "bad length"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(pollhost::replyEnd(c.received, c.replyLength), c.end) << c.received.constData();
        EXPECT_EQ(pollhost::rejectionCause(c.received, c.replyLength), c.cause) << c.received.constData();
    }
}

// Everything refused before a byte is sent, with the message the user
// reads: the option parser (exit 1) or the request checks (exit 2), called
// directly; one process run proves the exit code.
TEST(Refused, VariablesWritesAndOptionsBeforeAnythingIsSent)
{
    const auto api = pollhost::loadDriver(ORDELIN_LIBRARY_PATH);
    ASSERT_TRUE(api.ok()) << api.error().toStdString();
    QTemporaryDir dir;
    const QString first = dir.filePath("a.txt"), second = dir.filePath("b.txt");
    { QFile f(first); f.open(QIODevice::WriteOnly); f.write("DM1 # fine\n"); }
    { QFile f(second); f.open(QIODevice::WriteOnly); f.write("DM2\n  DM3 XX3\n"); }
    const QString plant = dir.filePath("plant.json"), broken = dir.filePath("broken.json");
    { QFile f(plant); f.open(QIODevice::WriteOnly);
      f.write(R"({"tags": [{"name": "oven_temp", "address": "DM100", "type": "int16", "scale": 0.1, "unit": "C"}]})"); }
    { QFile f(broken); f.open(QIODevice::WriteOnly); f.write(R"({"line": {"speed": 9600}})"); }
    const QString even = dir.filePath("even.json");
    { QFile f(even); f.open(QIODevice::WriteOnly); f.write(R"({"line": {"parity": "Even"}})"); }
    const QString lines = dir.filePath("lines.json"), slash = dir.filePath("slash.json");
    { QFile f(lines); f.open(QIODevice::WriteOnly); f.write(R"({"lines": [{"name": "press"}, {"name": "oven"}]})"); }
    { QFile f(slash); f.open(QIODevice::WriteOnly); f.write(R"({"lines": [{"name": "press/1"}]})"); }
    const QString quoted = dir.filePath("quoted.json");
    { QFile f(quoted); f.open(QIODevice::WriteOnly); f.write(R"({"tags": [{"name": "t", "address": "DM0", "scale": "0.1"}]})"); }
    const struct {
        QStringList arguments;
        int stage; // 1 option, 2 request
        QString message;
    } cases[] = {
        {{"DM99999"}, 2, "DM99999: Address Format:dddd, range:0~9999"},
        {{"--lang", "zh", "DM99999"}, 2, "DM99999: 地址格式:dddd, 范围:0~9999"},
        {{"DM9999:2"}, 2, "DM9999:2: the run is too long: DM ends at DM9999, and 2 elements from DM9999 pass its end"},
        {{"RLY99915:2"}, 2, "RLY99915:2: the run is too long: RLY ends at RLY99915, and 2 elements from RLY99915 pass its end"},
        {{"RLY01016"}, 2, "RLY01016: relay addresses are channel ddd and bit DD from 00 to 15; the driver would poll RLY01100 instead"},
        {{"--write", "RLY01016=1"}, 2, "RLY01016: relay addresses are channel ddd and bit DD from 00 to 15; the driver would poll RLY01100 instead"},
        {{"--once", "RLY00116"}, 2, "RLY00116: relay addresses are channel ddd and bit DD from 00 to 15; the driver would poll RLY00200 instead"},
        {{"TV5"}, 2, "TV5: the driver accepts TV addresses but never reads or writes them; the families it polls here are TV_c, TV_p"},
        {{"--once", "TV5"}, 2, "TV5: the driver accepts TV addresses but never reads or writes them; the families it polls here are TV_c, TV_p"},
        {{"dm5"}, 2, "dm5: family names are case-sensitive: DM, not dm"},
        {{"DM0", "--write", "CTH10=1"}, 2, "CTH10: Address Format:d, range:0~9"},
        {{"--write", "DM1=70000"}, 2, "DM1=70000: value '70000' is not -32768 to 65535"},
        {{"DM110@floaty"}, 2, "'DM110@floaty' is not a typed variable: expected ADDRESS[:COUNT]@TYPE, e.g. DM110:2@float32 "
                              "(types: bool, uint16, int16, bcd16, hex16, uint32, int32, float32)"},
        {{"--file", first, "--file", second}, 2, second + " line 2: XX3: Didn't have this register!"},
        {{"--bogus", "DM0"}, 1, "unknown option --bogus"},
        {{"DM0", "--sim"}, 1, "give either --port DEVICE or --sim"},
        {{"--config", plant, "--write", "oven_temp=4000 C"}, 2, "tag 'oven_temp': 4000 C does not fit int16 (-3276.8 to 3276.7 C)"},
        {{"--config", plant, "--write", "oven_temp=1,2"}, 2, "oven_temp=1,2: tag 'oven_temp' takes one value, not 2"},
        {{"--config", plant, "--write", "nosuch=1"}, 2, "nosuch=1: no tag 'nosuch' in " + plant},
        {{"--once", "energy"}, 2, "'energy' is neither an address (e.g. DM100) nor a tag: no project file was given (--config)"},
        {{"--config", broken}, 2, broken + ": unknown line field 'speed'"},
        {{"--config", even, "--sim"}, 2, even + ": line field 'parity': 'Even' is not one of none, even, odd"},
        {{"--config", quoted}, 2, quoted + ": tag 't': 'scale' must be a number"},
        {{"--config", lines}, 2, lines + ": the file holds several lines (press, oven): choose one with --line NAME"},
        {{"--config", lines, "--line", "pack"}, 2, lines + ": --line pack: no such line; the file's lines are press, oven"},
        {{"--config", plant, "--line", "press"}, 2, plant + ": --line press: the file holds one line, without a name"},
        {{"--config", slash}, 2, slash + ": line 'press/1': a line's name becomes a topic level, so it may not be empty or hold /, + or #"},
        {{"--line", "press", "DM0"}, 1, "--line needs --config"},
        {{"--config", dir.filePath("none.json")}, 2, dir.filePath("none.json") + ": No such file or directory"},
        {{"--rotate", "10M", "DM0"}, 1, "--rotate and --keep need --output"},
        {{"--stale-after", "2s", "DM0"}, 1, "--stale-after: '2s' is not an integer from 0 to 86400000"},
        {{"--output", "log.csv", "--rotate", "10X", "DM0"}, 1, "--rotate: '10X' is not a size such as 10M or 512k, nor daily"},
    };
    for (const auto &c : cases) {
        const auto options = pollhost::parsePollOptions(QStringList{"ordelin-poll", "--port", "/nonexistent"} + c.arguments);
        QString message = options.ok() ? options.value().projectError : options.error();
        if (options.ok() && message.isEmpty()) {
            const pollhost::PollOptions &o = options.value();
            const auto set = pollhost::buildRequests(api.value(), o.variables, {o.projectTags, o.projectPath},
                                                     o.writes, o.onceReads, o.host.language);
            message = set.ok() ? QString() : set.error();
        }
        EXPECT_EQ(options.ok() ? 2 : 1, c.stage) << c.arguments.join(' ').toStdString();
        EXPECT_EQ(message, c.message) << c.arguments.join(' ').toStdString();
    }
    const Finished host = runPoll({"--port", "/nonexistent/tty", "--library", ORDELIN_LIBRARY_PATH, "RLY01016"}, 10000);
    EXPECT_EQ(host.exitCode, 2);
    EXPECT_EQ(host.err.trimmed(), pollName() + ": " + cases[4].message);
}

// A PLC that hears only its own rate is found among the usual rates and
// framings (a pseudo-terminal refuses or cannot tell the framings apart),
// well within the time of a first visit; one at a rate outside them is
// reported as not found.
TEST(Poll, AScanFindsTheRateThePlcAnswersAt)
{
    const struct {
        qint32 plcBaud;
        int exitCode;
        QString found;
    } cases[] = {
        {19200, 0, "use: " + pollName() + " --port %1 --baud 19200 --data-bits 8 --parity none --stop-bits 1"},
        {300, 9, "no setting answered on %1"},
    };
    for (const auto &c : cases) {
        sim::SimConfig config;
        config.strictBaud = true;
        config.line.settings.baud = c.plcBaud;
        const auto plc = startSimulator(config);
        ASSERT_TRUE(plc);
        QElapsedTimer took;
        took.start();
        const Finished run = runPoll({"--scan", "--port", plc->portName()}, 20000);
        EXPECT_LT(took.elapsed(), 10000);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        EXPECT_TRUE((run.out + run.err).contains(c.found.arg(plc->portName()))) << run.out.toStdString();
        const int tried = QRegularExpression("^(\\d+) settings tried", QRegularExpression::MultilineOption)
                              .match(run.out).captured(1).toInt();
        EXPECT_GE(tried, 12) << run.out.toStdString();
        // Only the commands at the PLC's rate reached it, and each was an answer listed.
        const quint64 heard = plc->inspect([](sim::SimEngine &e) { return e.counters().commands; });
        EXPECT_EQ(heard, quint64(run.out.count("answered in"))) << run.out.toStdString();
    }
}

TEST(Poll, ExitCodesTellWhatWentWrong)
{
    const QString library = QStringLiteral(ORDELIN_LIBRARY_PATH);
    EXPECT_EQ(runPoll({"--port", "/nonexistent/tty", "--library", library, "DM0"}).exitCode, 4);
    // A port that takes no setting is missing, not a PLC set otherwise (9).
    EXPECT_EQ(runPoll({"--scan", "--port", "/nonexistent/tty"}).exitCode, 4);
    const Finished noLibrary = runPoll({"--sim", "--library", "/nonexistent/libOrdelin.so", "DM0"});
    EXPECT_EQ(noLibrary.exitCode, 3);
    EXPECT_TRUE(noLibrary.err.contains("cannot load the driver library /nonexistent/libOrdelin.so: no such file"))
        << noLibrary.err.toStdString();
    EXPECT_EQ(runPoll({"--sim", "--format", "xml", "DM0"}).exitCode, 1);
    EXPECT_EQ(runPoll({"--sim", "--sim-options", "--init /nonexistent/init.txt", "DM0"}).exitCode, 2);
    // A once-read the driver's full list did not take is not done: exit 6.
    const Finished full = runPoll({"--sim", "--library", library, "--format", "json", "--once", "DM0:1020", "--once", "DM0:9"});
    EXPECT_EQ(full.exitCode, 6) << full.err.toStdString();
    const QList<QJsonObject> done = events(full.out);
    ASSERT_EQ(done.size(), 2) << full.out.toStdString();
    EXPECT_EQ(done[1]["note"].toString(), "answered 4 of 9 elements; not queued, the driver's list was full: DM4 DM5 DM6 DM7 DM8");
    EXPECT_EQ(done[1]["values"].toArray().last(), QJsonValue());
    // Files: a log that cannot be written, standard output among them, and
    // files the run must not replace.
    QTemporaryDir dir;
    const QString project = dir.filePath("p.json"), other = dir.filePath("notes.csv");
    { QFile f(project); f.open(QIODevice::WriteOnly); f.write(R"({"tags": [{"name": "t", "address": "DM0"}]})"); }
    { QFile f(other); f.open(QIODevice::WriteOnly); f.write("my notes\n"); }
    const struct {
        QStringList arguments;
        QString standardOutput;
        QString message;
    } files[] = {
        {{"--output", "/dev/full", "DM0"}, {}, "cannot write the log: /dev/full: No space left on device"},
        {{"--format", "csv", "--duration", "1", "DM0"}, "/dev/full", "standard output: No space left on device"},
        {{"--save-config", project, "DM1"}, {}, project + " exists: not replaced without --force"},
        {{"--config", project, "--output", project}, {}, "--output " + project + " is one of the run's own input files"},
        {{"--output", other, "DM0"}, {}, other + ": it exists and is no log of this kind"},
    };
    for (const auto &c : files) {
        const Finished run = runPoll(QStringList{"--sim", "--library", library} + c.arguments, 20000, c.standardOutput);
        EXPECT_EQ(run.exitCode, 8) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
    }
    QFile notes(other);
    notes.open(QIODevice::ReadOnly);
    EXPECT_EQ(notes.readAll(), "my notes\n");
}

// The built-in simulator paces at the host's line settings, and both ends
// count the same bytes: the start-up (4 out, 4 back) and 29 DM reads (11
// out, 7 back), 530 bytes of 10 bits at 115200 baud for 30 exchanges.
TEST(Poll, APacedBuiltInSimulatorTakesTheHostsLineSettings)
{
    const Finished run = runPoll({"--sim", "--baud", "115200", "--sim-options", "--pace", "--interval", "0",
                                  "--count", "30", "--format", "csv", "DM0"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("exchanges/s of 652 the line allows at 115200 8N1")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("simulator: line 115200 8N1 paced: the wire allows 652.1 exchanges/s"))
        << run.err.toStdString();
    EXPECT_EQ(runPoll({"--sim", "--sim-options", "--baud 9600", "DM0"}).exitCode, 1);
    // At 300 baud a read command alone takes 367 ms on the wire: the reply's
    // timeout counts from when it has left.
    const Finished slow = runPoll({"--sim", "--baud", "300", "--sim-options", "--pace", "--timeout", "300",
                                   "--count", "3", "--format", "csv", "DM0"});
    EXPECT_EQ(slow.exitCode, 0) << slow.err.toStdString();
    EXPECT_TRUE(slow.err.contains("3 exchanges, 3 accepted")) << slow.err.toStdString();
    // The PLC's answer time is the reply's own wire time: 133 ms for the
    // start-up's 4 bytes, 233 ms for a read's 7, within the
    // histogram's step and the simulator's own lateness.
    EXPECT_TRUE(slow.err.contains(QRegularExpression("reply time min 1[34]\\d[.]\\d ms, median 2[23]\\d[.]\\d ms"))) << slow.err.toStdString();
}

} // namespace
