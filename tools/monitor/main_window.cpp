#include "main_window.h"

#include "connection_panel.h"
#include "trace_pane.h"
#include "trend_view.h"
#include "value_table.h"

#include "host/project_file.h"
#include "host/request_set.h"

#include <QtCore/QDateTime>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSplitter>
#include <QtWidgets/QStatusBar>

namespace monitor {

namespace {

using namespace pollhost;

const int refreshMs = 200;

QString linkName(LinkState link)
{
    switch (link) {
    case LinkState::Up: return MainWindow::tr("up");
    case LinkState::Down: return MainWindow::tr("down");
    case LinkState::Retrying: return MainWindow::tr("retrying");
    case LinkState::Opening: break;
    }
    return MainWindow::tr("opening");
}

// The connection as a project file's "line": the built-in simulator is
// no port at all.
QJsonObject projectLine(const SessionConfig &config)
{
    QJsonObject line{{QStringLiteral("baud"), config.line.baud},
                     {QStringLiteral("data_bits"), config.line.dataBits},
                     {QStringLiteral("parity"), tools::parityNames().at(int(config.line.parity))},
                     {QStringLiteral("stop_bits"), config.line.stopBits},
                     {QStringLiteral("station"), config.host.station},
                     {QStringLiteral("retries"), config.host.retries},
                     {QStringLiteral("timeout_ms"), config.host.timeoutMs}};
    if (!config.sim)
        line.insert(QStringLiteral("port"), config.port);
    return line;
}

} // namespace

MainWindow::MainWindow(const DriverApi &api, const MonitorOptions &options)
    : api(api), baseHost(options.connection.host), panel(new ConnectionPanel),
      field(new QLineEdit),
      message(new QLabel), table(new ValueTable), trend(new TrendView), trace(new TracePane),
      status(new QLabel)
{
    setWindowTitle(tr("Ordelin monitor"));
    table->setObjectName(QStringLiteral("valueTable"));
    auto *upper = new QSplitter(Qt::Horizontal);
    upper->addWidget(table);
    upper->addWidget(trend);
    upper->setSizes({760, 520});
    auto *parts = new QSplitter(Qt::Vertical);
    parts->addWidget(upper);
    parts->addWidget(trace);
    parts->setStretchFactor(0, 3);
    parts->setStretchFactor(1, 1);
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(panel);
    layout->addWidget(variablesRow());
    layout->addWidget(parts, 1);
    setCentralWidget(central);
    statusBar()->addWidget(status, 1);
    resize(1280, 800);

    connect(panel, &ConnectionPanel::connectPressed, this, &MainWindow::connectLine);
    connect(panel, &ConnectionPanel::disconnectPressed, this, &MainWindow::disconnectLine);
    connect(panel, &ConnectionPanel::scanMessage, this, &MainWindow::showMessage);
    connect(table, &ValueTable::tickChanged, trend, &TrendView::setTracked);
    connect(table, &ValueTable::writeRequested, this, &MainWindow::onWriteRequested);
    connect(&timer, &QTimer::timeout, this, &MainWindow::update);
    timer.start(refreshMs);

    panel->show(options.connection);
    QStringList refused;
    // The file first: loading it starts afresh, and the command line adds to it.
    if (!options.variableSet.isEmpty()) {
        const auto loaded = loadVariableSet(options.variableSet, options.lineName);
        if (loaded.ok())
            apply(loaded.value(), false); // its line is in the options already
        else
            refused << loaded.error();
    }
    for (const QString &text : options.variables + options.trends) {
        if (options.trends.contains(text) && shown(text))
            continue; // a trend of elements already polled
        const QString problem = addVariable(text);
        if (!problem.isEmpty())
            refused << problem;
    }
    for (const QString &text : options.trends)
        tick(text);
    refusedAtStart = refused;
    if (!refused.isEmpty())
        showMessage(refused.join(QLatin1Char('\n')), true);
    if (options.connectAtStart && refused.isEmpty())
        connectLine();
    update();
}

MainWindow::~MainWindow() = default;

QWidget *MainWindow::variablesRow()
{
    field->setObjectName(QStringLiteral("variableField"));
    field->setPlaceholderText(tr("Variable, e.g. DM100:10, RLY00105:4, TV_c5, DM110:2@float32"));
    message->setObjectName(QStringLiteral("variableMessage"));
    message->setWordWrap(true);
    auto *add = new QPushButton(tr("Add"));
    auto *once = new QPushButton(tr("Read once"));
    once->setObjectName(QStringLiteral("readOnce"));
    auto *remove = new QPushButton(tr("Remove selected"));
    auto *saveButton = new QPushButton(tr("Save set…"));
    auto *saveProjectButton = new QPushButton(tr("Save project…"));
    auto *loadButton = new QPushButton(tr("Open…"));
    connect(field, &QLineEdit::returnPressed, this, &MainWindow::addTyped);
    connect(add, &QPushButton::clicked, this, &MainWindow::addTyped);
    connect(once, &QPushButton::clicked, this, &MainWindow::readOnce);
    connect(remove, &QPushButton::clicked, this, &MainWindow::removeSelected);
    connect(saveButton, &QPushButton::clicked, this, &MainWindow::save);
    connect(saveProjectButton, &QPushButton::clicked, this, &MainWindow::saveProject);
    connect(loadButton, &QPushButton::clicked, this, &MainWindow::load);
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field, 1);
    layout->addWidget(add);
    layout->addWidget(once);
    layout->addWidget(message, 2);
    layout->addWidget(remove);
    layout->addWidget(saveButton);
    layout->addWidget(saveProjectButton);
    layout->addWidget(loadButton);
    return row;
}

