// What the front ends take on their command line beside their own
// options: the way an option is described, the integer settings, the host
// settings they share (--lang, --stale-after, --line), and a project file's
// line settings joined to the user's own arguments.
#ifndef ORDELIN_HOST_HOST_OPTIONS_H
#define ORDELIN_HOST_HOST_OPTIONS_H

#include "host_settings.h"
#include "sim/sim_engine.h"

#include "common/line_settings.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QJsonObject>

namespace pollhost {

QCommandLineOption option(const char *name, const char *description, const char *valueName = nullptr,
                          const char *defaultValue = nullptr);

// An integer option and the setting it goes to.
struct IntegerOption {
    const char *name;
    qint64 lowest;
    qint64 highest;
    int *setting;
};
// Sets each one that fits its range; the errors of those that do not.
QStringList readIntegers(const QCommandLineParser &parser, const QList<IntegerOption> &options);
// A line setting's option, with the range a project file's field has too.
IntegerOption lineOption(const char *name, int *setting);

// --lang, --stale-after and --line, which picks one line of a project file
// of several; the front end hands its value to readProject().
void addSharedHostOptions(QCommandLineParser &parser);
QStringList readSharedHostOptions(const QCommandLineParser &parser, HostSettings &settings);

// The line a front end polls: a serial port, or the built-in simulator with
// its --sim-options, at the line settings of --baud and the others.
struct LineChoice {
    QString port;
    bool sim = false;
    sim::SimConfig simConfig; // for the built-in simulator
    tools::LineSettings line;
};
// Reads --port, --sim, --sim-options and the line settings; `portOptional`
// for a run that opens no line (--save-config).
QStringList readLineChoice(const QCommandLineParser &parser, LineChoice &choice, bool portOptional = false);

// The arguments (the program's name first) with a project's line settings
// before the user's own, so that those override them: without its port
// when the user gave one, and without its framing against the built-in
// simulator (see lineForRun, which puts what it leaves out in `leftOut`).
QStringList withProjectLine(const QStringList &arguments, const QJsonObject &line, bool portGiven,
                            bool simulator, QJsonObject *leftOut = nullptr);

} // namespace pollhost

#endif
