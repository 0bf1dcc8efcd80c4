#include "connection_panel.h"

#include "host/project_file.h"

#include <QtSerialPort/QSerialPortInfo>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFormLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpinBox>

namespace monitor {

namespace {

QComboBox *choices(const QStringList &texts, const QList<int> &values)
{
    auto *box = new QComboBox;
    for (int i = 0; i < texts.size(); ++i)
        box->addItem(texts[i], values[i]);
    return box;
}

// The same range as the option and the project file's field.
QSpinBox *number(const char *option, const QString &suffix = {})
{
    const pollhost::LineField *field = pollhost::lineField(QLatin1String(option));
    auto *box = new QSpinBox;
    box->setRange(int(field->lowest), int(field->highest));
    box->setSuffix(suffix);
    return box;
}

void select(QComboBox *box, const QVariant &value)
{
    const int index = box->findData(value);
    if (index >= 0)
        box->setCurrentIndex(index);
}

// A label above its field, so the panel stays one row high.
QLayout *labelled(const QString &label, QWidget *field)
{
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    column->addWidget(new QLabel(label));
    column->addWidget(field);
    return column;
}

} // namespace

ConnectionPanel::ConnectionPanel(QWidget *parent)
    : QGroupBox(tr("Connection"), parent), source(new QComboBox),
      baud(new QComboBox), dataBits(choices({"5", "6", "7", "8"}, {5, 6, 7, 8})),
      parity(choices(tools::parityNames(), {0, 1, 2})),
      stopBits(choices({"1", "2"}, {1, 2})), station(number("station")), retries(number("retries")),
      timeout(number("timeout", tr(" ms"))), refresh(new QPushButton(tr("Refresh"))),
      button(new QPushButton)
{
    source->setObjectName(QStringLiteral("source"));
    button->setObjectName(QStringLiteral("connectButton"));
    source->setMinimumContentsLength(18);
    for (qint32 rate : tools::supportedBauds())
        baud->addItem(QString::number(rate), rate);
    connect(refresh, &QPushButton::clicked, this, &ConnectionPanel::refreshPorts);
    connect(button, &QPushButton::clicked, this,
            [this] { emit connected ? disconnectPressed() : connectPressed(); });
    refreshPorts();

    auto *row = new QHBoxLayout(this);
    row->addLayout(labelled(tr("Port"), source));
    row->addWidget(refresh, 0, Qt::AlignBottom);
    row->addLayout(labelled(tr("Baud"), baud));
    row->addLayout(labelled(tr("Data bits"), dataBits));
    row->addLayout(labelled(tr("Parity"), parity));
    row->addLayout(labelled(tr("Stop bits"), stopBits));
    row->addLayout(labelled(tr("Station"), station));
    row->addLayout(labelled(tr("Retries"), retries));
    row->addLayout(labelled(tr("Reply timeout"), timeout));
    row->addStretch();
    row->addWidget(button, 0, Qt::AlignBottom);
    setState(false, false);
}

// The simulator first, then the ports present now; the choice is kept when
// its port is still there.
void ConnectionPanel::refreshPorts()
{
    const QVariant chosen = source->currentData();
    source->clear();
    source->addItem(tr("Built-in simulator"), QString());
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const QString what = port.description().isEmpty() ? QString()
                                                           : QStringLiteral(" (%1)").arg(port.description());
        source->addItem(port.systemLocation() + what, port.systemLocation());
    }
    select(source, chosen);
}

void ConnectionPanel::show(const SessionConfig &config)
{
    if (!config.sim && source->findData(config.port) < 0)
        source->addItem(config.port, config.port); // e.g. a pseudo-terminal
    select(source, config.sim ? QString() : config.port);
    select(baud, config.line.baud);
    select(dataBits, config.line.dataBits);
    select(parity, int(config.line.parity));
    select(stopBits, config.line.stopBits);
    station->setValue(config.host.station);
    retries->setValue(config.host.retries);
    timeout->setValue(config.host.timeoutMs);
}

SessionConfig ConnectionPanel::config(const pollhost::HostSettings &base) const
{
    SessionConfig config;
    config.port = source->currentData().toString();
    config.sim = config.port.isEmpty();
    config.line.baud = baud->currentData().toInt();
    config.line.dataBits = dataBits->currentData().toInt();
    config.line.parity = tools::Parity(parity->currentData().toInt());
    config.line.stopBits = stopBits->currentData().toInt();
    config.host = base;
    config.host.station = station->value();
    config.host.retries = retries->value();
    config.host.timeoutMs = timeout->value();
    return config;
}

void ConnectionPanel::setState(bool isConnected, bool busy)
{
    connected = isConnected;
    button->setText(connected ? tr("Disconnect") : tr("Connect"));
    button->setEnabled(!busy);
    for (QWidget *field : std::initializer_list<QWidget *>{source, refresh, baud, dataBits, parity,
                                                          stopBits, station, retries, timeout})
        field->setEnabled(!connected && !busy);
}

} // namespace monitor
