// Where and how to connect: a serial port present on this machine or the
// built-in simulator, the line settings and the driver's settings record.
#ifndef ORDELIN_MONITOR_CONNECTION_PANEL_H
#define ORDELIN_MONITOR_CONNECTION_PANEL_H

#include "session.h"

#include <QtCore/QThread>
#include <QtWidgets/QGroupBox>

class QComboBox;
class QPushButton;
class QSpinBox;

namespace monitor {

// "Find settings": the host library's line scan, in a thread of its own so
// the window stays live through its seconds. It reports by queued signals.
class ScanWorker : public QObject {
    Q_OBJECT
public:
    ScanWorker(const QString &port, const tools::WakeUp &stop) : port(port), stop(stop) {}
    void run();

signals:
    void progress(const QString &text);
    // baud 0: nothing answered; `summary` says what was found.
    void done(const QString &summary, int baud, int dataBits, int parity, int stopBits);

private:
    QString port;
    const tools::WakeUp &stop;
};

class ConnectionPanel : public QGroupBox {
    Q_OBJECT
public:
    explicit ConnectionPanel(QWidget *parent = nullptr);

    // The fields from a configuration, e.g. the command line's.
    void show(const SessionConfig &config);
    SessionConfig config(const pollhost::HostSettings &base) const;
    // Connected: the fields are locked and the button disconnects.
    // Busy: the last connection is still ending; nothing can be pressed.
    void setState(bool connected, bool busy);
    ~ConnectionPanel() override; // ends a scan under way and waits for it

signals:
    void connectPressed();
    void disconnectPressed();
    // What a scan does and found, for the window's message line.
    void scanMessage(const QString &text, bool error);

private:
    void refreshPorts();
    void findSettings();
    void scanned(const QString &summary, int baud, int dataBits, int parity, int stopBits);
    void enableFields();

    QComboBox *source;
    QComboBox *baud;
    QComboBox *dataBits;
    QComboBox *parity;
    QComboBox *stopBits;
    QSpinBox *station;
    QSpinBox *retries;
    QSpinBox *timeout;
    QPushButton *refresh;
    QPushButton *find;
    QPushButton *button;
    bool connected = false;
    bool busy = false;
    QThread scanThread;
    tools::WakeUp scanStop;
};

} // namespace monitor

#endif
