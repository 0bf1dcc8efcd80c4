#include "line_device.h"

#include <QtCore/QFile>

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

speed_t speedOf(qint32 baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

tcflag_t characterSize(int dataBits)
{
    switch (dataBits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

// Raw mode: no echo, no line editing, no translation of CR or LF.
bool makeRaw(int fd, const tools::LineSettings &settings)
{
    termios mode{};
    if (tcgetattr(fd, &mode) != 0)
        return false;
    cfmakeraw(&mode);
    mode.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    mode.c_cflag |= CLOCAL | CREAD | characterSize(settings.dataBits);
    if (settings.parity != tools::Parity::None)
        mode.c_cflag |= PARENB;
    if (settings.parity == tools::Parity::Odd)
        mode.c_cflag |= PARODD;
    if (settings.stopBits == 2)
        mode.c_cflag |= CSTOPB;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    cfsetispeed(&mode, speedOf(settings.baud));
    cfsetospeed(&mode, speedOf(settings.baud));
    return tcsetattr(fd, TCSANOW, &mode) == 0;
}

} // namespace

LineDevice::LineDevice(int fd, int keeper, QString portName)
    : lineFd(fd), keeperFd(keeper), name(std::move(portName))
{
}

LineDevice::~LineDevice()
{
    if (keeperFd >= 0)
        ::close(keeperFd);
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
    if (keeper < 0 || !makeRaw(keeper, tools::LineSettings{})) {
        const QString error = systemError(QStringLiteral("pseudo-terminal"));
        if (keeper >= 0)
            ::close(keeper);
        ::close(master);
        return DeviceResult::failure(error);
    }
    return std::make_shared<LineDevice>(master, keeper, QString::fromLocal8Bit(slaveName));
}

DeviceResult openSerialPort(const QString &path, const tools::LineSettings &settings)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return DeviceResult::failure(systemError(path));
    if (!makeRaw(fd, settings)) {
        const QString error = systemError(path);
        ::close(fd);
        return DeviceResult::failure(error);
    }
    return std::make_shared<LineDevice>(fd, -1, path);
}

} // namespace sim
