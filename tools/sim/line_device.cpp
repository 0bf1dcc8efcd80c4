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

// The termios speeds of the standard rates; any other reads as 0.
struct Speed {
    speed_t code;
    qint32 baud;
};
const Speed speeds[] = {{B50, 50},         {B75, 75},         {B110, 110},       {B134, 134},
                        {B150, 150},       {B200, 200},       {B300, 300},       {B600, 600},
                        {B1200, 1200},     {B1800, 1800},     {B2400, 2400},     {B4800, 4800},
                        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},   {B57600, 57600},
                        {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B500000, 500000},
                        {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000}, {B1152000, 1152000},
                        {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000},
                        {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000}};

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

qint32 LineDevice::baud() const
{
    // The slave's own settings, where the host set them.
    termios mode{};
    if (tcgetattr(keeperFd >= 0 ? keeperFd : lineFd, &mode) != 0)
        return 0;
    const speed_t code = cfgetispeed(&mode);
    for (const Speed &speed : speeds) {
        if (speed.code == code)
            return speed.baud;
    }
    return 0;
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
