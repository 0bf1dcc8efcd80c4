// The link start-up exchange: "CR" CR LF, answered by "CC" CR LF.
#ifndef ORDELIN_CORE_STARTUP_H
#define ORDELIN_CORE_STARTUP_H

#include <QtCore/QByteArray>

class Ordelin;

namespace ordelin {

bool startupDue();
void appendStartupFrame(Ordelin &driver);
// Accepts exactly "CC" CR LF, and then clears startupPending.
bool checkStartupReply(const QByteArray &reply);

} // namespace ordelin

#endif