tools::Result<Variable> MainWindow::check(const QString &text) const
{
    // A name that is no address is a tag the window does not have: the
    // driver's own message ("the register address can not be null") would
    // not say so.
    if (!text.contains(QLatin1Char('@')) && namesATag(text.trimmed().section(QLatin1Char(':'), 0, 0)))
        return tools::Result<Variable>::failure(
            tr("no tag '%1' is loaded (a project's tags come with --load or Open…)").arg(text.trimmed()));
    const auto parsed = parseVariable(text.trimmed());
    return parsed.ok() ? checkVariable(api, parsed.value(), baseHost.language) : parsed;
}

// A typed variable, ADDRESS[:N]@TYPE as the poller takes it: its tags,
// each checked by the driver.
tools::Result<QList<Tag>> MainWindow::checkTyped(const QString &text) const
{
    auto typed = typedTags(text.trimmed());
    if (!typed.ok())
        return typed;
    for (Tag &tag : typed.value()) {
        const auto variable = checkVariable(api, tag.variable, baseHost.language);
        if (!variable.ok())
            return tools::Result<QList<Tag>>::failure(tr("tag '%1': %2").arg(tag.name, variable.error()));
        tag.variable = variable.value();
    }
    return typed;
}

QString MainWindow::addVariable(const QString &text)
{
    if (isTag(text.trimmed()))
        return {}; // shown already
    if (text.contains(QLatin1Char('@'))) {
        const auto typed = checkTyped(text);
        if (!typed.ok())
            return typed.error();
        for (const Tag &tag : typed.value())
            if (!isTag(tag.name))
                tags << tag;
        place();
        return {};
    }
    const auto checked = check(text);
    if (!checked.ok())
        return checked.error();
    for (const Variable &known : variables)
        if (known.text == checked.value().text)
            return {}; // already polled
    setVariables(variables + QList<Variable>{checked.value()});
    return {};
}

void MainWindow::addTyped()
{
    const QString problem = addVariable(field->text());
    showMessage(problem.isEmpty() ? tr("%1 added").arg(field->text().trimmed()) : problem,
                !problem.isEmpty());
    if (problem.isEmpty())
        field->clear();
}

// The loop hands the read to the driver before its next frame.
void MainWindow::readOnce()
{
    const auto checked = check(field->text());
    if (!checked.ok())
        showMessage(checked.error(), true);
    else if (!live)
        showMessage(tr("%1: not read, not connected").arg(checked.value().text), true);
    else
        session->requests().postOnceRead(checked.value());
}

void MainWindow::removeSelected()
{
    QList<Variable> kept;
    QList<Tag> keptTags;
    const QList<int> chosen = table->selectedVariables();
    for (int i = 0; i < variables.size(); ++i)
        if (!chosen.contains(i))
            kept << variables[i];
    for (int i = 0; i < tags.size(); ++i)
        if (!chosen.contains(int(variables.size()) + i))
            keptTags << tags[i];
    tags = keptTags;
    setVariables(kept);
}

void MainWindow::setVariables(const QList<Variable> &wanted)
{
    variables = wanted;
    place();
}

QList<Variable> MainWindow::cyclic() const
{
    QList<Variable> all = variables;
    for (const Tag &tag : tags)
        all << tag.variable;
    return all;
}

