#include "serial_link.h"

#include "reply_judge.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace pollhost {

namespace {

using tools::msNs;
using tools::nowNs;

QString openError(const QString &portName, const QSerialPort &port)
{
    QString text = QStringLiteral("cannot open %1: %2").arg(portName, port.errorString());
    if (port.error() == QSerialPort::PermissionError)
        text += QStringLiteral(" (the user needs read and write access to the port; on Debian "
                               "join the dialout group: sudo adduser $USER dialout, then log in again)");
    return text;
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The start-up exchange: no value reply can look like its answer.
const char probeCommand[] = "CR\r\n";
const QByteArray probeAnswer = QByteArrayLiteral("CC\r\n");

} // namespace

SerialLink::SerialLink(const tools::WakeUp &stop, int guardMs, bool startupProbe)
    : stop(stop), guardMs(guardMs), startupProbe(startupProbe)
{
}

tools::Result<bool> SerialLink::open(const QString &portName, const tools::LineSettings &settings)
{
    name = portName;
    lineSettings = settings;
    port.setPortName(portName);
    if (!tools::openPort(port, settings)) { // non-blocking, as QSerialPort leaves it
        failed = openError(portName, port);
        return tools::Result<bool>::failure(failed);
    }
    failed.clear();
    fd = int(port.handle());
    unsure = false; // until bytes come that nobody asked for
    // With VMIN 0 a terminal's read of nothing returns 0, which reads as a
    // hang-up; with VMIN 1 it is EAGAIN, and 0 means the line is gone.
    termios mode{};
    if (::tcgetattr(fd, &mode) == 0) {
        mode.c_cc[VMIN] = 1;
        mode.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &mode);
    }
    received.reserve(4096);
    return true;
}

tools::Result<bool> SerialLink::reopen()
{
    port.close();
    fd = -1;
    const auto opened = open(name, lineSettings);
    if (opened.ok())
        unsure = true; // the other end may have sent before we were back
    return opened;
}

// Every wait of the link: the port, the stop pipe and the deadline, woken
// for the heartbeat when it is due.
SerialLink::Woke SerialLink::wait(short events, qint64 untilNs)
{
    for (;;) {
        if (heartbeat && nowNs() >= nextBeatNs)
            nextBeatNs = heartbeat();
        short revents = 0;
        const qint64 sliceEnd = heartbeat ? std::min(untilNs, nextBeatNs) : untilNs;
        const Woke woke = stop.wait(fd, events, sliceEnd, &revents);
        if (woke == Woke::Failed)
            failed = systemError();
        else if (woke == Woke::Ready && (revents & (POLLERR | POLLHUP | POLLNVAL)))
            failed = QStringLiteral("the port hung up");
        if (!failed.isEmpty())
            return Woke::Failed;
        if (woke != Woke::TimedOut || sliceEnd >= untilNs)
            return woke;
    }
}

// What the port holds now, appended; false when it failed.
bool SerialLink::readInto(QByteArray &into)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0)
            into.append(buffer, int(got));
        if (got > 0 && got < ssize_t(sizeof buffer))
            return true;
        if (got > 0 || (got < 0 && errno == EINTR))
            continue;
        if (got < 0 && errno == EAGAIN)
            return true;
        failed = got == 0 ? QStringLiteral("the port hung up") : systemError();
        return false;
    }
}

void SerialLink::discard(qint64 bytes)
{
    discarded += quint64(bytes);
    if (bytes > 0)
        unsure = true;
}

SerialLink::Woke SerialLink::send(const char *command, int length, qint64 untilNs)
{
    int sent = 0;
    while (sent < length) {
        const ssize_t wrote = ::write(fd, command + sent, size_t(length - sent));
        if (wrote > 0) {
            sent += int(wrote);
            continue;
        }
        if (wrote < 0 && errno != EAGAIN && errno != EINTR) {
            failed = systemError();
            return Woke::Failed;
        }
        const Woke woke = wait(POLLOUT, untilNs);
        if (woke != Woke::Ready)
            return woke;
    }
    return Woke::Ready;
}

