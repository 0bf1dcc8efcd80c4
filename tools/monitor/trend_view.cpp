#include "trend_view.h"

#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QValueAxis>
#include <QtCore/QDateTime>
#include <QtCore/QFile>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QPushButton>

#include <algorithm>

namespace monitor {

namespace {

// The windows a user picks from; samples are kept for the longest.
const QList<QPair<QString, qint64>> &spans()
{
    static const QList<QPair<QString, qint64>> choices{
        {QStringLiteral("30 s"), 30000}, {QStringLiteral("5 min"), 300000},
        {QStringLiteral("1 h"), 3600000}};
    return choices;
}

// 1, 2 or 5 times a power of ten, at least `rough`, and at least 1.
double roundStep(double rough)
{
    double power = 1;
    while (power * 10 <= rough)
        power *= 10;
    for (double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power >= rough)
            return step * power;
    }
    return 10 * power;
}

QDateTimeAxis *timeAxis(QChart *chart)
{
    return static_cast<QDateTimeAxis *>(chart->axes(Qt::Horizontal).first());
}

// Ticks at whole multiples of a round step from 0.
QValueAxis *newValueAxis(const QString &unit)
{
    auto *values = new QValueAxis;
    values->setLabelFormat(QStringLiteral("%.6g"));
    values->setTickType(QValueAxis::TicksDynamic);
    values->setTickAnchor(0);
    // A step from the start: an axis drawn before its first redraw with the
    // default step of 0 would make ticks without end.
    values->setRange(-1, 1);
    values->setTickInterval(1);
    values->setTitleText(unit);
    return values;
}

} // namespace

TrendView::TrendView(QWidget *parent)
    : QWidget(parent), chart(new QChart), view(new QChartView(chart)), span(new QComboBox),
      paused(new QCheckBox(tr("Pause")))
{
    view->setObjectName(QStringLiteral("trendChart"));
    view->setRenderHint(QPainter::Antialiasing);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *time = new QDateTimeAxis;
    time->setFormat(QStringLiteral("HH:mm:ss"));
    time->setTickCount(5);
    chart->addAxis(time, Qt::AlignBottom);
    for (const auto &choice : spans())
        span->addItem(choice.first, choice.second);

    auto *csv = new QPushButton(tr("Export CSV…"));
    auto *png = new QPushButton(tr("Export PNG…"));
    connect(csv, &QPushButton::clicked, this, &TrendView::chooseCsv);
    connect(png, &QPushButton::clicked, this, &TrendView::choosePng);
    auto *controls = new QHBoxLayout;
    controls->addWidget(span);
    controls->addWidget(paused);
    controls->addStretch();
    controls->addWidget(csv);
    controls->addWidget(png);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    layout->addWidget(view);
}

// The first axis on the left, the others alternately right and left.
QValueAxis *TrendView::axisFor(const QString &unit)
{
    if (QValueAxis *known = axes.value(unit))
        return known;
    QValueAxis *axis = newValueAxis(unit);
    chart->addAxis(axis, axes.size() % 2 == 0 ? Qt::AlignLeft : Qt::AlignRight);
    axes.insert(unit, axis);
    return axis;
}

void TrendView::dropUnusedAxes()
{
    for (auto it = axes.begin(); it != axes.end();) {
        const QString unit = it.key();
        const bool used = std::any_of(trends.cbegin(), trends.cend(), [&](const Trend &t) { return t.unit == unit; });
        if (used) {
            ++it;
            continue;
        }
        chart->removeAxis(it.value());
        delete it.value();
        it = axes.erase(it);
    }
}

void TrendView::setTracked(const QString &label, const QString &unit, bool tracked)
{
    if (tracked == trends.contains(label))
        return;
    if (!tracked) {
        chart->removeSeries(trends[label].series);
        delete trends[label].series;
        trends.remove(label);
        dropUnusedAxes();
        return;
    }
    auto *series = new QLineSeries;
    series->setName(unit.isEmpty() ? label : QStringLiteral("%1 [%2]").arg(label, unit));
    chart->addSeries(series);
    series->attachAxis(timeAxis(chart));
    series->attachAxis(axisFor(unit));
    trends.insert(label, {{}, series, unit});
}

void TrendView::add(const QList<Sample> &samples)
{
    const qint64 keepMs = spans().last().second;
    for (const Sample &sample : samples) {
        auto found = trends.find(sample.label);
        if (found == trends.end())
            continue;
        QVector<QPointF> &points = found->points;
        points.append(QPointF(double(sample.atMs), sample.value));
        const double oldest = double(sample.atMs - keepMs);
        if (points.first().x() < oldest)
            points.erase(points.begin(), std::lower_bound(points.begin(), points.end(), oldest,
                                                          [](const QPointF &p, double x) {
                                                              return p.x() < x;
                                                          }));
    }
}

void TrendView::redraw(qint64 nowMs)
{
    if (paused->isChecked())
        return;
    const qint64 from = nowMs - span->currentData().toLongLong();
    struct Range {
        double low = 0, high = 1;
        bool first = true;
    };
    QMap<QString, Range> ranges; // by unit
    for (Trend &trend : trends) {
        const auto start = std::lower_bound(trend.points.begin(), trend.points.end(), double(from),
                                            [](const QPointF &p, double x) { return p.x() < x; });
        const QVector<QPointF> shown(start, trend.points.end());
        Range &range = ranges[trend.unit];
        for (const QPointF &point : shown) {
            range.low = range.first ? point.y() : std::min(range.low, point.y());
            range.high = range.first ? point.y() : std::max(range.high, point.y());
            range.first = false;
        }
        trend.series->replace(shown);
    }
    for (auto it = axes.begin(); it != axes.end(); ++it) {
        const Range range = ranges.value(it.key());
        const double margin = std::max(1.0, (range.high - range.low) * 0.05);
        it.value()->setRange(range.low - margin, range.high + margin);
        it.value()->setTickInterval(roundStep((range.high - range.low + 2 * margin) / 5));
    }
    timeAxis(chart)->setRange(QDateTime::fromMSecsSinceEpoch(from),
                              QDateTime::fromMSecsSinceEpoch(nowMs));
}

bool TrendView::exportCsv(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QByteArray text("time,element,value\n");
    for (auto it = trends.cbegin(); it != trends.cend(); ++it) {
        for (const QPointF &point : it->points)
            text += QDateTime::fromMSecsSinceEpoch(qint64(point.x()))
                        .toString(Qt::ISODateWithMs).toUtf8()
                  + ',' + it.key().toUtf8() + ',' + QByteArray::number(int(point.y())) + '\n';
    }
    return file.write(text) == text.size();
}

bool TrendView::exportPng(const QString &path) const
{
    return view->grab().save(path, "PNG");
}

void TrendView::chooseCsv()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Export samples"), QString(),
                                                      tr("CSV files (*.csv)"));
    if (!path.isEmpty() && !exportCsv(path))
        chart->setTitle(tr("Could not write %1").arg(path));
}

void TrendView::choosePng()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Export chart"), QString(),
                                                      tr("PNG images (*.png)"));
    if (!path.isEmpty() && !exportPng(path))
        chart->setTitle(tr("Could not write %1").arg(path));
}

} // namespace monitor
