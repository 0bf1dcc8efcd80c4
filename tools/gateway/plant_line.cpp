#include "plant_line.h"

#include "exit_codes.h"
#include "line_child.h"
#include "mqtt_session.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QProcessEnvironment>

namespace gateway {

namespace {

const qint64 goodRunMs = 60 * 1000;
const int longestPauseS = 30;

QString stateWord(PlantLine::State state)
{
    switch (state) {
    case PlantLine::State::Starting: return QStringLiteral("starting");
    case PlantLine::State::Running: return QStringLiteral("running");
    case PlantLine::State::Restarting: return QStringLiteral("restarting");
    case PlantLine::State::Failed: return QStringLiteral("failed");
    case PlantLine::State::Stopped: break;
    }
    return QStringLiteral("stopped");
}

} // namespace

PlantLine::PlantLine(const QString &name, const QStringList &arguments, std::function<void()> changed)
    : name(name), changed(std::move(changed))
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(supervisorVariable), QString::number(QCoreApplication::applicationPid()));
    process.setProcessEnvironment(environment);
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(arguments + QStringList{QStringLiteral("--line"), name});
    process.setProcessChannelMode(QProcess::ForwardedChannels); // its messages name its line
    restartTimer.setSingleShot(true);
    QObject::connect(&restartTimer, &QTimer::timeout, [this] {
        ++restarts;
        start();
    });
    QObject::connect(&process, &QProcess::started, [this] {
        state = State::Running;
        pid = process.processId();
        this->changed();
    });
    // On Unix a process killed by a signal ends as a crash, with the
    // signal's number for its exit code.
    QObject::connect(&process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
                     [this](int code, QProcess::ExitStatus status) {
                         lastCode = code;
                         if (status == QProcess::CrashExit)
                             endedBecause(QStringLiteral("killed by signal %1").arg(code), true);
                         else
                             endedBecause(exitReason(code), restartMends(code));
                     });
    QObject::connect(&process, &QProcess::errorOccurred, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) // no finished() follows
            endedBecause(QStringLiteral("cannot start: ") + process.errorString(), true);
    });
}

void PlantLine::start()
{
    state = State::Starting;
    running.start();
    process.start();
    changed();
}

void PlantLine::stop()
{
    stopping = true;
    restartTimer.stop();
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        return;
    }
    if (state != State::Failed)
        state = State::Stopped;
    changed();
}

void PlantLine::kill()
{
    if (process.state() != QProcess::NotRunning)
        process.kill();
}

void PlantLine::endedBecause(const QString &why, bool mendable)
{
    lastExit = why;
    pid = 0;
    if (stopping) {
        state = State::Stopped;
    } else if (!mendable) {
        state = State::Failed;
        tell(QStringLiteral("line %1: %2; starting it again cannot help, it stays stopped").arg(name, why));
    } else {
        if (running.elapsed() >= goodRunMs)
            pauseS = 1;
        state = State::Restarting;
        tell(QStringLiteral("line %1: %2; starting it again in %3 s").arg(name, why).arg(pauseS));
        restartTimer.start(pauseS * 1000);
        pauseS = qMin(2 * pauseS, longestPauseS);
    }
    changed();
}

QJsonObject PlantLine::toJson() const
{
    return {{QStringLiteral("name"), name},
            {QStringLiteral("state"), stateWord(state)},
            {QStringLiteral("pid"), pid ? QJsonValue(double(pid)) : QJsonValue(QJsonValue::Null)},
            {QStringLiteral("restarts"), restarts},
            {QStringLiteral("last_exit"), lastExit.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(lastExit)}};
}

} // namespace gateway
