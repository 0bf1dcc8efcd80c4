// Address and value digits as they go on the wire.
#ifndef ORDELIN_PROTOCOL_DIGITS_H
#define ORDELIN_PROTOCOL_DIGITS_H

#include "address/families.h"

namespace ordelin {

// One digit character: "0" + v up to 9, then "A" for 10 and on. Only the
// leading digit of an address beyond its family's range exceeds 9.
inline char digitChar(int value)
{
    return char(value <= 9 ? '0' + value : value + 55);
}

// Writes the address digits at out and returns how many were written, or
// -1 when the address cannot be printed: a negative address, or one whose
// leading digit would pass "Z", the last character the reply decoder
// reads back as a digit. Nothing but digit characters ever reaches the line.
int writeAddressDigits(char *out, AddressDigits digits, qint32 address);

// Five decimal digits, leading zeros kept.
void writeValueDigits(char *out, quint16 value);

} // namespace ordelin

#endif
