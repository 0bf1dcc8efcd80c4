// AddrStringToInt: address texts into integer addresses, as the host's
// editor converts them before it builds requests.
#include "ordelin/ordelin.h"

#include <gtest/gtest.h>

namespace {

struct Conversion {
    const char *family;
    const char *text;
    int address;
};

const Conversion conversions[] = {
    {"RLY", "00105", 1 * 16 + 5},
    {"RLY", "105", 1 * 16 + 5},
    {"RLY", "99915", 999 * 16 + 15}, // the highest relay
    {"RLY", "99916", 16000},
    // The bit digits are not held to 15: 00020 lands where 00104 does.
    {"RLY", "00020", 20},
    {"RLY", "00104", 20},
    {"RLY", "00099", 99},
    {"RLY", "-5", -5},
    {"RLY", "relay", -1},
    {"RLY", "", -1},
    {"DM", "0123", 123},
    {"DM", "12x", -1},
    {"DM", "1.5", -1},
    {"TM", "-5", -5},
    {"CTH", "99999999999", -1}, // beyond 32 bits
    {"TV", "300", 300},
    {"XY", "4711", 4711},       // no family: the number as written
    {"rly", "00105", 105},      // names are case-sensitive
};

TEST(AddressConversion, TextsGiveTheirIntegerAddress)
{
    for (const Conversion &c : conversions) {
        SCOPED_TRACE(std::string(c.family) + " " + c.text);
        EXPECT_EQ(AddrStringToInt(QString::fromLatin1(c.family), QString::fromLatin1(c.text)),
                  c.address);
    }
}

} // namespace
