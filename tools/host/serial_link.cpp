#include "serial_link.h"

#include "reply_judge.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace pollhost {

namespace {

QString openError(const QString &portName, const QSerialPort &port)
{
    QString text = QStringLiteral("cannot open %1: %2").arg(portName, port.errorString());
    if (port.error() == QSerialPort::PermissionError)
        text += QStringLiteral(" (the user needs read and write access to the port; on Debian "
                               "join the dialout group: sudo adduser $USER dialout, then log in again)");
    return text;
}

} // namespace

SerialLink::SerialLink(const WakeUp &stop, int guardMs) : stop(stop), guardMs(guardMs) {}

tools::Result<bool> SerialLink::open(const QString &portName, const tools::LineSettings &settings)
{
    port.setPortName(portName);
    const bool opened = tools::openPort(port, settings);
    if (!opened)
        return tools::Result<bool>::failure(openError(portName, port));
    fd = int(port.handle());
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return true;
}

SerialLink::Ready SerialLink::waitFor(short events, const QDeadlineTimer &until)
{
    for (;;) {
        pollfd fds[2] = {{fd, events, 0}, {stop.readFd(), POLLIN, 0}};
        const int ready = ::poll(fds, 2, pollTimeout(until));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            failed = QString::fromLocal8Bit(std::strerror(errno));
        if (ready < 0)
            return Ready::Failed;
        if (fds[1].revents)
            return Ready::Stopped;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
            failed = QStringLiteral("the port hung up");
            return Ready::Failed;
        }
        if (fds[0].revents & events)
            return Ready::Yes;
        if (ready == 0)
            return Ready::TimedOut;
    }
}

// Whatever the port holds now, without waiting: -1 when it failed. A
// port opened by QSerialPort reads 0 bytes when it holds none; one that
// poll() found readable and that then gives nothing has hung up.
qint64 SerialLink::readSome(QByteArray &into, bool readable)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, int(got));
            return got;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if ((got < 0 && errno == EAGAIN) || (got == 0 && !readable))
            return 0;
        failed = got == 0 ? QStringLiteral("the port hung up")
                          : QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
}

void SerialLink::discard(qint64 bytes)
{
    discarded += quint64(bytes);
    if (bytes > 0)
        mayBeNoisy = true;
}

bool SerialLink::settle(const QDeadlineTimer &until)
{
    QByteArray stray;
    if (readSome(stray, false) < 0)
        return false;
    discard(stray.size());
    while (mayBeNoisy) {
        const QDeadlineTimer guard(guardMs);
        const bool capped = !until.isForever() && until.deadline() < guard.deadline();
        switch (waitFor(POLLIN, capped ? until : guard)) {
        case Ready::Yes:
            stray.clear();
            if (readSome(stray, true) < 0)
                return false;
            discard(stray.size());
            continue;
        case Ready::TimedOut:
            if (capped)
                return false;
            mayBeNoisy = false;
            break;
        case Ready::Stopped:
        case Ready::Failed:
            return false;
        }
    }
    return true;
}

SerialLink::Ready SerialLink::send(const QByteArray &command, const QDeadlineTimer &until)
{
    qint64 sent = 0;
    while (sent < command.size()) {
        const ssize_t wrote = ::write(fd, command.constData() + sent, size_t(command.size() - sent));
        if (wrote > 0) {
            sent += wrote;
            continue;
        }
        if (wrote < 0 && errno != EAGAIN && errno != EINTR) {
            failed = QString::fromLocal8Bit(std::strerror(errno));
            return Ready::Failed;
        }
        const Ready ready = waitFor(POLLOUT, until);
        if (ready != Ready::Yes)
            return ready;
    }
    return Ready::Yes;
}

LinkReply SerialLink::exchange(const QByteArray &command, int replyLength, int timeoutMs,
                               const QDeadlineTimer &until)
{
    const QDeadlineTimer timeout(timeoutMs);
    const bool capped = !until.isForever() && until.deadline() < timeout.deadline();
    const QDeadlineTimer waitUntil = capped ? until : timeout;
    LinkReply reply;
    QByteArray received;
    Ready ready = send(command, waitUntil);
    while (ready == Ready::Yes) {
        const int end = replyEnd(received, replyLength);
        if (end >= 0) {
            discard(received.size() - end);
            reply.bytes = received.left(end);
            return reply;
        }
        ready = waitFor(POLLIN, waitUntil);
        if (ready == Ready::Yes && readSome(received, true) < 0)
            ready = Ready::Failed;
    }
    reply.bytes = received;
    mayBeNoisy = true;
    reply.end = ready == Ready::Failed                ? ReplyEnd::PortFailed
              : ready == Ready::TimedOut && !capped   ? ReplyEnd::TimedOut
                                                      : ReplyEnd::Interrupted;
    return reply;
}

} // namespace pollhost
