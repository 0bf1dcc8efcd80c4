// The chart of the ticked elements over a sliding window, with pause and
// export of the recorded samples (CSV) and of the chart (PNG). Values of
// different units never share a scale: each unit has a value axis of its
// own, and the values without a unit share one.
#ifndef ORDELIN_MONITOR_TREND_VIEW_H
#define ORDELIN_MONITOR_TREND_VIEW_H

#include "value_table.h"

#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtWidgets/QWidget>

class QCheckBox;
class QComboBox;

namespace monitor {

// Qt 5 keeps the chart classes in a namespace of their own; Qt 6 does not.
#ifdef QT_CHARTS_USE_NAMESPACE
QT_CHARTS_USE_NAMESPACE
#endif

class TrendView : public QWidget {
    Q_OBJECT
public:
    explicit TrendView(QWidget *parent = nullptr);

    // `unit` is read when tracking starts.
    void setTracked(const QString &label, const QString &unit, bool tracked);
    void add(const QList<Sample> &samples);
    // Redraws the window up to now, unless paused.
    void redraw(qint64 nowMs);

    bool exportCsv(const QString &path) const;
    bool exportPng(const QString &path) const;

private:
    void chooseCsv();
    void choosePng();

    struct Trend {
        QVector<QPointF> points; // x: ms since the epoch
        QLineSeries *series = nullptr;
        QString unit;
    };
    QValueAxis *axisFor(const QString &unit);
    void dropUnusedAxes();

    QMap<QString, Trend> trends;
    QMap<QString, QValueAxis *> axes; // by unit, while a trend has it
    QChart *chart;
    QChartView *view;
    QComboBox *span;
    QCheckBox *paused;
};

} // namespace monitor

#endif
