// The host's end of a pseudo-terminal, opened raw, for tests that speak the
// protocol to a simulator directly.
#ifndef ORDELIN_TESTS_E2E_PTY_CLIENT_H
#define ORDELIN_TESTS_E2E_PTY_CLIENT_H

#include <QtCore/QByteArray>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace e2e {

class PtyClient {
public:
    explicit PtyClient(const QString &path)
        : fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY))
    {
        termios mode{};
        if (fd >= 0 && tcgetattr(fd, &mode) == 0) {
            cfmakeraw(&mode);
            tcsetattr(fd, TCSANOW, &mode);
        }
    }
    ~PtyClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    bool isOpen() const { return fd >= 0; }

    // Sends the command and gathers `length` bytes, or what came in time.
    QByteArray ask(const QByteArray &command, int length, int timeoutMs = 2000)
    {
        if (::write(fd, command.constData(), size_t(command.size())) != command.size())
            return {};
        QByteArray reply;
        QElapsedTimer clock;
        clock.start();
        while (reply.size() < length && clock.elapsed() < timeoutMs) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, int(timeoutMs - clock.elapsed())) <= 0)
                break;
            char buffer[256];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            reply.append(buffer, int(got));
        }
        return reply;
    }

private:
    int fd;
};

} // namespace e2e

#endif
