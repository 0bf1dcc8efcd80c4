// What a benchmark needs to act as a host: a registered settings record,
// requests and definitions built the way an HMI runtime builds them, and a
// PLC reduced to canned replies so that the time measured is the driver's.
#ifndef ORDELIN_BENCH_BENCH_HOST_H
#define ORDELIN_BENCH_BENCH_HOST_H

#include "ordelin/ordelin.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace benchhost {

// protocolMode 1 skips the start-up exchange, so the first frame handed
// out is already a request; writeMode 2 makes SetRegisterData queue writes.
inline ComInfo &registerHost(int writeMode = 2)
{
    static ComInfo info{};
    info.protocolMode = 1;
    info.retryLimit = 3;
    info.writeMode = writeMode;
    SetComInfo(&info);
    RegistCallBackFuncIntf([](int, int, int, int) {}, 0);
    return info;
}

// An empty definition list empties the cyclic read list.
inline void clearReadList()
{
    QList<VarDef> none;
    ReCreatReadVarList(&none);
}

inline VarItem request(const char *family, int address, int operation = 0, int requestId = 0)
{
    VarItem item{};
    item.requestId = requestId;
    item.requestGroup = 0;
    item.operation = operation;
    item.registerName = QString::fromLatin1(family);
    item.address = address;
    item.count = 1;
    return item;
}

// A PLC that answers every frame by its reply length alone: no parsing, no
// allocation (the replies are built once and shared), so an exchange loop
// measures ComCommunication and DataCom and nothing else.
class CannedPlc {
public:
    CannedPlc()
        : word("01234\r\n"), relay("1\r\n"), timer("1 00012 00034\r\n"), ok("OK\r\n")
    {
    }

    QByteArray &answer(const SendFrame &frame)
    {
        switch (frame.replyLength) {
        case 3: return relay;
        case 7: return word;
        case 15: return timer;
        default: return ok;
        }
    }

private:
    QByteArray word, relay, timer, ok;
};

// One turn of the host's loop. A null frame (the end of a burst or of the
// read cycle) is followed by one more request, as a host loop would.
inline bool exchange(CannedPlc &plc)
{
    SendFrame *frame = ComCommunication();
    if (!frame)
        frame = ComCommunication();
    if (!frame)
        return false;
    return DataCom(plc.answer(*frame)) == 1;
}

// One definition per element of every family: 32,110 in all.
struct FamilySize {
    const char *name;
    int elements;
};
constexpr FamilySize familySizes[] = {
    {"RLY", 16000}, {"T", 1000},    {"C", 1000},    {"DM", 10000},   {"TM", 100},
    {"TV_c", 1000}, {"TV_p", 1000}, {"CV_c", 1000}, {"CV_p", 1000}, {"CTH", 10},
};

inline QString addressText(const char *family, int address)
{
    if (QLatin1String(family) == QLatin1String("RLY"))
        return QString::asprintf("%03d%02d", address / 16, address % 16);
    return QString::number(address);
}

// The whole address space in a fixed shuffled order (the same on every run).
inline std::vector<VarDef> wholeAddressSpace()
{
    std::vector<VarDef> all;
    for (const FamilySize &family : familySizes) {
        const QString name = QString::fromLatin1(family.name);
        for (int address = 0; address < family.elements; ++address) {
            VarDef definition{};
            definition.registerName = name;
            definition.addressText = addressText(family.name, address);
            definition.address = address;
            definition.count = 1;
            all.push_back(definition);
        }
    }
    std::mt19937 random(20240611);
    std::shuffle(all.begin(), all.end(), random);
    return all;
}

// The first n definitions of the shuffled space: n distinct elements drawn
// from all ten families, as a host with a smaller project would hand in.
inline QList<VarDef> definitions(int n)
{
    static const std::vector<VarDef> all = wholeAddressSpace();
    QList<VarDef> list;
    list.reserve(n);
    for (int i = 0; i < n && i < int(all.size()); ++i)
        list.append(all[size_t(i)]);
    return list;
}

} // namespace benchhost

#endif
