// What ordelin-poll is told on its command line.
#ifndef ORDELIN_POLL_POLL_OPTIONS_H
#define ORDELIN_POLL_POLL_OPTIONS_H

#include "sim/sim_engine.h"

#include "common/line_settings.h"
#include "common/result.h"

#include <QtCore/QStringList>

namespace pollhost {

enum class OutputFormat { Table, Csv, Json };

struct PollOptions {
    // The line: a serial port, or a simulator inside this process.
    QString port;
    bool sim = false;
    sim::SimConfig simConfig; // for the embedded simulator, from --sim-options
    tools::LineSettings line;
    QString library;

    // ComInfo and the driver's language for messages (1 English, 0 Chinese).
    int station = 0;
    int retries = 3;
    int protocolMode = 0;
    int writeMode = 2;
    int language = 1;

    QStringList variables; // cyclic reads, from the arguments and --file
    QStringList writes;    // FAMILYADDRESS=VALUE[,VALUE...]
    QStringList onceReads;

    int timeoutMs = 500;
    int gapMs = 0;
    int intervalMs = 100;
    int openTimeoutMs = 5000;
    qint64 durationMs = 0; // 0: no limit
    qint64 count = 0;      // exchanges; 0: no limit

    OutputFormat format = OutputFormat::Table;
    bool trace = false;

    bool showHelp = false;
    QString helpText;
};

// `arguments` starts with the program name.
tools::Result<PollOptions> parsePollOptions(const QStringList &arguments);

} // namespace pollhost

#endif