// Until no byte has come for guardNs, throwing away what comes: Ready then,
// TimedOut when untilNs came first.
SerialLink::Woke SerialLink::quietFor(qint64 guardNs, qint64 untilNs)
{
    for (;;) {
        const qint64 silentAt = nowNs() + guardNs;
        const Woke woke = wait(POLLIN, std::min(silentAt, untilNs));
        if (woke == Woke::TimedOut)
            return silentAt <= untilNs ? Woke::Ready : Woke::TimedOut;
        if (woke != Woke::Ready)
            return woke;
        QByteArray stray;
        if (!readInto(stray))
            return Woke::Failed;
        discard(stray.size());
    }
}

// The start-up command, and its answer within the timeout: Ready when
// "CC" CR LF came with nothing after it. Whatever came before it answered
// earlier frames and is thrown away.
SerialLink::Woke SerialLink::probe(int timeoutMs, qint64 untilNs)
{
    const int length = int(sizeof probeCommand) - 1;
    const qint64 answerBy = nowNs() + tools::wireNanoseconds(lineSettings, length) + timeoutMs * msNs;
    Woke woke = send(probeCommand, length, std::min(untilNs, answerBy));
    QByteArray got;
    while (woke == Woke::Ready) {
        const int at = int(got.indexOf(probeAnswer));
        if (at >= 0) {
            discard(at);
            discard(got.size() - at - probeAnswer.size());
            return at + probeAnswer.size() == got.size() ? Woke::Ready : Woke::TimedOut;
        }
        woke = wait(POLLIN, std::min(untilNs, answerBy));
        if (woke == Woke::Ready && !readInto(got))
            woke = Woke::Failed;
    }
    discard(got.size());
    return woke;
}

// While the line is in order (every frame answered whole, nothing unasked
// since) nothing is looked at: a byte that comes now is in the next
// exchange's bytes, beyond its reply, and makes the line unsure from there.
Settled SerialLink::settle(int timeoutMs, qint64 untilNs)
{
    if (!unsure)
        return Settled::Quiet;
    // A late reply comes within the guard and the timeout or not at all; a
    // line that stays busy longer is not one a frame can go out on.
    const quint64 before = discarded;
    const qint64 giveUpNs = nowNs() + qint64(guardMs + timeoutMs) * msNs;
    Woke woke = quietFor(qint64(guardMs) * msNs, std::min(untilNs, giveUpNs));
    if (woke == Woke::Ready && startupProbe)
        woke = probe(timeoutMs, untilNs);
    if (woke == Woke::Ready) {
        unsure = false;
        return Settled::Quiet;
    }
    if (woke == Woke::Failed)
        return Settled::PortFailed;
    if (woke == Woke::Stopped || nowNs() >= untilNs)
        return Settled::Interrupted;
    return discarded > before ? Settled::NotQuiet : Settled::NoAnswer;
}

LinkReply SerialLink::exchange(const char *command, int length, int replyLength, int timeoutMs,
                               qint64 untilNs)
{
    LinkReply reply;
    received.resize(0); // keeps its capacity
    // The write only fills the port's buffer: the reply's time starts when
    // the last byte has left, one wire time later (570 ms for 17 bytes at
    // 300 baud).
    const qint64 wireNs = tools::wireNanoseconds(lineSettings, length);
    const qint64 replyByNs = nowNs() + wireNs + timeoutMs * msNs;
    const qint64 byNs = std::min(replyByNs, untilNs);
    Woke woke = send(command, length, byNs);
    reply.sentNs = nowNs() + wireNs;
    while (woke == Woke::Ready) {
        const int end = replyEnd(received, replyLength);
        if (end >= 0) {
            discard(received.size() - end);
            reply.atNs = nowNs();
            reply.bytes = received.left(end);
            return reply;
        }
        woke = wait(POLLIN, byNs);
        if (woke == Woke::Ready && !readInto(received))
            woke = Woke::Failed;
    }
    reply.bytes = received;
    reply.atNs = nowNs();
    unsure = true;
    reply.end = woke == Woke::Failed                          ? ReplyEnd::PortFailed
              : woke == Woke::TimedOut && byNs == replyByNs ? ReplyEnd::TimedOut
                                                              : ReplyEnd::Interrupted;
    return reply;
}

} // namespace pollhost
