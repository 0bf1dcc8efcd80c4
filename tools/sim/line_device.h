// The simulator's end of a serial line: the master side of a pseudo-terminal
// it creates, or a serial port that QSerialPort opens and configures. Either
// way a raw, non-blocking file descriptor that moves bytes unchanged.
#ifndef ORDELIN_SIM_LINE_DEVICE_H
#define ORDELIN_SIM_LINE_DEVICE_H

#include "common/line_settings.h"
#include "common/result.h"

#include <memory>

class QSerialPort;

namespace sim {

class LineDevice {
public:
    LineDevice(int fd, int keeper, QString portName, std::unique_ptr<QSerialPort> port = {});
    ~LineDevice();
    LineDevice(const LineDevice &) = delete;
    LineDevice &operator=(const LineDevice &) = delete;

    int fd() const { return lineFd; }
    // What a host opens: the pseudo-terminal's slave path, or the port.
    const QString &portName() const { return name; }
    // The baud rate the line is set to now, 0 when it is none of the
    // standard ones. On a pseudo-terminal that is what its host set: the
    // only setting of a host a pseudo-terminal keeps (it carries 8 bits
    // without parity whatever the framing).
    qint32 baud() const;

private:
    int lineFd;
    int keeperFd; // a pseudo-terminal's slave, held open (see openPseudoTerminal)
    QString name;
    std::unique_ptr<QSerialPort> serialPort; // owns lineFd when set
};

using DeviceResult = tools::Result<std::shared_ptr<LineDevice>>;

DeviceResult openPseudoTerminal();
DeviceResult openSerialPort(const QString &path, const tools::LineSettings &settings);

} // namespace sim

#endif
