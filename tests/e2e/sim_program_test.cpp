// ordelin-sim as a user runs it: its options, its pseudo-terminal, its
// counters, and a serial port given with --port.
#include "programs.h"
#include "pty_client.h"

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QTemporaryDir>
#include <QtCore/QThread>

#include <gtest/gtest.h>

namespace {

using namespace e2e;

const QString simProgram = QStringLiteral(ORDELIN_SIM_PROGRAM);

// A fault flag that is mistyped and silently ignored would make a test
// prove nothing, so every bad option must stop the program.
TEST(SimProgram, RejectsUnknownAndMalformedOptions)
{
    const QList<QStringList> bad{
        {"--bogus"}, {"--no-reply", "abc"}, {"--error", "1.5"}, {"--garble", "-0.1"},
        {"--truncate", ""}, {"--delay", "x"}, {"--pieces", "2"}, {"--delay-ms", "-1"},
        {"--seed", "-3"}, {"--scan-ms", "0"}, {"--baud", "12345"}, {"--data-bits", "9"},
        {"--parity", "mark"}, {"--stop-bits", "3"}, {"stray"}, {"--seed"},
    };
    for (const QStringList &arguments : bad) {
        const Finished run = runProgram(simProgram, arguments, 5000);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(QLatin1String("ordelin-sim: "))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << "no port may be offered: " << run.out.toStdString();
    }
}

TEST(SimProgram, HelpNamesEveryOption)
{
    const Finished run = runProgram(simProgram, {"--help"}, 5000);
    EXPECT_EQ(run.exitCode, 0);
    for (const char *option : {"--port", "--init", "--scan-ms", "--seed", "--delay-ms", "--no-reply",
                               "--error", "--garble", "--truncate", "--delay", "--pieces", "--baud",
                               "--data-bits", "--parity", "--stop-bits"})
        EXPECT_TRUE(run.out.contains(QLatin1String(option))) << option;
}

TEST(SimProgram, BadInitialValuesFileIsReportedByLine)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("init.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("DM 1=1\nDM 1=x\n# fine\nRLY 00116=1\n");
    file.close();
    const Finished run = runProgram(simProgram, {"--init", file.fileName()}, 5000);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QLatin1String("line 2:"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QLatin1String("line 4:"))) << run.err.toStdString();
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

TEST(SimProgram, FaultFlagsTakeEffect)
{
    Running simulator(simProgram, {"--no-reply", "1", "--seed", "9"});
    const QString path = simulator.waitForLine([](const QString &) { return true; }, 5000);
    {
        PtyClient host(path);
        ASSERT_TRUE(host.isOpen());
        EXPECT_TRUE(host.ask("CR\r\n", 4, 300).isEmpty());
    }
    const Finished stopped = simulator.stop(SIGINT);
    EXPECT_EQ(stopped.exitCode, 0);
    EXPECT_TRUE(stopped.out.contains(QLatin1String("faults: 1 no reply"))) << stopped.out.toStdString();
}

// Both programs on the two ends of a pseudo-terminal pair made by socat,
// the way they would sit on the two ends of a cable.
TEST(SimProgram, ServesAPortThatAHostPollsOverACable)
{
    if (QStringLiteral(SOCAT_PROGRAM).isEmpty() || QString(SOCAT_PROGRAM).endsWith(QLatin1String("NOTFOUND")))
        GTEST_SKIP() << "socat is not installed";
    QTemporaryDir dir;
    const QString plcEnd = dir.filePath(QStringLiteral("plc")), hostEnd = dir.filePath(QStringLiteral("host"));
    Running cable(QStringLiteral(SOCAT_PROGRAM),
                  {QStringLiteral("pty,raw,echo=0,link=") + plcEnd, QStringLiteral("pty,raw,echo=0,link=") + hostEnd});
    for (int i = 0; i < 100 && !(QFileInfo::exists(plcEnd) && QFileInfo::exists(hostEnd)); ++i)
        QThread::msleep(20);
    // A pseudo-terminal keeps 8 data bits and no parity whatever it is told.
    const QStringList line{"--baud", "19200", "--stop-bits", "2"};
    Running simulator(simProgram, QStringList{"--port", plcEnd} + line);
    ASSERT_EQ(simulator.waitForLine([](const QString &) { return true; }, 5000), plcEnd);
    const Finished host = runPoll(QStringList{"--port", hostEnd, "--count", "20", "--format", "json", "DM0:4"} + line);
    EXPECT_EQ(host.exitCode, 0) << host.err.toStdString();
    EXPECT_EQ(summary(host.out)[QLatin1String("accepted")].toInt(), 20) << host.out.toStdString();
}

} // namespace
