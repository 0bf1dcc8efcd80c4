// What the fuzz targets share: turning fuzzer bytes into the values a host
// passes (family names, addresses, records), a fresh driver for every
// input, and a check that stops the run with a message when an invariant
// breaks.
#ifndef ORDELIN_FUZZ_FUZZ_INPUT_H
#define ORDELIN_FUZZ_FUZZ_INPUT_H

#include "core/driver.h"
#include "ordelin/ordelin.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,      \
                         #condition);                                                      \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace fuzzinput {

// Every input starts from the state the library has just after loading.
// The driver is one static object and a request that produces no frame
// (unknown family, negative address) stays at the head of its list for
// good, so no sequence of host calls can bring it back to a clean state;
// running the exported constructor again on the object, after its
// destructor, does. Inputs are then independent and every crash
// reproduces from its input alone. It runs at the end of each input: what
// the input allocated is then freed within it, so libFuzzer's per-input
// leak check stays quiet unless the driver really leaks.
inline void freshDriver()
{
    Ordelin &d = ordelin::driver();
    d.~Ordelin();
    new (&d) Ordelin();
    // What static storage zeroes at load, and the constructor leaves alone.
    d.comInfo.store(nullptr);
    FlashLocalRegister(0, 0, 0);
    RegistCallBackFuncIntf(nullptr, 0);
}

// Mostly the names a host uses, then their near misses, then anything.
inline QString familyName(FuzzedDataProvider &in)
{
    static const char *const names[] = {
        "RLY", "T", "C", "DM", "TM", "TV_c", "TV_p", "CV_c", "CV_p", "CTH",
        "rly", "dm", "Dm", "TV", "CV", "tv_c", "CTHX", "", "R", "DM ",
    };
    constexpr int known = int(sizeof names / sizeof names[0]);
    const int choice = in.ConsumeIntegralInRange(0, known);
    if (choice < known)
        return QString::fromLatin1(names[choice]);
    const std::string raw = in.ConsumeRandomLengthString(8);
    return QString::fromUtf8(raw.data(), int(raw.size()));
}

// Addresses and counts: the edges of every family, the ends of the 32-bit
// range, small numbers, or any 32-bit value.
inline int anyInt(FuzzedDataProvider &in)
{
    static const int edges[] = {
        0, 1, -1, 2, 9, 10, 15, 16, 99, 100, 255, 256, 999, 1000, 1023, 1024, 1025,
        9999, 10000, 15999, 16000, 35999, 36000, 65535, 65536, INT_MAX, INT_MIN,
        INT_MAX - 1, INT_MIN + 1,
    };
    constexpr int edgeCount = int(sizeof edges / sizeof edges[0]);
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return edges[in.ConsumeIntegralInRange(0, edgeCount - 1)];
    case 1: return in.ConsumeIntegralInRange(-3, 40);
    case 2: return in.ConsumeIntegralInRange(0, 16100);
    default: return in.ConsumeIntegral<int>();
    }
}

// Counts stay small. The driver honours counts up to its count ceiling,
// which the unit tests cover (full lists too); here every loop length is
// new coverage, so the fuzzer favours inputs with the largest counts it can
// ask for, and a bound of a few hundred keeps it above 3,000 inputs a
// second. Such counts are allowed, but kept rare.
constexpr int largestCount = 256;

inline int anyCount(FuzzedDataProvider &in)
{
    return in.ConsumeIntegralInRange(0, 63) == 0 ? qMin(anyInt(in), largestCount)
                                                 : in.ConsumeIntegralInRange(-2, 12);
}

inline QByteArray anyBytes(FuzzedDataProvider &in, size_t longest)
{
    const std::string raw = in.ConsumeRandomLengthString(longest);
    return QByteArray(raw.data(), int(raw.size()));
}

inline QString anyText(FuzzedDataProvider &in, size_t longest)
{
    const std::string raw = in.ConsumeRandomLengthString(longest);
    if (in.ConsumeBool())
        return QString::fromLatin1(raw.data(), int(raw.size()));
    return QString::fromUtf8(raw.data(), int(raw.size()));
}

// An address text as an editor could send it, or any text.
inline QString addressText(FuzzedDataProvider &in)
{
    if (in.ConsumeBool())
        return QString::number(anyInt(in));
    return anyText(in, 12);
}

inline VarItem anyRecord(FuzzedDataProvider &in)
{
    VarItem item{};
    item.requestId = in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 13) : in.ConsumeIntegral<int>();
    item.requestGroup = in.ConsumeIntegralInRange(-2, 3);
    item.operation = in.ConsumeIntegralInRange(0, 5) == 0 ? anyInt(in) : in.ConsumeIntegralInRange(0, 1);
    item.settingsCopy1 = in.ConsumeIntegral<int>();
    item.settingsCopy2 = in.ConsumeIntegral<int>();
    item.registerName = familyName(in);
    item.addressText = addressText(in);
    item.auxValue = in.ConsumeIntegralInRange(-1, 2);
    item.address = anyInt(in);
    item.station = in.ConsumeIntegralInRange(-1, 3);
    item.count = anyCount(in);
    item.data = anyBytes(in, 6);
    return item;
}

inline VarDef anyDefinition(FuzzedDataProvider &in)
{
    VarDef definition{};
    definition.hostText1 = anyText(in, 4);
    definition.addressText = addressText(in);
    definition.registerName = familyName(in);
    definition.count = anyCount(in);
    definition.hostValue = in.ConsumeIntegral<int>();
    definition.address = anyInt(in);
    return definition;
}

// Settings as a host could fill them; protocolMode 0 (start-up exchange)
// and 1 (none) both come up often.
inline void fillSettings(FuzzedDataProvider &in, ComInfo &info)
{
    info = ComInfo{};
    info.protocolMode = in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegral<int>()
                                                             : in.ConsumeIntegralInRange(0, 1);
    info.retryLimit = in.ConsumeIntegralInRange(-1, 4);
    info.writeMode = in.ConsumeIntegralInRange(0, 3);
    info.perRequestStation = in.ConsumeIntegralInRange(0, 1);
    info.defaultStation = in.ConsumeIntegralInRange(0, 3);
    info.protocolParam = in.ConsumeIntegral<int>();
    info.hostTag = in.ConsumeIntegral<int>();
}

// The input's settings registered with the driver, fresh from the last
// input's freshDriver() (or from loading, for the first).
inline void startHost(FuzzedDataProvider &in, ComInfo &info)
{
    fillSettings(in, info);
    SetComInfo(&info);
}

} // namespace fuzzinput

#endif
