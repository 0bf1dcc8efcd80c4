// Running the two programs as a user would, with every wait bounded.
#ifndef ORDELIN_TESTS_E2E_PROGRAMS_H
#define ORDELIN_TESTS_E2E_PROGRAMS_H

#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QStringList>
#include <QtCore/QThread>

#include <functional>
#include <memory>

#include <csignal>

namespace e2e {

struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program to its end; a program still running after `timeoutMs` is
// killed and reported with exit code -1.
inline Finished runProgram(const QString &program, const QStringList &arguments, int timeoutMs = 20000,
                           const QString &standardOutput = {})
{
    QProcess process;
    if (!standardOutput.isEmpty())
        process.setStandardOutputFile(standardOutput);
    process.start(program, arguments);
    Finished done;
    if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit) {
        done.exitCode = process.exitCode();
    } else {
        process.kill();
        process.waitForFinished(2000);
    }
    done.out = QString::fromUtf8(process.readAllStandardOutput());
    done.err = QString::fromUtf8(process.readAllStandardError());
    return done;
}

#ifdef ORDELIN_POLL_PROGRAM // not built with the monitor's tests
inline Finished runPoll(const QStringList &arguments, int timeoutMs = 20000, const QString &standardOutput = {})
{
    return runProgram(QStringLiteral(ORDELIN_POLL_PROGRAM), arguments, timeoutMs, standardOutput);
}

// How the poller names itself: "ordelin-poll", or "ordelin-poll-qt6".
inline QString pollName()
{
    return QFileInfo(QStringLiteral(ORDELIN_POLL_PROGRAM)).fileName();
}
#endif

// A program watched while it runs, line by line of its standard output.
class Running {
public:
    Running(const QString &program, const QStringList &arguments)
    {
        process.start(program, arguments);
        process.waitForStarted(5000);
    }
    ~Running()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    // Waits until a new line satisfies `wanted`; returns it, or an empty
    // string when `timeoutMs` passes first.
    QString waitForLine(const std::function<bool(const QString &)> &wanted, int timeoutMs)
    {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                seen << line;
                if (wanted(line))
                    return line;
            }
            const qint64 left = timeoutMs - clock.elapsed();
            if (left <= 0 || (!process.waitForReadyRead(int(left)) && !process.canReadLine()))
                return {};
        }
    }

    // Sends a signal and collects the rest of the run.
    Finished stop(int signal = SIGINT, int timeoutMs = 10000)
    {
        ::kill(pid_t(process.processId()), signal);
        Finished done;
        if (process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit)
            done.exitCode = process.exitCode();
        done.out = seen.join(QLatin1Char('\n')) + QLatin1Char('\n')
                 + QString::fromUtf8(process.readAllStandardOutput());
        done.err = QString::fromUtf8(process.readAllStandardError());
        return done;
    }

    QProcess process;
    QStringList seen;
};

inline QJsonObject json(const QString &line)
{
    return QJsonDocument::fromJson(line.toUtf8()).object();
}

// The JSON records of an output, in order.
inline QList<QJsonObject> records(const QString &out)
{
    QList<QJsonObject> all;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        all << json(line);
    return all;
}

inline QList<QJsonObject> valueRecords(const QString &out)
{
    QList<QJsonObject> values;
    for (const QJsonObject &record : records(out)) {
        if (record.contains(QLatin1String("values")) && !record.contains(QLatin1String("event")))
            values << record[QLatin1String("values")].toObject();
    }
    return values;
}

inline QJsonObject summary(const QString &out)
{
    for (const QJsonObject &record : records(out)) {
        if (record.contains(QLatin1String("summary")))
            return record[QLatin1String("summary")].toObject();
    }
    return {};
}

// Both ends of a cable: a pseudo-terminal pair made by socat, linked at the
// paths given, so a cable made again comes back under the same names.
struct Cable {
    Cable(const QString &plcEnd, const QString &hostEnd)
        : socat(QStringLiteral(SOCAT_PROGRAM), {"pty,raw,echo=0,link=" + plcEnd, "pty,raw,echo=0,link=" + hostEnd}),
          ends{plcEnd, hostEnd}
    {
        for (int i = 0; i < 250 && !(QFileInfo::exists(plcEnd) && QFileInfo::exists(hostEnd)); ++i)
            QThread::msleep(20);
    }
    // A killed socat leaves its links behind, pointing at pseudo-terminal
    // numbers that another test running beside this one may get next.
    ~Cable()
    {
        socat.process.kill();
        socat.process.waitForFinished(5000);
        for (const QString &end : ends)
            QFile::remove(end);
    }
    static bool available() { return !QString(SOCAT_PROGRAM).isEmpty() && !QString(SOCAT_PROGRAM).endsWith("NOTFOUND"); }
    Running socat;
    QStringList ends;
};

// The simulator on one end of a cable; the host's device vanishes with the
// cable and comes back with a new one.
struct PlcOnCable {
    PlcOnCable(const QString &plcEnd, const QString &hostEnd)
        : cable(plcEnd, hostEnd), plc(QStringLiteral(ORDELIN_SIM_PROGRAM), QStringList{"--port", plcEnd}) {}
    Cable cable;
    Running plc;
};

} // namespace e2e

#endif
