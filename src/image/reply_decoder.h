// Decoding an accepted read reply into the register image.
#ifndef ORDELIN_IMAGE_REPLY_DECODER_H
#define ORDELIN_IMAGE_REPLY_DECODER_H

#include "ordelin/ordelin.h"

class Ordelin;

namespace ordelin {

// The value of one reply character: digits 0-9, then ":" to "?" as 10-15,
// letters from "A" as 10 on; anything else 0. Malformed characters are
// converted rather than rejected, because the envelope already passed.
int digitValue(quint8 character);

// The caller holds the image mutex. Elements outside the family's array are
// left alone.
void decodeReply(Ordelin &driver, const SendFrame &frame, const QByteArray &reply);

} // namespace ordelin

#endif
