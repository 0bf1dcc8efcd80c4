#include "serial_link.h"

#include "reply_judge.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace pollhost {

namespace {

qint64 nowNs()
{
    return QDeadlineTimer::current().deadlineNSecs();
}

QDeadlineTimer deadlineAt(qint64 ns)
{
    QDeadlineTimer deadline;
    deadline.setPreciseDeadline(0, ns);
    return deadline;
}

QString openError(const QString &portName, const QSerialPort &port)
{
    QString text = QStringLiteral("cannot open %1: %2").arg(portName, port.errorString());
    if (port.error() == QSerialPort::PermissionError)
        text += QStringLiteral(" (the user needs read and write access to the port; on Debian "
                               "join the dialout group: sudo adduser $USER dialout, then log in again)");
    return text;
}

} // namespace

SerialLink::SerialLink(const WakeUp &stop, int guardMs) : stop(stop), guardMs(guardMs), reads(stop) {}

tools::Result<bool> SerialLink::reopen()
{
    port.close();
    fd = -1;
    lookedAtNs = -1;
    const auto opened = open(name, lineSettings);
    if (opened.ok()) {
        failed.clear();
        mayBeNoisy = true; // the other end may have sent before we were back
    }
    return opened;
}

tools::Result<bool> SerialLink::open(const QString &portName, const tools::LineSettings &settings)
{
    name = portName;
    lineSettings = settings;
    port.setPortName(portName);
    const bool opened = tools::openPort(port, settings);
    if (!opened)
        return tools::Result<bool>::failure(openError(portName, port));
    fd = int(port.handle());
    if (!makeReadsBlock()) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        port.close();
        return tools::Result<bool>::failure(QStringLiteral("cannot set up %1: %2").arg(portName, why));
    }
    answered = false;
    byteNs = tools::wireNanoseconds(settings, 1);
    received.reserve(4096);
    return true;
}

// Reads block until a byte comes (VMIN 1, VTIME 0; QSerialPort leaves both
// 0 and the descriptor non-blocking).
bool SerialLink::makeReadsBlock()
{
    termios mode{};
    if (::tcgetattr(fd, &mode) != 0)
        return false;
    mode.c_cc[VMIN] = 1;
    mode.c_cc[VTIME] = 0;
    const int flags = ::fcntl(fd, F_GETFL);
    return ::tcsetattr(fd, TCSANOW, &mode) == 0 && flags >= 0
        && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
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

// Whatever the port holds now: -1 when it failed. Unless poll() has just
// found it readable it is asked first, since a read of an empty port waits.
// One that poll() found readable and that then gives nothing has hung up.
qint64 SerialLink::readSome(QByteArray &into, bool readable)
{
    if (!readable) {
        const Ready ready = waitFor(POLLIN, QDeadlineTimer(0));
        if (ready != Ready::Yes)
            return ready == Ready::Failed ? -1 : 0;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, int(got));
            return got;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN)
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
    const qint64 now = nowNs();
    lookedAtNs = -1;
    if (!mayBeNoisy && emptiedAtNs >= 0 && now - emptiedAtNs < byteNs) {
        lookedAtNs = now;
        return true;
    }
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

// Writes block too. Once the last frame was answered the line has taken
// it, and the next one goes into an empty output buffer at once; otherwise
// (the first frame, after a timeout) poll() first waits until the port
// takes bytes, so a line that does not drain ends at the timeout.
SerialLink::Ready SerialLink::send(const char *command, int length, qint64 untilNs)
{
    int sent = 0;
    bool writable = answered;
    while (sent < length) {
        if (!writable) {
            const Ready ready = waitFor(POLLOUT, deadlineAt(untilNs));
            if (ready != Ready::Yes)
                return ready;
        }
        const ssize_t wrote = ::write(fd, command + sent, size_t(length - sent));
        writable = wrote > 0;
        if (wrote > 0)
            sent += int(wrote);
        else if (wrote < 0 && errno != EAGAIN && errno != EINTR) {
            failed = QString::fromLocal8Bit(std::strerror(errno));
            return Ready::Failed;
        }
    }
    return Ready::Yes;
}

// More of the reply, appended to `received`: one read that blocks until
// bytes come, untilNs passes or a stop is raised.
SerialLink::Ready SerialLink::receive(qint64 untilNs)
{
    char buffer[4096];
    const ssize_t got = reads.read(fd, buffer, sizeof buffer, untilNs);
    if (got > 0) {
        received.append(buffer, int(got));
        return Ready::Yes;
    }
    if (stop.raised())
        return Ready::Stopped;
    if (got < 0 && errno == EINTR)
        return nowNs() >= untilNs ? Ready::TimedOut : Ready::Yes;
    if (got < 0) {
        failed = QString::fromLocal8Bit(std::strerror(errno));
        return Ready::Failed;
    }
    return emptyRead();
}

// A read that blocks until a byte comes gave none: the port hung up, which
// poll() tells; otherwise the read is tried again.
SerialLink::Ready SerialLink::emptyRead()
{
    const Ready ready = waitFor(POLLIN, QDeadlineTimer(0));
    if (ready == Ready::TimedOut)
        return Ready::Yes;
    return ready == Ready::Yes && readSome(received, true) < 0 ? Ready::Failed : ready;
}

LinkReply SerialLink::exchange(const char *command, int length, int replyLength, int timeoutMs,
                               const QDeadlineTimer &until)
{
    const qint64 sentAtNs = lookedAtNs >= 0 ? lookedAtNs : nowNs();
    lookedAtNs = -1;
    const qint64 timeoutNs = sentAtNs + qint64(timeoutMs) * 1000000;
    const qint64 untilNs = until.deadlineNSecs(); // a forever deadline is the largest
    const bool capped = untilNs < timeoutNs;
    const qint64 waitUntilNs = capped ? untilNs : timeoutNs;
    LinkReply reply;
    received.resize(0); // keeps its capacity: reserved at open
    Ready ready = send(command, length, waitUntilNs);
    while (ready == Ready::Yes) {
        ready = receive(waitUntilNs);
        const int end = ready == Ready::Yes ? replyEnd(received, replyLength) : -1;
        if (end < 0)
            continue;
        discard(received.size() - end);
        reply.atNs = nowNs();
        emptiedAtNs = end == received.size() ? reply.atNs : -1;
        answered = true;
        reply.bytes = received.left(end);
        return reply;
    }
    reply.bytes = received;
    reply.atNs = nowNs();
    mayBeNoisy = true;
    answered = false;
    reply.end = ready == Ready::Failed                ? ReplyEnd::PortFailed
              : ready == Ready::TimedOut && !capped   ? ReplyEnd::TimedOut
                                                      : ReplyEnd::Interrupted;
    return reply;
}

} // namespace pollhost