void MainWindow::place()
{
    const QStringList ticked = table->tickedLabels();
    table->setTags(placeTags(variables, tags));
    const QStringList still = table->tickedLabels();
    for (const QString &label : ticked)
        if (!still.contains(label))
            trend->setTracked(label, QString(), false);
    if (session)
        session->requests().postCyclic(cyclic());
}

bool MainWindow::isTag(const QString &name) const
{
    return std::any_of(tags.begin(), tags.end(), [&](const Tag &tag) { return tag.name == name; });
}

// A variable's elements, or a project's tag by its name.
void MainWindow::tick(const QString &variableText)
{
    if (isTag(variableText)) {
        table->setTicked(variableText, true);
        return;
    }
    if (variableText.contains(QLatin1Char('@'))) {
        const auto typed = checkTyped(variableText);
        for (const Tag &tag : typed.ok() ? typed.value() : QList<Tag>{})
            table->setTicked(tag.name, true);
        return;
    }
    const auto checked = check(variableText);
    for (int i = 0; checked.ok() && i < checked.value().count; ++i)
        table->setTicked(checked.value().label(i), true);
}

bool MainWindow::shown(const QString &variableText) const
{
    if (isTag(variableText))
        return true;
    const auto checked = check(variableText);
    if (!checked.ok())
        return false;
    for (int i = 0; i < checked.value().count; ++i) {
        const Variable &wanted = checked.value();
        const bool found = std::any_of(variables.begin(), variables.end(), [&](const Variable &v) {
            return v.family == wanted.family && wanted.address + i >= v.address
                && wanted.address + i < v.address + v.count;
        });
        if (!found)
            return false;
    }
    return true;
}

void MainWindow::apply(const VariableSet &set, bool withLine)
{
    for (const QString &label : table->tickedLabels())
        table->setTicked(label, false);
    tags.clear();
    setVariables({});
    QStringList refused = applyProject(set, withLine);
    for (const QString &text : set.variables) {
        const QString problem = addVariable(text);
        if (!problem.isEmpty())
            refused << problem;
    }
    for (const QString &label : set.trends)
        tick(label);
    for (auto it = set.formats.cbegin(); it != set.formats.cend(); ++it)
        table->setFormat(it.key(), formatNamed(it.value()));
    showMessage(refused.join(QLatin1Char('\n')), !refused.isEmpty());
}

// A project's tags, each checked by the driver, and its line settings in
// the connection panel (the user's own choice of port stays if none is given).
QStringList MainWindow::applyProject(const VariableSet &set, bool withLine)
{
    QStringList refused;
    for (Tag tag : set.tags) {
        const auto variable = checkVariable(api, tag.variable, baseHost.language);
        if (!variable.ok()) {
            refused << tr("tag '%1': %2").arg(tag.name, variable.error());
            continue;
        }
        tag.variable = variable.value();
        tags << tag;
    }
    place();
    if (!withLine || set.line.isEmpty())
        return refused;
    QJsonObject wanted = set.line;
    const SessionConfig current = panel->config(baseHost);
    if (!wanted.contains(QStringLiteral("port")) && !current.sim)
        wanted.insert(QStringLiteral("port"), current.port);
    const bool simulator = !wanted.contains(QStringLiteral("port"));
    const auto line = parseMonitorOptions(withProjectLine({QStringLiteral("ordelin-monitor")}, wanted, false, simulator));
    if (line.ok())
        panel->show(line.value().connection);
    else
        refused << line.error();
    return refused;
}

// The project file ordelin-poll reads too: the panel's line and every row as
// a tag (a plain variable as one tag per element, named by its address).
void MainWindow::saveProject()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save project"), QString(),
                                                      tr("Project files (*.json)"));
    if (path.isEmpty())
        return;
    const QString problem = saveProjectTo(path);
    showMessage(problem.isEmpty() ? tr("saved %1").arg(path) : problem, !problem.isEmpty());
}

QString MainWindow::saveProjectTo(const QString &path)
{
    Project project;
    project.line = projectLine(panel->config(baseHost));
    for (const Variable &variable : variables)
        project.tags += tagsOfVariable(variable);
    project.tags += tags;
    const auto saved = writeProject(path, project);
    return saved.ok() ? QString() : saved.error();
}

void MainWindow::save()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Save variable set"), QString(),
                                                      tr("Variable sets (*.json)"));
    if (path.isEmpty())
        return;
    VariableSet set;
    for (const Variable &variable : variables)
        set.variables << variable.text;
    set.trends = table->tickedLabels();
    set.formats = table->formatNames();
    const QString problem = saveVariableSet(path, set);
    showMessage(problem.isEmpty() ? tr("saved %1").arg(path) : problem, !problem.isEmpty());
}

