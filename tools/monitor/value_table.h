// The live table: one row per element of the variables polled, with its
// value in the row's format, when it last changed, its quality, a write in
// place and the outcome of that write, and a box that puts it on the chart.
#ifndef ORDELIN_MONITOR_VALUE_TABLE_H
#define ORDELIN_MONITOR_VALUE_TABLE_H

#include "session.h"
#include "value_format.h"

#include <QtWidgets/QTableWidget>

#include <optional>

namespace monitor {

// A value read for the chart: which element, when it was read, the value.
struct Sample {
    QString label;
    qint64 atMs;
    int value;
};

class ValueTable : public QTableWidget {
    Q_OBJECT
public:
    explicit ValueTable(QWidget *parent = nullptr);

    // Rows for these variables; rows of elements already shown keep their
    // state, format and tick.
    void setVariables(const QList<pollhost::Variable> &variables);
    // Forgets every read, as for a new connection.
    void forgetReads();

    // Shows the image's values (per variable, per element) of the elements
    // the loop has read, with their quality: a fresh value counts as stale
    // while nothing polls. Returns the samples of ticked rows read since.
    QList<Sample> showValues(const QList<QList<int>> &values,
                             const QHash<QPair<QString, int>, ElementTrust> &trust, bool polling,
                             qint64 nowMs);

    void setOutcome(const QString &label, const QString &text);
    void setTicked(const QString &label, bool ticked);
    QStringList tickedLabels() const;
    void setFormat(const QString &label, ValueFormat format);
    QMap<QString, QString> formatNames() const; // rows not in decimal
    QList<int> selectedVariables() const;

signals:
    void writeRequested(const pollhost::Variable &element, int value, const QString &label);
    void tickChanged(const QString &label, bool ticked);

private:
    struct Row {
        int variable = 0; // which variable, and which of its elements
        int index = 0;
        pollhost::Variable element; // count 1
        QString label;
        ValueFormat format = ValueFormat::Decimal;
        bool ticked = false;
        pollhost::Quality quality = pollhost::Quality::NeverRead;
        qint64 readAtMs = -1;
        qint64 sampledMs = -1; // the last read put on the chart
        std::optional<int> value;
        qint64 changedMs = 0;
        QString outcome;
    };

    void fillRow(int index);
    void onItemChanged(QTableWidgetItem *item);
    void setText(int row, int column, const QString &text, const QColor &colour = {});

    QList<Row> rows;
    bool filling = false; // the table changes its own items, not the user
};

} // namespace monitor

#endif
