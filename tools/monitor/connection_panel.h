// Where and how to connect: a serial port present on this machine or the
// built-in simulator, the line settings and the driver's settings record.
#ifndef ORDELIN_MONITOR_CONNECTION_PANEL_H
#define ORDELIN_MONITOR_CONNECTION_PANEL_H

#include "session.h"

#include <QtWidgets/QGroupBox>

class QComboBox;
class QPushButton;
class QSpinBox;

namespace monitor {

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

signals:
    void connectPressed();
    void disconnectPressed();

private:
    void refreshPorts();

    QComboBox *source;
    QComboBox *baud;
    QComboBox *dataBits;
    QComboBox *parity;
    QComboBox *stopBits;
    QSpinBox *station;
    QSpinBox *retries;
    QSpinBox *timeout;
    QPushButton *refresh;
    QPushButton *button;
    bool connected = false;
};

} // namespace monitor

#endif
