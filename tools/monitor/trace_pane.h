// Every frame and reply as hex and ASCII with its time; the last lines
// only, so a long session does not fill the memory.
#ifndef ORDELIN_MONITOR_TRACE_PANE_H
#define ORDELIN_MONITOR_TRACE_PANE_H

#include <QtWidgets/QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

namespace monitor {

class TracePane : public QWidget {
    Q_OBJECT
public:
    explicit TracePane(QWidget *parent = nullptr);
    // `missed`: lines the loop had to throw away before they got here.
    void append(const QStringList &lines, quint64 missed);

private:
    void copy();

    QPlainTextEdit *text;
    QCheckBox *paused;
    QLabel *skipped;
    quint64 notShown = 0;
};

} // namespace monitor

#endif
