#include "reconnect.h"

#include <QtCore/QDeadlineTimer>

#include <thread>

namespace pollhost {

bool reopenEverySecond(SerialLink &link, const QString &portName, const tools::LineSettings &settings,
                       const std::function<bool()> &giveUp)
{
    link.close();
    for (;;) {
        const QDeadlineTimer nextTry(1000);
        // Short sleeps, so Ctrl-C and --duration end the wait promptly.
        while (!nextTry.hasExpired()) {
            if (giveUp())
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(20, nextTry.remainingTime() + 1)));
        }
        if (link.open(portName, settings).ok())
            return true;
    }
}

} // namespace pollhost
