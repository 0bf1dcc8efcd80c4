#include "digits.h"

namespace ordelin {

namespace {

// count digits of value, the leading one not reduced modulo 10.
int writeDecimal(char *out, int count, int value)
{
    int divisor = 1;
    for (int i = 1; i < count; ++i)
        divisor *= 10;
    out[0] = digitChar(value / divisor);
    for (int i = 1; i < count; ++i) {
        divisor /= 10;
        out[i] = digitChar((value / divisor) % 10);
    }
    return count;
}

} // namespace

int writeAddressDigits(char *out, AddressDigits digits, qint32 address)
{
    if (address < 0)
        return -1;
    switch (digits) {
    case AddressDigits::RelayChannelBit: {
        // Three channel digits, then the bit within the channel as two decimals.
        writeDecimal(out, 3, address / 16);
        writeDecimal(out + 3, 2, address % 16);
        return 5;
    }
    case AddressDigits::Four: return writeDecimal(out, 4, address);
    case AddressDigits::Three: return writeDecimal(out, 3, address);
    case AddressDigits::Two: return writeDecimal(out, 2, address);
    case AddressDigits::LastOne: return writeDecimal(out, 1, address % 10);
    }
    return -1;
}

void writeValueDigits(char *out, quint16 value)
{
    writeDecimal(out, 5, value);
}

} // namespace ordelin
