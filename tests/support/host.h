// What a test needs to act as a host: a settings record, a callback that
// records its calls, and short ways to build replies and read the image.
#ifndef ORDELIN_TESTS_SUPPORT_HOST_H
#define ORDELIN_TESTS_SUPPORT_HOST_H

#include "ordelin/ordelin.h"

#include <cstring>
#include <vector>

namespace testhost {

struct Completion {
    int hostTag, requestId, requestGroup, status;
    bool operator==(const Completion &o) const
    {
        return hostTag == o.hostTag && requestId == o.requestId
            && requestGroup == o.requestGroup && status == o.status;
    }
};

inline std::vector<Completion> &completions()
{
    static std::vector<Completion> calls;
    return calls;
}

inline void recordCompletion(int hostTag, int requestId, int requestGroup, int status)
{
    completions().push_back({hostTag, requestId, requestGroup, status});
}

// A registered host: settings with the given protocol mode, callback recorded.
struct Host {
    ComInfo info{};

    explicit Host(int protocolMode = 1, int retryLimit = 3, int writeMode = 2)
    {
        info.protocolMode = protocolMode;
        info.retryLimit = retryLimit;
        info.writeMode = writeMode;
        SetComInfo(&info);
        RegistCallBackFuncIntf(&recordCompletion, 0);
    }
};

inline QByteArray bytes(const char *text)
{
    return QByteArray(text, int(std::strlen(text)));
}

inline QByteArray command(const SendFrame *frame)
{
    return frame ? frame->command : QByteArray();
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
                       int requestGroup = 0)
{
    VarItem item{};
    item.requestId = requestId;
    item.requestGroup = requestGroup;
    item.operation = operation;
    item.registerName = QString::fromLatin1(family);
    item.address = address;
    item.count = 1;
    return item;
}

inline VarItem writeRequest(const char *family, int address, QByteArray data, int requestId = 0,
                            int requestGroup = 0)
{
    VarItem item = request(family, address, 1, requestId, requestGroup);
    item.data = data;
    return item;
}

} // namespace testhost

#endif