void MainWindow::load()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open variable set or project"), QString(),
                                                      tr("Variable sets and projects (*.json)"));
    if (path.isEmpty())
        return;
    const auto loaded = loadVariableSet(path);
    if (loaded.ok())
        apply(loaded.value(), true);
    else
        showMessage(loaded.error(), true);
}

void MainWindow::showMessage(const QString &text, bool error)
{
    message->setText(text);
    message->setStyleSheet(error ? QStringLiteral("color: #B00020") : QString());
}

void MainWindow::connectLine()
{
    active = panel->config(baseHost);
    table->forgetReads();
    trust.clear();
    counts = {};
    problem.clear();
    rateFromMs = QDateTime::currentMSecsSinceEpoch();
    rateFromExchanges = 0;
    rate = -1;
    auto started = Session::create(api, active, cyclic());
    if (!started.ok()) {
        status->setText(tr("Cannot connect: %1").arg(started.error()));
        return;
    }
    // The previous session's worker has ended (the button waits for that);
    // it goes now that the new one has registered its settings.
    session = std::move(started.value());
    const LoopWorker *worker = session->worker();
    connect(worker, &LoopWorker::traced, this, [this](const QString &line) { traced << line; });
    connect(worker, &LoopWorker::ended, this, &MainWindow::report);
    connect(worker, &LoopWorker::shown, this, [this](const Trust &now, const LineCounts &line) {
        trust = now;
        counts = line;
    });
    connect(worker, &LoopWorker::problem, this, [this](const QString &text) { problem = text; });
    connect(worker, &LoopWorker::finished, this, &MainWindow::ended);
    session->run();
    running = true;
    live = true;
    panel->setState(true, false);
}

void MainWindow::disconnectLine()
{
    if (!session || !live)
        return;
    session->stop();
    stopping = true;
    live = false;
    panel->setState(false, true);
}

void MainWindow::ended()
{
    running = false;
    stopping = false;
    panel->setState(false, false);
}

void MainWindow::onWriteRequested(const Variable &target, const QList<int> &values,
                                  const QString &label)
{
    if (!live)
        table->setOutcome(label, tr("not sent: not connected"));
    else
        session->requests().postWrite({label, target, values});
}

// A write's outcome goes on its row, with the values as the image now has
// them; a once-read's values under the field.
void MainWindow::report(const HostEvent &event)
{
    update();
    if (event.kind == QLatin1String("write")) {
        table->setOutcome(event.target, event.note);
        return;
    }
    QStringList shown;
    for (int value : event.values)
        shown << (value == notRead ? QStringLiteral("–") : QString::number(value));
    showMessage(tr("%1 read once: %2 (%3)").arg(event.target, shown.join(QStringLiteral(", ")), event.note),
                !event.complete);
}

void MainWindow::update()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const bool polling = running && problem.isEmpty() && !stopping;
    trace->append(traced, 0);
    traced.clear();
    if (session)
        showStatus(now);
    QList<QList<int>> values;
    for (const Variable &variable : cyclic())
        values << readImage(api, variable, active.host.station);
    trend->add(table->showValues(values, trust, polling, now));
    trend->redraw(now);
}

void MainWindow::showStatus(qint64 nowMs)
{
    if (nowMs - rateFromMs >= 1000) {
        rate = double(counts.exchanges - rateFromExchanges) * 1000.0 / double(nowMs - rateFromMs);
        rateFromMs = nowMs;
        rateFromExchanges = counts.exchanges;
    }
    const QString where = active.sim ? tr("built-in simulator") : active.port;
    QString text = tr("%1 · link %2 · %3 exchanges/s · accepted %4 · rejected %5 · dropped %6 · "
                      "start-ups %7")
                       .arg(where, running ? linkName(problem.isEmpty() ? counts.link : LinkState::Down)
                                           : tr("closed"))
                       .arg(rate < 0 ? tr("–") : QString::number(rate, 'f', 1))
                       .arg(counts.accepted)
                       .arg(counts.rejected)
                       .arg(counts.dropped)
                       .arg(counts.startups);
    if (!counts.replyTime.isEmpty())
        text += QStringLiteral(" · ") + counts.replyTime;
    if (!problem.isEmpty())
        text += tr(" · %1, trying again").arg(problem);
    status->setText(text);
}

} // namespace monitor
