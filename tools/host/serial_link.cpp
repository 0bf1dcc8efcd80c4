#include "serial_link.h"

#include <QtCore/QElapsedTimer>

#include <sys/ioctl.h>

namespace pollhost {

namespace {

QSerialPort::Parity parityOf(tools::Parity parity)
{
    switch (parity) {
    case tools::Parity::Even: return QSerialPort::EvenParity;
    case tools::Parity::Odd: return QSerialPort::OddParity;
    case tools::Parity::None: break;
    }
    return QSerialPort::NoParity;
}

} // namespace

tools::Result<bool> SerialLink::open(const QString &portName, const tools::LineSettings &settings)
{
    port.setPortName(portName);
    const bool opened = port.open(QIODevice::ReadWrite)
                     && port.setBaudRate(settings.baud)
                     && port.setDataBits(QSerialPort::DataBits(settings.dataBits))
                     && port.setParity(parityOf(settings.parity))
                     && port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop
                                                                : QSerialPort::OneStop)
                     && port.setFlowControl(QSerialPort::NoFlowControl);
    if (!opened)
        return tools::Result<bool>::failure(
            QStringLiteral("cannot open %1: %2").arg(portName, port.errorString()));
    return true;
}

QString SerialLink::failure() const
{
    const auto error = port.error();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return {};
    return port.errorString();
}

QByteArray SerialLink::exchange(const QByteArray &command, int replyLength, int timeoutMs)
{
    discardWaiting();
    port.write(command);
    // flush() writes at once; waiting is needed only if the port took less.
    port.flush();
    if (port.bytesToWrite() > 0 && !port.waitForBytesWritten(timeoutMs))
        return {};
    return collect(replyLength, timeoutMs);
}

void SerialLink::discardWaiting()
{
    int inKernel = 0;
    if (mayHaveLeftovers && ::ioctl(port.handle(), FIONREAD, &inKernel) != 0)
        inKernel = 0;
    const qint64 buffered = port.bytesAvailable();
    if (buffered + inKernel == 0)
        return;
    discarded += quint64(buffered + inKernel);
    port.clear(QSerialPort::Input);
}

QByteArray SerialLink::collect(int replyLength, int timeoutMs)
{
    QByteArray reply;
    QElapsedTimer clock;
    clock.start();
    mayHaveLeftovers = true;
    for (;;) {
        reply += port.readAll();
        const int end = reply.indexOf("\r\n");
        int complete = -1;
        if (end >= 0 && (replyLength <= 0 || end + 2 <= replyLength))
            complete = end + 2;
        else if (replyLength > 0 && reply.size() >= replyLength)
            complete = replyLength;
        if (complete >= 0) {
            mayHaveLeftovers = reply.size() > complete;
            return reply.left(complete);
        }
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || !port.waitForReadyRead(int(left)))
            return reply;
    }
}

} // namespace pollhost

