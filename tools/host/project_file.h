// The project file: the line settings and the tags of one machine, in JSON,
// so a commissioning run can be repeated without retyping a command line.
//
//   {"line": {"port": "/dev/ttyUSB0", "baud": 9600, "data_bits": 7, "parity": "even",
//             "stop_bits": 1, "station": 0, "retries": 3, "timeout_ms": 500,
//             "open_timeout_ms": 5000},
//    "tags": [{"name": "oven_temp", "address": "DM100", "type": "int16", "scale": 0.1, "unit": "°C"}]}
//
// Every field of "line" is optional; the front end's defaults fill the gaps.
// An optional "mqtt" object holds the gateway's broker settings; the other
// front ends read past it.
//
// A plant of several lines puts each line's settings and tags under its name:
//
//   {"mqtt": {...}, "lines": [{"name": "press", "line": {...}, "tags": [...]}, ...]}
//
// A line's name becomes a topic level of the gateway's, and picks the line
// with --line NAME in every front end.
#ifndef ORDELIN_HOST_PROJECT_FILE_H
#define ORDELIN_HOST_PROJECT_FILE_H

#include "tag.h"

#include <QtCore/QCommandLineParser>
#include <QtCore/QJsonObject>

namespace pollhost {

struct Project {
    // The line settings as written, keyed as above; checked by the front
    // end like the same options on its command line.
    QJsonObject line;
    QList<Tag> tags;
    QJsonObject mqtt; // checked by the gateway, like its options
};

// One line of a project file: its name (empty in the one-line form) and its
// settings and tags, with the file's "mqtt".
struct ProjectLine {
    QString name;
    Project project;
};

// Reads and checks every line of a project file: JSON errors with their
// offset, unknown fields, bad or repeated line names, bad tags and repeated
// tag names are refused with the file's name.
tools::Result<QList<ProjectLine>> readProjectLines(const QString &path);
// The one line a front end polls: a one-line file's, or the line of
// "lines" named `lineName`; a file of several lines without a name given
// is refused with the names it holds.
tools::Result<Project> readProject(const QString &path, const QString &lineName = {});
tools::Result<bool> writeProject(const QString &path, const Project &project);

// The fields of "line", the option each one stands for, and the values it
// may take: one range for every front end, on the command line and in a
// project file alike.
struct LineField {
    const char *key;
    const char *option;
    qint64 lowest = 0; // for the numbers; the port and the parity are text
    qint64 highest = 0;
};
const QList<LineField> &lineFields();
// The field of this key or option; null for none.
const LineField *lineField(const QString &keyOrOption);

// The line settings as options, to be parsed before the user's own
// arguments so that those override them.
QStringList lineArguments(const QJsonObject &line);

// The line settings that apply to a run: without the port when the user
// gave one or chose the built-in simulator, and without the framing against
// the simulator, whose pseudo-terminal takes none (a project made for a 7E1
// line still runs against it). What is left out goes to `leftOut`.
QJsonObject lineForRun(QJsonObject line, bool portGiven, bool simulator, QJsonObject *leftOut = nullptr);
// The line settings as the parser holds them, for saving (no empty port).
QJsonObject lineFromOptions(const QCommandLineParser &parser);

} // namespace pollhost

#endif
