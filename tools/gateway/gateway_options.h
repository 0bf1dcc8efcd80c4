// What ordelin-gateway is told: the line and the tags as ordelin-poll takes
// them, and the broker, on its command line or in the project's "mqtt".
#ifndef ORDELIN_GATEWAY_GATEWAY_OPTIONS_H
#define ORDELIN_GATEWAY_GATEWAY_OPTIONS_H

#include "journal.h"
#include "mqtt_session.h"

#include "host/host_options.h"
#include "host/tag.h"
#include "host/variables.h"

namespace gateway {

struct GatewayOptions {
    pollhost::LineChoice line;
    QString library;
    pollhost::HostSettings host;
    QList<pollhost::VariableText> variables; // read-only tags named by their addresses
    QList<pollhost::Tag> projectTags;
    QString projectPath;
    QString projectError; // the project file could not be read, or holds a bad tag
    // The names of a project's lines when it holds several and no --line was
    // given: this process then supervises them (plant.h), and of the rest
    // only the broker, the prefix (the root of the lines' prefixes) and the
    // client id are set.
    QStringList plantLines;

    BrokerSettings broker;
    QString prefix;
    int heartbeatS = 0;
    bool insecure = false; // plain MQTT to a broker off this machine
    QString journal;       // as given; empty for the default
    JournalLimits journalLimits;
    // --line: the one line of a project file of several this process
    // serves, run by the plant's supervisor or by hand; empty for a one-line
    // project or none. The prefix then ends with /NAME.
    QString lineName;

    bool showHelp = false;
    QString helpText;
};

// `arguments` starts with the program name; the password comes from
// --password-file or `passwordFromEnvironment` (ORDELIN_MQTT_PASSWORD).
tools::Result<GatewayOptions> parseGatewayOptions(const QStringList &arguments, const QString &passwordFromEnvironment);

// True for 127.0.0.0/8, ::1 and "localhost": the only brokers the gateway
// talks to in clear without --insecure. Names are not resolved, so a name
// that happens to point here still counts as elsewhere.
bool onLoopback(const QString &host);
// Why the gateway refuses to talk to its broker in clear (exit code 11), or nothing.
QString inClearRefusal(const GatewayOptions &options);

// The journal's file: --journal, with the line's name put before the
// suffix for a line of a plant, or the default (see journal.h).
QString journalPath(const GatewayOptions &options, const QString &stateDirectory);

} // namespace gateway

#endif
