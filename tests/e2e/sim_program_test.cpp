// ordelin-sim as a user runs it: its options, its pseudo-terminal, its
// counters, and a serial port given with --port.
#include "programs.h"
#include "pty_client.h"

#include "sim/sim_options.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

#include <gtest/gtest.h>

namespace {

using namespace e2e;

const QString simProgram = QStringLiteral(ORDELIN_SIM_PROGRAM);

// A fault flag that is mistyped and silently ignored would make a test
// prove nothing, so every bad option must stop the program: the parser
// refuses each of these; one run proves the exit code.
TEST(SimProgram, RejectsUnknownAndMalformedOptions)
{
    const QList<QStringList> bad{
        {"--bogus"}, {"--no-reply", "abc"}, {"--error", "1.5"}, {"--garble", "-0.1"},
        {"--truncate", ""}, {"--delay", "x"}, {"--pieces", "2"}, {"--delay-ms", "-1"},
        {"--seed", "-3"}, {"--scan-ms", "0"}, {"--baud", "12345"}, {"--data-bits", "9"},
        {"--parity", "mark"}, {"--stop-bits", "3"}, {"stray"}, {"--seed"}, {"--reconnect"},
        {"--response-ms", "-1"}, {"--response-ms", "60001"},
    };
    for (const QStringList &arguments : bad)
        EXPECT_FALSE(sim::parseSimOptions(QStringList{"ordelin-sim"} + arguments).ok()) << arguments.join(' ').toStdString();
    EXPECT_EQ(sim::parseSimOptions({"ordelin-sim", "-x"}).error(), "unknown option -x");
    const Finished run = runProgram(simProgram, {"--bogus"}, 5000);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.trimmed(), "ordelin-sim: unknown option --bogus (see --help)");
    EXPECT_TRUE(run.out.isEmpty()) << "no port may be offered: " << run.out.toStdString();
}

TEST(SimProgram, AnswersOnItsPseudoTerminalAndCountsUntilStopped)
{
    Running simulator(simProgram, {"--no-reply", "0"});
    const QString path = simulator.waitForLine([](const QString &) { return true; }, 5000);
    ASSERT_TRUE(path.startsWith(QLatin1String("/dev/"))) << path.toStdString();
    {
        PtyClient host(path);
        ASSERT_TRUE(host.isOpen());
        EXPECT_EQ(host.ask("CR\r\n", 4), "CC\r\n");
        EXPECT_EQ(host.ask("WR DM0100 04321\r\n", 4), "OK\r\n");
        EXPECT_EQ(host.ask("RD DM0100\r\n", 7), "04321\r\n");
        EXPECT_EQ(host.ask("RD DM10000\r\n", 4), "E1\r\n");
    }
    const Finished stopped = simulator.stop(SIGTERM);
    EXPECT_EQ(stopped.exitCode, 0);
    EXPECT_TRUE(stopped.out.contains(
        QLatin1String("4 commands: 1 start-ups, 1 reads, 1 writes, 1 malformed, 0 ignored")))
        << stopped.out.toStdString();
}

// Clock ticks of CPU time the process has used so far.
long cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = stat.readAll().split(')').last().split(' ');
    return fields.value(12).toLong() + fields.value(13).toLong(); // utime, stime
}

// The port's other end goes away: the simulator says so and exits 3, or
// with --reconnect sleeps until it comes back; it never spins.
TEST(SimProgram, APortThatHangsUpEndsTheRunOrIsWaitedFor)
{
    if (!Cable::available())
        GTEST_SKIP() << "socat is not installed";
    for (bool reconnect : {false, true}) {
        QTemporaryDir dir;
        const QString plcEnd = dir.filePath("plc");
        auto cable = std::make_unique<Cable>(plcEnd, dir.filePath("host"));
        Running simulator(simProgram, QStringList{"--port", plcEnd} + (reconnect ? QStringList{"--reconnect"} : QStringList{}));
        ASSERT_EQ(simulator.waitForLine([](const QString &) { return true; }, 5000), plcEnd);
        cable.reset();
        if (!reconnect) {
            const bool ended = simulator.process.waitForFinished(5000);
            EXPECT_TRUE(ended);
            EXPECT_EQ(simulator.process.exitCode(), 3);
            EXPECT_TRUE(simulator.process.readAllStandardError().contains("hung up"));
            continue;
        }
        QThread::msleep(300);
        const long before = cpuTicks(simulator.process.processId());
        QThread::msleep(1500);
        const long used = cpuTicks(simulator.process.processId()) - before;
        std::printf("hung up with --reconnect: %ld clock ticks of CPU in 1.5 s\n", used);
        EXPECT_LE(used, 10) << "it spins";
        const Finished stopped = simulator.stop(SIGTERM);
        EXPECT_EQ(stopped.exitCode, 0);
        EXPECT_TRUE(stopped.err.contains("waiting for " + plcEnd + " to come back")) << stopped.err.toStdString();
    }
}

// A port that is not there yet: without --reconnect the run ends (exit 3);
// with it the simulator says it waits, serves the port once it appears, and
// a stop signal ends the wait at once.
TEST(SimProgram, APortNotThereYetIsWaitedForWithReconnect)
{
    if (!Cable::available())
        GTEST_SKIP() << "socat is not installed";
    QTemporaryDir dir;
    const QString plcEnd = dir.filePath("plc"), hostEnd = dir.filePath("host");
    const Finished refused = runProgram(simProgram, {"--port", plcEnd}, 5000);
    EXPECT_EQ(refused.exitCode, 3);
    for (bool appears : {false, true}) {
        Running simulator(simProgram, {"--port", plcEnd, "--reconnect"});
        QThread::msleep(1200);
        EXPECT_EQ(simulator.process.state(), QProcess::Running) << "it must wait, not exit";
        std::unique_ptr<Cable> cable;
        if (appears) {
            cable = std::make_unique<Cable>(plcEnd, hostEnd);
            ASSERT_EQ(simulator.waitForLine([](const QString &) { return true; }, 3000), plcEnd);
            PtyClient host(hostEnd);
            ASSERT_TRUE(host.isOpen());
            EXPECT_EQ(host.ask("CR\r\n", 4), "CC\r\n");
        }
        QElapsedTimer took;
        took.start();
        const Finished stopped = simulator.stop(SIGTERM, 5000);
        EXPECT_LT(took.elapsed(), 1000) << "a stop ends the wait at once";
        EXPECT_EQ(stopped.exitCode, 0);
        EXPECT_TRUE(stopped.err.contains("waiting for " + plcEnd + " to appear (--reconnect)")) << stopped.err.toStdString();
    }
}

} // namespace
