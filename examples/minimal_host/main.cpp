// A minimal host: writes 1234 to DM100, then polls DM100 to DM104 and prints
// what the driver read. Usage: minimal_host DEVICE [EXCHANGES]
// (DEVICE: a serial port, or the pseudo-terminal ordelin-sim prints).
#include <ordelin/ordelin.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtSerialPort/QSerialPort>

#include <cstdio>

namespace {

int writeStatus = 0; // only the communication thread touches it

// Runs inside DataCom, under the driver's list lock: note, never queue.
void completed(int /*hostTag*/, int /*requestId*/, int /*requestGroup*/, int status)
{
    writeStatus = status;
}

// Whatever arrives within the timeout; a reply is complete at length bytes.
QByteArray readReply(QSerialPort &port, int length, int timeoutMs)
{
    QByteArray reply;
    const QDeadlineTimer deadline(timeoutMs);
    while (reply.size() < length && port.waitForReadyRead(int(deadline.remainingTime())))
        reply += port.read(length - reply.size());
    return reply;
}

// After a timeout, send nothing until the line has been quiet for guardMs,
// so a late reply is not taken for the answer to the next frame.
void waitForQuiet(QSerialPort &port, int guardMs)
{
    while (port.waitForReadyRead(guardMs))
        port.readAll();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DEVICE [EXCHANGES]\n", argv[0]);
        return 1;
    }
    QSerialPort port(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(9600);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(port.errorString()));
        return 1;
    }

    static ComInfo settings{}; // the driver uses it in place until unloaded
    settings.retryLimit = 3;
    settings.protocolMode = 0; // open the link with the start-up exchange
    settings.writeMode = 2;    // SetRegisterData queues writes to the PLC
    SetComInfo(&settings);
    RegistCallBackFuncIntf(&completed, 0);

    QList<VarDef> variables;
    VarDef dm{};
    dm.registerName = QStringLiteral("DM");
    dm.addressText = QStringLiteral("100");
    dm.address = 100;
    dm.count = 5;
    variables.append(dm);
    ReCreatReadVarList(&variables);

    QString family = QStringLiteral("DM");
    QByteArray value("\xD2\x04", 2); // 1234, low byte first
    SetRegisterData(family, 100, 0, value, 1);

    const int exchanges = argc > 2 ? QByteArray(argv[2]).toInt() : 20;
    for (int i = 0; i < exchanges; ++i) {
        SendFrame *frame = ComCommunication();
        if (!frame)
            break; // nothing to poll
        port.write(frame->command.constData(), frame->commandLength);
        port.waitForBytesWritten(1000);
        QByteArray reply = readReply(port, frame->replyLength, 500);
        if (reply.size() < frame->replyLength)
            waitForQuiet(port, 500);
        DataCom(reply); // 1 accepted, 0 retried, above 10 dropped
    }

    QByteArray image;
    GetRegisterData(QStringLiteral("DM"), 100, 0, image, 5);
    for (int k = 0; k < 5; ++k) {
        const int word = quint8(image[2 * k]) | quint8(image[2 * k + 1]) << 8;
        std::printf("DM%d = %d\n", 100 + k, word);
    }
    std::printf("write %s\n", writeStatus == 1 ? "answered" : "not answered");
    return writeStatus == 1 ? 0 : 2;
}
