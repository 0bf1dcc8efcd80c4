// Turning one request into one command frame on the send queue. Both run on
// the communication thread with the list mutex held; a request they cannot
// encode (unknown family, negative address) appends nothing.
#ifndef ORDELIN_PROTOCOL_ENCODERS_H
#define ORDELIN_PROTOCOL_ENCODERS_H

#include "ordelin/ordelin.h"

class Ordelin;

namespace ordelin {

void encodeRead(Ordelin &driver, const VarItem &request);

// Also copies the written value into the register image while the link is up.
void encodeWrite(Ordelin &driver, const VarItem &request);

} // namespace ordelin

#endif
