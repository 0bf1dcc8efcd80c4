// One line of a plant, as its supervisor sees it: the ordelin-gateway
// process that serves it (this program with the user's options and
// --line NAME), started again after it ended unless its exit code says that
// starting again cannot help. A line that keeps ending waits 1 s, then 2, 4,
// 8, 16 and 30 s before each new start; one that ran a minute starts over
// at 1 s.
#ifndef ORDELIN_GATEWAY_PLANT_LINE_H
#define ORDELIN_GATEWAY_PLANT_LINE_H

#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTimer>

#include <functional>

namespace gateway {

class PlantLine {
public:
    enum class State { Starting, Running, Restarting, Failed, Stopped };

    // `arguments`: the user's, without the program's name. `changed` is
    // called after every change of what toJson() shows.
    PlantLine(const QString &name, const QStringList &arguments, std::function<void()> changed);

    void start();
    // SIGTERM to its process, which then ends as it does for a user; no
    // start follows.
    void stop();
    // SIGKILL, for a process still there when the supervisor must be gone.
    void kill();
    // Failed or stopped: nothing of it runs or will run.
    bool ended() const { return state == State::Failed || state == State::Stopped; }
    // The code of a line that failed.
    int exitCode() const { return lastCode; }
    // {"name", "state", "pid" (null when none), "restarts", "last_exit" (null before the first)}
    QJsonObject toJson() const;

private:
    void endedBecause(const QString &why, bool mendable);

    const QString name;
    const std::function<void()> changed;
    QProcess process;
    QTimer restartTimer;
    QElapsedTimer running;
    State state = State::Starting;
    bool stopping = false;
    qint64 pid = 0;
    int restarts = 0;
    int pauseS = 1;
    int lastCode = 0;
    QString lastExit;
};

} // namespace gateway

#endif
