#include "value_table.h"

#include <QtCore/QDateTime>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QHeaderView>

namespace monitor {

namespace {

enum Column { Tick, Element, Value, Format, Changed, Quality, Outcome, Columns };

QColor qualityColour(pollhost::Quality quality)
{
    switch (quality) {
    case pollhost::Quality::Fresh: return QColor(0x00, 0x80, 0x30);
    case pollhost::Quality::Stale: return QColor(0xC0, 0x60, 0x00);
    case pollhost::Quality::NeverRead: break;
    }
    return Qt::gray;
}

QString timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss.zzz"));
}

} // namespace

ValueTable::ValueTable(QWidget *parent) : QTableWidget(0, Columns, parent)
{
    setHorizontalHeaderLabels({tr("Trend"), tr("Element"), tr("Value"), tr("Format"),
                               tr("Last changed"), tr("Quality"), tr("Write")});
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    connect(this, &QTableWidget::itemChanged, this, &ValueTable::onItemChanged);
}

void ValueTable::setVariables(const QList<pollhost::Variable> &variables)
{
    QHash<QString, Row> kept;
    for (const Row &row : rows)
        kept.insert(row.label, row);
    rows.clear();
    for (int v = 0; v < variables.size(); ++v) {
        for (int i = 0; i < variables[v].count; ++i) {
            Row row;
            row.element = variables[v];
            row.element.address += i;
            row.element.count = 1;
            row.label = variables[v].label(i);
            row.element.text = row.label;
            if (kept.contains(row.label)) {
                row = kept.value(row.label);
                row.element.text = row.label;
            }
            row.variable = v;
            row.index = i;
            rows.append(row);
        }
    }
    filling = true;
    setRowCount(0);
    setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        auto *format = new QComboBox;
        format->addItems(monitor::formatNames());
        format->setCurrentIndex(int(rows[r].format));
        format->setEnabled(!rows[r].element.isBit());
        connect(format, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, r](int i) {
            rows[r].format = ValueFormat(i);
            fillRow(r);
        });
        setCellWidget(r, Format, format);
        fillRow(r);
    }
    filling = false;
}

void ValueTable::forgetReads()
{
    for (Row &row : rows) {
        row.quality = pollhost::Quality::NeverRead;
        row.value.reset();
    }
    for (int r = 0; r < rows.size(); ++r)
        fillRow(r);
}

QList<Sample> ValueTable::showValues(const QList<QList<int>> &values,
                                     const QHash<QPair<QString, int>, ElementTrust> &trust,
                                     bool polling, qint64 nowMs)
{
    using pollhost::Quality;
    QList<Sample> samples;
    filling = true;
    for (int r = 0; r < rows.size(); ++r) {
        Row &row = rows[r];
        const ElementTrust known = trust.value({row.element.family, row.element.address});
        const int value = values.value(row.variable).value(row.index, pollhost::notRead);
        row.quality = value == pollhost::notRead ? Quality::NeverRead : known.quality;
        if (row.quality == Quality::Fresh && !polling)
            row.quality = Quality::Stale;
        if (row.quality == Quality::NeverRead) {
            row.value.reset();
            fillRow(r);
            continue;
        }
        if (row.value != value)
            row.changedMs = nowMs;
        row.value = value;
        row.readAtMs = known.readAtMs;
        if (row.ticked && known.readAtMs > row.sampledMs) {
            samples.append({row.label, known.readAtMs, value});
            row.sampledMs = known.readAtMs;
        }
        fillRow(r);
    }
    filling = false;
    return samples;
}

void ValueTable::fillRow(int r)
{
    const bool was = filling;
    filling = true;
    const Row &row = rows[r];
    if (!item(r, Tick)) {
        auto *tick = new QTableWidgetItem;
        tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        setItem(r, Tick, tick);
    }
    item(r, Tick)->setCheckState(row.ticked ? Qt::Checked : Qt::Unchecked);
    setText(r, Element, row.label);
    // An open editor would take the new value and lose what the user typed.
    const bool editing = state() == QAbstractItemView::EditingState && currentRow() == r
                      && currentColumn() == Value;
    if (!editing)
        setText(r, Value, row.value ? formatValue(*row.value, row.element.isBit(), row.format)
                                    : QString());
    item(r, Value)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    setText(r, Changed, row.value ? timeText(row.changedMs) : QString());
    const QString since = row.quality == pollhost::Quality::Stale && row.readAtMs >= 0
                            ? tr(" since %1").arg(timeText(row.readAtMs))
                            : QString();
    setText(r, Quality, pollhost::qualityName(row.quality) + since, qualityColour(row.quality));
    setText(r, Outcome, row.outcome);
    filling = was;
}

void ValueTable::setText(int row, int column, const QString &text, const QColor &colour)
{
    QTableWidgetItem *cell = item(row, column);
    if (!cell) {
        cell = new QTableWidgetItem;
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row, column, cell);
    }
    if (cell->text() != text)
        cell->setText(text);
    if (colour.isValid())
        cell->setForeground(colour);
}

void ValueTable::onItemChanged(QTableWidgetItem *changed)
{
    if (filling)
        return;
    Row &row = rows[changed->row()];
    if (changed->column() == Tick) {
        row.ticked = changed->checkState() == Qt::Checked;
        emit tickChanged(row.label, row.ticked);
        return;
    }
    if (changed->column() != Value)
        return;
    const QString typed = changed->text();
    const auto value = parseValue(typed, row.element.isBit(), row.format);
    fillRow(changed->row()); // the cell shows what was read until the write is read back
    if (!value) {
        setOutcome(row.label, tr("'%1' is not %2").arg(typed, row.element.isBit()
                                                                ? tr("0 or 1")
                                                                : tr("a value from 0 to 65535")));
        return;
    }
    setOutcome(row.label, tr("sending %1").arg(*value));
    emit writeRequested(row.element, *value, row.label);
}

void ValueTable::setOutcome(const QString &label, const QString &text)
{
    for (int r = 0; r < rows.size(); ++r) {
        if (rows[r].label == label) {
            rows[r].outcome = text;
            fillRow(r);
        }
    }
}

void ValueTable::setTicked(const QString &label, bool ticked)
{
    for (int r = 0; r < rows.size(); ++r) {
        if (rows[r].label == label && rows[r].ticked != ticked) {
            rows[r].ticked = ticked;
            fillRow(r);
            emit tickChanged(label, ticked);
        }
    }
}

QStringList ValueTable::tickedLabels() const
{
    QStringList labels;
    for (const Row &row : rows)
        if (row.ticked && !labels.contains(row.label))
            labels << row.label;
    return labels;
}

void ValueTable::setFormat(const QString &label, ValueFormat format)
{
    for (int r = 0; r < rows.size(); ++r)
        if (rows[r].label == label)
            static_cast<QComboBox *>(cellWidget(r, Format))->setCurrentIndex(int(format));
}

QMap<QString, QString> ValueTable::formatNames() const
{
    QMap<QString, QString> names;
    for (const Row &row : rows)
        if (row.format != ValueFormat::Decimal)
            names.insert(row.label, formatName(row.format));
    return names;
}

QList<int> ValueTable::selectedVariables() const
{
    QList<int> chosen;
    for (const QModelIndex &index : selectionModel()->selectedRows())
        if (!chosen.contains(rows[index.row()].variable))
            chosen << rows[index.row()].variable;
    return chosen;
}

} // namespace monitor
