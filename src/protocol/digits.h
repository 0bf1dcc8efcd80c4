// Address and value digits as they go on the wire.
#ifndef ORDELIN_PROTOCOL_DIGITS_H
#define ORDELIN_PROTOCOL_DIGITS_H

#include "address/families.h"

namespace ordelin {

// One digit character: "0" + v up to 9, then v + 55 ("A" for 10), kept to
// its low eight bits. Only the leading digit of an address beyond its
// family's range exceeds 9, and it has no upper end: past 35 ("Z") it
// becomes punctuation or any other byte. Such a command still has its
// normal length: the PLC refuses it, the retry rule handles it like any
// refused command, and its list moves on, where a request left without a
// frame would stay at the head of its list and starve those behind it.
inline char digitChar(int value)
{
    return char(value <= 9 ? '0' + value : (unsigned(value) + 55u) & 0xFFu);
}

// Writes the address digits at out and returns how many were written, or
// -1 for a negative address, which the digit rule does not cover and which
// therefore gets no frame.
int writeAddressDigits(char *out, AddressDigits digits, qint32 address);

// Five decimal digits, leading zeros kept.
void writeValueDigits(char *out, quint16 value);

} // namespace ordelin

#endif
