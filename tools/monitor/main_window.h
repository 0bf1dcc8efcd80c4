// The monitor's window: the connection, the variables, the live table, the
// chart, the trace and the line's health in the status bar. The session's
// worker tells it what the loop reported; a timer redraws from the image five
// times a second. Nothing here waits for the line.
#ifndef ORDELIN_MONITOR_MAIN_WINDOW_H
#define ORDELIN_MONITOR_MAIN_WINDOW_H

#include "monitor_options.h"
#include "variable_set.h"
#include "session.h"

#include <QtCore/QTimer>
#include <QtWidgets/QMainWindow>

class QLabel;
class QLineEdit;

namespace monitor {

class ConnectionPanel;
class TracePane;
class TrendView;
class ValueTable;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(const pollhost::DriverApi &api, const MonitorOptions &options);
    ~MainWindow() override;
    // What the command line asked for and could not have: bad variables, a
    // project that cannot be read.
    const QStringList &startupErrors() const { return refusedAtStart; }

    // Checks and adds a variable; the driver's message when it is refused.
    QString addVariable(const QString &text);
    void connectLine();
    void disconnectLine();
    // The panel's line and every row as a tag; empty when saved, else why not.
    QString saveProjectTo(const QString &path);

private:
    QWidget *variablesRow();
    // The variable as the driver checks it, or its message.
    tools::Result<pollhost::Variable> check(const QString &text) const;
    tools::Result<QList<pollhost::Tag>> checkTyped(const QString &text) const;
    void addTyped();
    void removeSelected();
    void setVariables(const QList<pollhost::Variable> &variables);
    // The plain variables, then one variable per tag: what the loop polls.
    QList<pollhost::Variable> cyclic() const;
    void place();
    void readOnce();
    // `withLine`: the set's line settings go to the connection panel.
    void apply(const VariableSet &set, bool withLine);
    QStringList applyProject(const VariableSet &set, bool withLine);
    void tick(const QString &variableText);
    bool shown(const QString &variableText) const;
    bool isTag(const QString &name) const;
    void save();
    void saveProject();
    void load();
    void showMessage(const QString &text, bool error);

    void update();
    void showStatus(qint64 nowMs);
    void onWriteRequested(const pollhost::Variable &target, const QList<int> &values,
                          const QString &label);
    void report(const pollhost::HostEvent &event);
    void ended();

    const pollhost::DriverApi &api;
    pollhost::HostSettings baseHost; // what the panel does not set
    QList<pollhost::Variable> variables;
    QList<pollhost::Tag> tags; // of a project, checked by the driver
    std::unique_ptr<Session> session; // kept after a disconnect: the driver holds its settings
    SessionConfig active;
    Trust trust; // as the loop last showed it
    LineCounts counts;
    QString problem; // the port's, while it cannot be used
    QStringList traced; // since the last redraw
    bool running = false; // the session's worker has not finished
    bool stopping = false;
    bool live = false; // connected, and Disconnect not pressed since

    ConnectionPanel *panel;
    QLineEdit *field;
    QLabel *message;
    ValueTable *table;
    TrendView *trend;
    TracePane *trace;
    QLabel *status;
    QTimer timer;

    qint64 rateFromMs = 0; // exchanges per second over about a second
    quint64 rateFromExchanges = 0;
    double rate = -1; // none measured yet
    QStringList refusedAtStart;
};

} // namespace monitor

#endif
