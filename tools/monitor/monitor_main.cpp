// ordelin-monitor: the desktop monitor. Loads the driver at run time, polls
// a PLC on a serial port (or the built-in simulator) on a worker thread and
// shows values, trends, writes and the line's health in a window.
#include "main_window.h"

#include "host/driver_api.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>

#include <cstdio>

namespace {

enum ExitCode { Success = 0, BadOption = 1, BadVariable = 2, LibraryFailed = 3, ScreenshotFailed = 4 };

int fail(const QString &message, ExitCode code)
{
    std::fprintf(stderr, "%s: %s\n", qPrintable(QApplication::applicationName()), message.toLocal8Bit().constData());
    return code;
}

// Qt aborts when it finds no display. Without one the monitor runs on the
// offscreen platform, which serves --help and a --screenshot run.
bool headless()
{
    return qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    const bool noDisplay = headless();
    if (noDisplay)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(ORDELIN_VERSION));
    const auto parsed = monitor::parseMonitorOptions(QApplication::arguments());
    if (!parsed.ok())
        return fail(parsed.error() + QStringLiteral(" (see --help)"), BadOption);
    const monitor::MonitorOptions &options = parsed.value();
    if (options.showHelp) {
        std::fputs(options.helpText.toLocal8Bit().constData(), stdout);
        return Success;
    }
    if (noDisplay && options.screenshot.isEmpty())
        return fail(QStringLiteral("no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not "
                                   "set); without one, give --duration SECONDS --screenshot FILE.png"),
                    BadOption);
    const auto api = pollhost::loadDriver(options.library.isEmpty() ? pollhost::defaultLibraryPath()
                                                                     : options.library);
    if (!api.ok()) {
        if (options.durationMs == 0)
            QMessageBox::critical(nullptr, QStringLiteral("Ordelin monitor"),
                                  QStringLiteral("The driver cannot be loaded:\n%1").arg(api.error()));
        return fail(api.error(), LibraryFailed);
    }
    monitor::MainWindow window(api.value(), options);
    // As in the poller: what the command line asked for and cannot have ends the run.
    if (!window.startupErrors().isEmpty()) {
        for (const QString &error : window.startupErrors())
            fail(error, BadVariable);
        return BadVariable;
    }
    window.show();
    if (options.durationMs > 0) {
        QTimer::singleShot(int(options.durationMs), Qt::PreciseTimer, &window, [&] {
            if (!options.screenshot.isEmpty() && !window.grab().save(options.screenshot, "PNG")) {
                fail(QStringLiteral("cannot write %1").arg(options.screenshot), ScreenshotFailed);
                QApplication::exit(ScreenshotFailed);
                return;
            }
            QApplication::exit(Success);
        });
    }
    return QApplication::exec();
}
