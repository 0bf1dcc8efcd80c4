// --trace: every frame and reply as hex and ASCII, with a timestamp.
#ifndef ORDELIN_HOST_TRACE_H
#define ORDELIN_HOST_TRACE_H

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace pollhost {

// "12:00:01.234 > 52 44 20 44 4D 30 31 30 30 0D 0A  |RD DM0100..|" with
// '>' for what the host sent and '<' for what it received; `note` follows.
QString traceLine(char direction, const QByteArray &bytes, const QString &note = {});

} // namespace pollhost

#endif
