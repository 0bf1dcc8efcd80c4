// Polls one DM word through the installed library and checks the frame.
#include <ordelin/ordelin.h>

#include <cstdio>

int main()
{
    ComInfo info{};
    info.protocolMode = 1;
    SetComInfo(&info);
    VarItem item{};
    item.registerName = QStringLiteral("DM");
    item.address = 100;
    item.count = 1;
    AddListReadVar(&item);
    SendFrame *frame = ComCommunication();
    if (!frame || frame->command != QByteArray("RD DM0100\r\n")) {
        std::puts("unexpected frame");
        return 1;
    }
    QByteArray reply("00500\r\n");
    QByteArray value;
    if (DataCom(reply) != 1 || GetRegisterData(QStringLiteral("DM"), 100, 0, value, 1) != 1
        || value != QByteArray("\xF4\x01", 2)) {
        std::puts("unexpected reply handling");
        return 1;
    }
    std::puts("installed library polled DM100 = 500");
    return 0;
}
