// The live table: one row per element of the plain variables polled and
// one per tag of a project, with its value (a plain element in the row's
// format, a tag through its type and scaling, with its unit), when it last
// changed, its quality, a write in place and the outcome of that write, and
// a box that puts it on the chart.
#ifndef ORDELIN_MONITOR_VALUE_TABLE_H
#define ORDELIN_MONITOR_VALUE_TABLE_H

#include "session.h"
#include "value_format.h"

#include "host/shown_tags.h"

#include <QtWidgets/QTableWidget>

#include <optional>

namespace monitor {

// A value read for the chart: which row, when it was read, the value (a
// tag's scaled).
struct Sample {
    QString label;
    qint64 atMs;
    double value;
};

class ValueTable : public QTableWidget {
    Q_OBJECT
public:
    explicit ValueTable(QWidget *parent = nullptr);

    // Rows for these tags; rows of tags already shown keep their state,
    // format and tick.
    void setTags(const QList<pollhost::ShownTag> &tags);
    // Forgets every read, as for a new connection.
    void forgetReads();

    // Shows the image's values (per cyclic variable, per element) of the
    // elements the loop has read, with their quality: a fresh or uncertain
    // value counts as stale while nothing polls. Returns the samples of ticked rows read
    // since.
    QList<Sample> showValues(const QList<QList<int>> &values,
                             const QHash<QPair<QString, int>, ElementTrust> &trust, bool polling,
                             qint64 nowMs);

    void setOutcome(const QString &label, const QString &text);
    void setTicked(const QString &label, bool ticked);
    QStringList tickedLabels() const;
    void setFormat(const QString &label, ValueFormat format);
    QMap<QString, QString> formatNames() const; // rows not in decimal
    QList<int> selectedVariables() const; // indexes in the cyclic list

signals:
    // `target`: the first element and the count; one value per element.
    void writeRequested(const pollhost::Variable &target, const QList<int> &values,
                        const QString &label);
    // `unit`: the tag's, empty for a plain element; the chart gives each
    // unit an axis of its own.
    void tickChanged(const QString &label, const QString &unit, bool ticked);

private:
    struct Row {
        pollhost::ShownTag shown;
        QString label; // the tag's name; a plain element's is its address
        ValueFormat format = ValueFormat::Decimal;
        bool ticked = false;
        pollhost::Quality quality = pollhost::Quality::NeverRead;
        qint64 readAtMs = -1;
        qint64 sampledMs = -1; // the last read put on the chart
        std::optional<int> raw;        // a plain element's value
        pollhost::TagReading reading;  // a tag's, when it has been read
        qint64 changedMs = 0;
        QString outcome;

        bool isBit() const { return shown.tag.variable.isBit(); }
        bool read() const { return raw || reading.valid || !reading.text.isEmpty(); }
        QString text() const;
    };

    bool showRow(Row &row, const QList<QList<int>> &values,
                 const QHash<QPair<QString, int>, ElementTrust> &trust, bool polling, qint64 nowMs);
    void requestWrite(Row &row, const QString &typed);
    void fillRow(int index);
    void onItemChanged(QTableWidgetItem *item);
    void setText(int row, int column, const QString &text, const QColor &colour = {});

    QList<Row> rows;
    bool filling = false; // the table changes its own items, not the user
};

} // namespace monitor

#endif
