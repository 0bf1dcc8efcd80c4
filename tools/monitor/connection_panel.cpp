#include "connection_panel.h"

#include "host/line_scan.h"
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
      find(new QPushButton(tr("Find settings"))), button(new QPushButton)
{
    find->setObjectName(QStringLiteral("findButton"));
    baud->setObjectName(QStringLiteral("baud"));
    find->setToolTip(tr("Send the start-up command at each usual baud rate and framing on the "
                        "chosen port and fill in the first that answers"));
    connect(find, &QPushButton::clicked, this, &ConnectionPanel::findSettings);
    connect(source, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { enableFields(); });
    source->setObjectName(QStringLiteral("source"));
    button->setObjectName(QStringLiteral("connectButton"));
    source->setMinimumContentsLength(18);
    for (qint32 rate : tools::supportedBauds())
        baud->addItem(QString::number(rate), rate);
    connect(refresh, &QPushButton::clicked, this, &ConnectionPanel::refreshPorts);
    connect(button, &QPushButton::clicked, this,
            [this] { emit connected ? disconnectPressed() : connectPressed(); });
    refreshPorts();
    enableFields();

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
    row->addWidget(find, 0, Qt::AlignBottom);
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

ConnectionPanel::~ConnectionPanel()
{
    scanStop.raise();
    scanThread.quit();
    scanThread.wait(); // the scan's waits all end at the stop
}

void ConnectionPanel::setState(bool isConnected, bool isBusy)
{
    connected = isConnected;
    busy = isBusy;
    button->setText(connected ? tr("Disconnect") : tr("Connect"));
    enableFields();
}

// While a scan runs only its own button (to stop it) can be pressed; it
// has a port to scan only when one is chosen: the built-in simulator
// answers at any setting.
void ConnectionPanel::enableFields()
{
    const bool scanning = scanThread.isRunning();
    button->setEnabled(!busy && !scanning);
    for (QWidget *field : std::initializer_list<QWidget *>{source, refresh, baud, dataBits, parity,
                                                          stopBits, station, retries, timeout})
        field->setEnabled(!connected && !busy && !scanning);
    find->setText(scanning ? tr("Stop finding") : tr("Find settings"));
    find->setEnabled(scanning || (!connected && !busy && !source->currentData().toString().isEmpty()));
}

void ConnectionPanel::findSettings()
{
    if (scanThread.isRunning()) {
        scanStop.raise();
        return;
    }
    scanStop.clear();
    auto *worker = new ScanWorker(source->currentData().toString(), scanStop);
    worker->moveToThread(&scanThread);
    connect(&scanThread, &QThread::started, worker, &ScanWorker::run);
    connect(worker, &ScanWorker::progress, this, [this](const QString &text) { emit scanMessage(text, false); });
    connect(worker, &ScanWorker::done, this, &ConnectionPanel::scanned);
    connect(worker, &ScanWorker::done, &scanThread, &QThread::quit);
    connect(&scanThread, &QThread::finished, worker, &QObject::deleteLater);
    connect(&scanThread, &QThread::finished, this, &ConnectionPanel::enableFields, Qt::UniqueConnection);
    scanThread.start();
    enableFields();
}

void ConnectionPanel::scanned(const QString &summary, int baudRate, int bits, int parityIndex, int stops)
{
    if (baudRate > 0) {
        select(baud, baudRate);
        select(dataBits, bits);
        select(parity, parityIndex);
        select(stopBits, stops);
    }
    emit scanMessage(summary, baudRate == 0);
}

void ScanWorker::run()
{
    const QList<tools::LineSettings> candidates = pollhost::scanCandidates();
    int tried = 0;
    const pollhost::ScanReport report =
        pollhost::scanLine(port, candidates, pollhost::scanTimeoutMs, stop, [&](const pollhost::ScanStep &step) {
            ++tried;
            emit progress(tr("Finding settings on %1: %2 %3 (%4 of %5)")
                              .arg(port, tools::describe(step.settings), pollhost::describe(step))
                              .arg(tried).arg(candidates.size()));
        });
    const pollhost::ScanStep *found = report.found();
    QString summary = !report.failure.isEmpty() ? report.failure
                    : found ? tr("%1 answered at %2 (%3)")
                                  .arg(port, tools::describe(found->settings), pollhost::describe(*found))
                    : report.stopped ? tr("Finding settings stopped: nothing answered in %1 of %2 settings")
                                           .arg(report.steps.size()).arg(candidates.size())
                                     : tr("No setting answered on %1 (%2 tried)").arg(port).arg(report.steps.size());
    if (found && report.pseudoTerminal)
        summary += tr("; a pseudo-terminal keeps the baud rate but not the framing");
    if (!found) {
        emit done(summary, 0, 0, 0, 0);
        return;
    }
    const tools::LineSettings &s = found->settings;
    emit done(summary, s.baud, s.dataBits, int(s.parity), s.stopBits);
}

} // namespace monitor
