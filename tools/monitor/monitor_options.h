// What ordelin-monitor is told on its command line.
#ifndef ORDELIN_MONITOR_MONITOR_OPTIONS_H
#define ORDELIN_MONITOR_MONITOR_OPTIONS_H

#include "session.h"

namespace monitor {

struct MonitorOptions {
    SessionConfig connection;
    bool connectAtStart = false; // --sim or --port was given
    QString library;
    QStringList variables;
    QStringList trends;
    QString variableSet; // --load
    qint64 durationMs = 0; // 0: until the window is closed
    QString screenshot;

    bool showHelp = false;
    QString helpText;
};

// `arguments` starts with the program name.
tools::Result<MonitorOptions> parseMonitorOptions(const QStringList &arguments);

} // namespace monitor

#endif
