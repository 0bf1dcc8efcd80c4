// What the fuzz targets share: turning fuzzer bytes into the values a host
// passes (family names, addresses, counts, records), a fresh driver for
// every input, and a check that stops the run when an invariant breaks.
#ifndef ORDELIN_FUZZ_FUZZ_INPUT_H
#define ORDELIN_FUZZ_FUZZ_INPUT_H

#include "core/driver.h"
#include "ordelin/ordelin.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>

#define FUZZ_CHECK(condition) fuzzinput::check(condition, __FILE__, __LINE__, #condition)

namespace fuzzinput {

inline void check(bool holds, const char *file, int line, const char *condition)
{
    if (!holds) {
        std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
        std::abort();
    }
}

// The sizes an input may ask for. The driver honours counts up to its
// count ceiling, which a unit test covers with full lists; here every loop
// length is new coverage, so without a bound the fuzzer would favour the
// slowest inputs. These keep every target above 3,000 inputs a second.
constexpr int largestCount = 256;  // elements per call
constexpr int largestList = 8;     // definitions per rebuild
constexpr size_t longestData = 40; // bytes of written values
constexpr int stepsPerInput = 200; // host calls per input

// Every input starts from the state the library has just after loading:
// a request that produces no frame stays at the head of its list for good,
// so no sequence of host calls could bring the driver back. Running the
// exported constructor again, after the destructor, does; at the end of each
// input, so libFuzzer's leak check sees only what the driver really leaks.
inline void freshDriver()
{
    Ordelin &d = ordelin::driver();
    d.~Ordelin();
    new (&d) Ordelin();
    d.comInfo.store(nullptr); // what static storage zeroes at load
    FlashLocalRegister(0, 0, 0);
    RegistCallBackFuncIntf(nullptr, 0);
}

// Mostly the names a host uses, then their near misses, then anything.
inline QString familyName(FuzzedDataProvider &in)
{
    static const char *const names[] = {"RLY", "T", "C", "DM", "TM", "TV_c", "TV_p", "CV_c", "CV_p", "CTH",
                                        "rly", "Dm", "TV", "CTHX", "", "DM "};
    constexpr int known = int(sizeof names / sizeof names[0]);
    const int choice = in.ConsumeIntegralInRange(0, known);
    if (choice < known)
        return QString::fromLatin1(names[choice]);
    const std::string raw = in.ConsumeRandomLengthString(8);
    return QString::fromUtf8(raw.data(), int(raw.size()));
}

// The edges of every family, the ends of the 32-bit range, small numbers,
// or any 32-bit value.
inline int anyInt(FuzzedDataProvider &in)
{
    static const int edges[] = {0, 1, -1, 9, 10, 15, 16, 99, 100, 255, 256, 999, 1000, 1024, 9999, 10000,
                                15999, 16000, 35999, 36000, 65535, 65536, INT_MAX, INT_MIN};
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return edges[in.ConsumeIntegralInRange<size_t>(0, sizeof edges / sizeof edges[0] - 1)];
    case 1: return in.ConsumeIntegralInRange(-3, 40);
    case 2: return in.ConsumeIntegralInRange(0, 16100);
    default: return in.ConsumeIntegral<int>();
    }
}

// Large counts are allowed but rare.
inline int anyCount(FuzzedDataProvider &in)
{
    return in.ConsumeIntegralInRange(0, 63) == 0 ? qMin(anyInt(in), largestCount) : in.ConsumeIntegralInRange(-2, 12);
}

inline QByteArray anyBytes(FuzzedDataProvider &in, size_t longest)
{
    const std::string raw = in.ConsumeRandomLengthString(longest);
    return QByteArray(raw.data(), int(raw.size()));
}

// An address text as an editor could send it, or any text.
inline QString addressText(FuzzedDataProvider &in)
{
    if (in.ConsumeBool())
        return QString::number(anyInt(in));
    return QString::fromUtf8(anyBytes(in, 12));
}

inline VarItem anyRecord(FuzzedDataProvider &in)
{
    VarItem item{};
    item.requestId = in.ConsumeBool() ? in.ConsumeIntegralInRange(-1, 13) : in.ConsumeIntegral<int>();
    item.requestGroup = in.ConsumeIntegralInRange(-2, 3);
    item.operation = in.ConsumeIntegralInRange(0, 5) == 0 ? anyInt(in) : in.ConsumeIntegralInRange(0, 1);
    item.registerName = familyName(in);
    item.addressText = addressText(in);
    item.auxValue = in.ConsumeIntegralInRange(-1, 2);
    item.address = anyInt(in);
    item.station = in.ConsumeIntegralInRange(-1, 3);
    item.count = anyCount(in);
    item.data = anyBytes(in, 6);
    return item;
}

inline QList<VarDef> anyDefinitions(FuzzedDataProvider &in)
{
    QList<VarDef> definitions;
    for (int n = in.ConsumeIntegralInRange(0, largestList); n > 0; --n)
        definitions.append(VarDef{{}, {}, {}, addressText(in), familyName(in), anyCount(in), 0, anyInt(in)});
    return definitions;
}

// Settings as a host could fill them, registered with the driver; start-up
// mode (protocolMode 0) and direct mode (1) both come up often.
inline void startHost(FuzzedDataProvider &in, ComInfo &info)
{
    info = ComInfo{};
    info.protocolMode = in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(0, 1);
    info.retryLimit = in.ConsumeIntegralInRange(-1, 4);
    info.writeMode = in.ConsumeIntegralInRange(0, 3);
    info.perRequestStation = in.ConsumeIntegralInRange(0, 1);
    info.defaultStation = in.ConsumeIntegralInRange(0, 3);
    info.hostTag = in.ConsumeIntegral<int>();
    SetComInfo(&info);
}

} // namespace fuzzinput

#endif
