// What ordelin-monitor is told on its command line.
#ifndef ORDELIN_MONITOR_MONITOR_OPTIONS_H
#define ORDELIN_MONITOR_MONITOR_OPTIONS_H

#include "session.h"

#include <QtCore/QJsonObject>

namespace monitor {

struct MonitorOptions {
    SessionConfig connection;
    bool connectAtStart = false; // --sim or --port was given
    QString library;
    QStringList variables;
    QStringList trends;
    QString variableSet; // --load
    QString lineName;    // --line: the line of a project file of several
    qint64 durationMs = 0; // 0: until the window is closed
    QString screenshot;

    bool showHelp = false;
    QString helpText;
};

// `arguments` starts with the program name. A project file given to
// --load brings its line settings, which the user's own options override.
tools::Result<MonitorOptions> parseMonitorOptions(const QStringList &arguments);

// The arguments with a project's line settings before the user's own, as
// they apply to the run (see pollhost::withProjectLine).
QStringList withProjectLine(const QStringList &arguments, QJsonObject line, bool portGiven, bool simulator);

} // namespace monitor

#endif
