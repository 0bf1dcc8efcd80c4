// A variable set as a JSON file: the variables in their editor syntax, the
// elements ticked for the chart, and the rows not shown in decimal.
//   {"variables": ["DM0:4", "TV_c2"], "trends": ["DM0"], "formats": {"DM1": "hex"}}
// A project file (ordelin-poll's --save-config, or the monitor's Save
// project) loads too: its tags, with their types, scaling and units, and
// its line settings.
#ifndef ORDELIN_MONITOR_VARIABLE_SET_H
#define ORDELIN_MONITOR_VARIABLE_SET_H

#include "host/tag.h"

#include <QtCore/QMap>
#include <QtCore/QStringList>

namespace monitor {

struct VariableSet {
    QStringList variables;
    QStringList trends;
    QMap<QString, QString> formats; // element -> "hex" or "bin"
    QList<pollhost::Tag> tags;      // from a project file, not yet checked by the driver
    QJsonObject line;               // a project file's line settings
};

// `lineName` picks one line of a project file of several (see pollhost::readProject).
tools::Result<VariableSet> loadVariableSet(const QString &path, const QString &lineName = {});
// Empty when saved; otherwise why not.
QString saveVariableSet(const QString &path, const VariableSet &set);

} // namespace monitor

#endif
