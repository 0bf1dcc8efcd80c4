#include "line_device.h"

#include <QtSerialPort/QSerialPort>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

// Raw mode for the pseudo-terminal's own slave: no echo, no line editing,
// no translation of CR or LF.
bool makeRaw(int fd)
{
    termios mode{};
    if (tcgetattr(fd, &mode) != 0)
        return false;
    cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &mode) == 0;
}

} // namespace

LineDevice::LineDevice(int fd, int keeper, QString portName, std::unique_ptr<QSerialPort> port)
    : lineFd(fd), keeperFd(keeper), name(std::move(portName)), serialPort(std::move(port))
{
}

LineDevice::~LineDevice()
{
    if (keeperFd >= 0)
        ::close(keeperFd);
    if (!serialPort)
        ::close(lineFd);
}

// The simulator keeps a descriptor of the slave open for its whole life:
// without it the master reports a hang-up whenever no host has the slave
// open, and the line would lose its raw mode between hosts.
DeviceResult openPseudoTerminal()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return DeviceResult::failure(systemError(QStringLiteral("posix_openpt")));
    const char *slaveName = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : nullptr;
    const int keeper = slaveName ? ::open(slaveName, O_RDWR | O_NOCTTY) : -1;
    if (keeper < 0 || !makeRaw(keeper)) {
        const QString error = systemError(QStringLiteral("pseudo-terminal"));
        if (keeper >= 0)
            ::close(keeper);
        ::close(master);
        return DeviceResult::failure(error);
    }
    return std::make_shared<LineDevice>(master, keeper, QString::fromLocal8Bit(slaveName));
}

// QSerialPort opens and configures the port; the simulator's loop then
// waits on its descriptor directly, made non-blocking here.
DeviceResult openSerialPort(const QString &path, const tools::LineSettings &settings)
{
    auto port = std::make_unique<QSerialPort>(path);
    const bool opened = tools::openPort(*port, settings);
    if (!opened)
        return DeviceResult::failure(QStringLiteral("%1: %2").arg(path, port->errorString()));
    const int fd = int(port->handle());
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::make_shared<LineDevice>(fd, -1, path, std::move(port));
}

} // namespace sim
