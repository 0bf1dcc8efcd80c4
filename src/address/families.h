// The register families of the PLC, in one table that every part of the
// driver reads: encoders, decoders, the register image, validation and run
// generation. Each place keeps its own order of comparison, but since names
// are compared exactly, one lookup serves them all.
#ifndef ORDELIN_ADDRESS_FAMILIES_H
#define ORDELIN_ADDRESS_FAMILIES_H

#include <QtCore/QString>

namespace ordelin {

// In the order of the finished cyclic read list.
enum class Family {
    Relay,
    TimerContact,
    CounterContact,
    DataMemory,
    TempMemory,
    TimerCurrent,
    TimerPreset,
    CounterCurrent,
    CounterPreset,
    HighSpeedCounter,
};
constexpr int familyCount = 10;

// How an integer address is printed into a command.
enum class AddressDigits {
    RelayChannelBit, // three channel digits, two decimal bit digits (A / 16, A % 16)
    Four,            // leading digit not reduced, so 10000 gives "A000"
    Three,
    Two,
    LastOne,         // A % 10 only
};

struct ReadForm {
    const char *prefix;   // after "RD "
    AddressDigits digits;
    int replyLength;
    int valueOffset;
    int valueWidth;
};

struct WriteForm {
    const char *command;  // "WR" or "WS"; null for the bit families' "ST"/"RS"
    const char *prefix;   // after the command and a space
    AddressDigits digits;
};

// Address run generation (AddrMutilCopy).
struct RunRule {
    int highest;          // highest address emitted as itself
    const char *limitText;
    int overflowMarker;
};

struct FamilyInfo {
    Family family;
    const char *name;
    bool isBit;
    int elements;         // size of the family's image array
    ReadForm read;
    WriteForm write;
    RunRule run;
    int validHighest;     // highest address (plus extent) validation accepts
    const char *rangeMessageZh;
    const char *rangeMessageEn;
};

// The row for an exact, case-sensitive family name, or null.
const FamilyInfo *findFamily(const QString &name);
const FamilyInfo &familyInfo(Family family);

// Whether an address indexes the family's image array.
inline bool inImage(const FamilyInfo &info, qint64 address)
{
    return address >= 0 && address < info.elements;
}

} // namespace ordelin

#endif
