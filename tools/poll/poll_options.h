// What ordelin-poll is told on its command line.
#ifndef ORDELIN_POLL_POLL_OPTIONS_H
#define ORDELIN_POLL_POLL_OPTIONS_H

#include "host/host_settings.h"
#include "host/line_scan.h"
#include "host/log_sink.h"
#include "host/tag.h"
#include "host/variables.h"
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

    HostSettings host;

    QList<VariableText> variables; // cyclic reads, from the arguments and --file
    QStringList writes;    // FAMILYADDRESS=VALUE[,VALUE...]
    QStringList onceReads;

    OutputFormat format = OutputFormat::Table;

    // The project: its tags (--config), and the line as the options now
    // stand, for --save-config.
    QList<Tag> projectTags;
    QString projectPath;
    QString projectError; // the project file could not be read, or holds a bad tag
    QJsonObject projectLine;
    QString saveConfig;
    bool force = false; // --save-config may replace a file
    QStringList inputFiles; // --config and --file: never a log's place

    // --output: the CSV or JSON lines go to this file, the table to the terminal.
    QString outputPath;
    Rotation rotation;
    bool logChanges = false;

    // --scan: try the usual line settings on --port instead of polling.
    bool scan = false;
    int scanTimeoutMs = pollhost::scanTimeoutMs;

    bool showHelp = false;
    QString helpText;
};

// `arguments` starts with the program name.
tools::Result<PollOptions> parsePollOptions(const QStringList &arguments);

} // namespace pollhost

#endif
