// What a test needs to act as a host: a settings record, a callback that
// records its calls, short ways to build requests and read the image, and
// a PLC to talk to: the simulator's own answering function and memory.
#ifndef ORDELIN_TESTS_SUPPORT_HOST_H
#define ORDELIN_TESTS_SUPPORT_HOST_H

#include "ordelin/ordelin.h"

#include "sim/command_answer.h"

#include <ostream>
#include <vector>

namespace testhost {

struct Completion {
    int hostTag, requestId, requestGroup, status;
    bool operator==(const Completion &o) const
    {
        return hostTag == o.hostTag && requestId == o.requestId && requestGroup == o.requestGroup
            && status == o.status;
    }
};

inline std::ostream &operator<<(std::ostream &out, const Completion &c)
{
    return out << "{" << c.hostTag << ", " << c.requestId << ", " << c.requestGroup << ", " << c.status << "}";
}

inline std::vector<Completion> &completions()
{
    static std::vector<Completion> calls;
    return calls;
}

inline void recordCompletion(int hostTag, int requestId, int requestGroup, int status)
{
    completions().push_back({hostTag, requestId, requestGroup, status});
}

// A registered host: settings with the given modes, callback recorded.
struct Host {
    ComInfo info{};

    explicit Host(int protocolMode = 1, int retryLimit = 3, int writeMode = 2)
    {
        info.protocolMode = protocolMode;
        info.retryLimit = retryLimit;
        info.writeMode = writeMode;
        SetComInfo(&info);
        RegistCallBackFuncIntf(&recordCompletion, 0);
        completions().clear();
    }
};

inline int setData(const char *family, int address, QByteArray data, int count, int station = 0)
{
    QString name = QString::fromLatin1(family);
    return SetRegisterData(name, address, station, data, count);
}

inline QByteArray image(const char *family, int address, int count)
{
    QByteArray data;
    GetRegisterData(QString::fromLatin1(family), address, 0, data, count);
    return data;
}

inline int word(const char *family, int address)
{
    const QByteArray data = image(family, address, 1);
    return quint8(data[0]) | (quint8(data[1]) << 8);
}

inline VarItem request(const char *family, int address, int operation = 0, int requestId = 0,
                       int requestGroup = 0, QByteArray data = {})
{
    VarItem item{};
    item.requestId = requestId;
    item.requestGroup = requestGroup;
    item.operation = operation;
    item.registerName = QString::fromLatin1(family);
    item.addressText = QString::number(address);
    item.address = address;
    item.count = 1;
    item.data = data;
    return item;
}

inline VarItem writeRequest(const char *family, int address, QByteArray data, int requestId = 0,
                            int requestGroup = 0)
{
    return request(family, address, 1, requestId, requestGroup, data);
}

inline VarDef definition(const char *family, int address, int count = 1, const char *text = "")
{
    VarDef def{};
    def.registerName = QString::fromLatin1(family);
    def.address = address;
    def.count = count;
    def.addressText = QString::fromLatin1(text);
    return def;
}

// One exchange as a host runs it, answered by the simulated PLC; DataCom's
// result, or -1 when the driver had nothing to send.
inline int exchange(sim::PlcMemory &plc)
{
    SendFrame *frame = ComCommunication();
    if (!frame)
        return -1;
    QByteArray reply = sim::answerCommand(plc, frame->command).reply;
    return DataCom(reply);
}

} // namespace testhost

#endif
