// --reconnect: a port that failed (a USB adapter pulled out, the other end
// of a pseudo-terminal gone) is tried again every second until it opens,
// so an unattended run resumes by itself with its tags, counters and log.
#ifndef ORDELIN_HOST_RECONNECT_H
#define ORDELIN_HOST_RECONNECT_H

#include "serial_link.h"

#include <functional>

namespace pollhost {

// Closes the link and reopens it every second until it opens (true) or
// `giveUp` says to stop waiting (false).
bool reopenEverySecond(SerialLink &link, const QString &portName, const tools::LineSettings &settings,
                       const std::function<bool()> &giveUp);

} // namespace pollhost

#endif
