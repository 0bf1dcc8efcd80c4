#include "value_table.h"

#include <QtWidgets/QLineEdit>
#include <QtWidgets/QStyledItemDelegate>

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
    case pollhost::Quality::Uncertain: return QColor(0xB0, 0x88, 0x00);
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

namespace {

// An edit starts with the shown value selected, so what the user types
// replaces it instead of being appended to "0 °C".
class ReplacingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        QStyledItemDelegate::setEditorData(editor, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->selectAll();
    }
};

} // namespace

ValueTable::ValueTable(QWidget *parent) : QTableWidget(0, Columns, parent)
{
    setItemDelegateForColumn(Value, new ReplacingDelegate(this));
    setHorizontalHeaderLabels({tr("Trend"), tr("Element"), tr("Value"), tr("Format"),
                               tr("Last changed"), tr("Quality"), tr("Write")});
    // The element's name takes the room the others leave, shortened when a
    // project's long tag names would push the write column out of sight.
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setSectionResizeMode(Element, QHeaderView::Stretch);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    connect(this, &QTableWidget::itemChanged, this, &ValueTable::onItemChanged);
}

void ValueTable::setTags(const QList<pollhost::ShownTag> &tags)
{
    QHash<QString, Row> kept;
    for (const Row &row : rows)
        kept.insert(row.label, row);
    rows.clear();
    for (const pollhost::ShownTag &shown : tags) {
        Row row = kept.value(shown.tag.name);
        row.shown = shown;
        row.label = shown.tag.name;
        rows.append(row);
    }
    filling = true;
    setRowCount(0);
    setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        auto *format = new QComboBox;
        format->addItems(monitor::formatNames());
        format->setCurrentIndex(int(rows[r].format));
        // A tag reads through its type; only a plain word has a format.
        format->setEnabled(!rows[r].isBit() && !rows[r].shown.named);
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
        row.raw.reset();
        row.reading = {};
    }
    for (int r = 0; r < rows.size(); ++r)
        fillRow(r);
}

QList<Sample> ValueTable::showValues(const QList<QList<int>> &values,
                                     const QHash<QPair<QString, int>, ElementTrust> &trust,
                                     bool polling, qint64 nowMs)
{
    QList<Sample> samples;
    filling = true;
    for (int r = 0; r < rows.size(); ++r) {
        Row &row = rows[r];
        if (showRow(row, values, trust, polling, nowMs))
            samples.append({row.label, row.readAtMs, row.raw ? double(*row.raw) : row.reading.value});
        fillRow(r);
    }
    filling = false;
    return samples;
}

// True when the row is ticked and holds a read newer than its last sample.
bool ValueTable::showRow(Row &row, const QList<QList<int>> &values,
                         const QHash<QPair<QString, int>, ElementTrust> &trust, bool polling,
                         qint64 nowMs)
{
    using pollhost::Quality;
    const pollhost::Variable &run = row.shown.tag.variable;
    QVector<pollhost::ElementState> elements;
    qint64 lastReadMs = nowMs; // the read that brought a change, not when the window looked
    for (int k = 0; k < run.count; ++k) {
        const ElementTrust known = trust.value({run.family, run.address + k});
        elements.append({known.quality, known.readAtMs});
        lastReadMs = k == 0 ? known.readAtMs : qMax(lastReadMs, known.readAtMs);
    }
    pollhost::ShownTag alone = row.shown;
    alone.variable = alone.first = 0;
    const pollhost::ElementState state = pollhost::shownState(alone, {elements});
    const QList<int> read = values.value(row.shown.variable).mid(row.shown.first, run.count);
    row.quality = read.contains(pollhost::notRead) ? Quality::NeverRead : state.quality;
    if (row.quality != Quality::NeverRead && !polling)
        row.quality = Quality::Stale;
    const QString before = row.text();
    row.raw.reset();
    row.reading = {};
    if (row.quality == Quality::NeverRead)
        return false;
    if (row.shown.named)
        row.reading = pollhost::readShown(row.shown, values);
    else
        row.raw = read.value(0);
    if (row.text() != before)
        row.changedMs = lastReadMs >= 0 ? lastReadMs : nowMs;
    row.readAtMs = state.readAtMs;
    const bool sample = row.ticked && state.readAtMs > row.sampledMs && (row.raw || row.reading.valid);
    if (sample)
        row.sampledMs = state.readAtMs;
    return sample;
}

QString ValueTable::Row::text() const
{
    if (raw)
        return formatValue(*raw, isBit(), format);
    const QString &unit = shown.tag.unit;
    return reading.valid && !unit.isEmpty() ? reading.text + QLatin1Char(' ') + unit : reading.text;
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
    const QString element = row.shown.named ? QStringLiteral("%1 (%2, %3)").arg(row.label, row.shown.tag.address,
                                                                       QLatin1String(row.shown.tag.type->name))
                                           : row.label;
    setText(r, Element, element);
    item(r, Element)->setToolTip(element); // the whole of it, when the column shortens it
    // An open editor would take the new value and lose what the user typed.
    const bool editing = state() == QAbstractItemView::EditingState && currentRow() == r
                      && currentColumn() == Value;
    if (!editing)
        setText(r, Value, row.text());
    item(r, Value)->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    setText(r, Changed, row.read() ? timeText(row.changedMs) : QString());
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
        emit tickChanged(row.label, row.shown.tag.unit, row.ticked);
        return;
    }
    if (changed->column() != Value)
        return;
    const QString typed = changed->text();
    fillRow(changed->row()); // the cell shows what was read until the write is read back
    requestWrite(row, typed);
}

// A plain element takes a number in its row's format; a tag a value of its
// type, through its scaling.
void ValueTable::requestWrite(Row &row, const QString &typed)
{
    const pollhost::Tag &tag = row.shown.tag;
    tools::Result<QList<int>> elements = tools::Result<QList<int>>::failure(QString());
    if (row.shown.named) {
        elements = pollhost::elementsToWrite(tag, typed);
    } else if (const auto value = parseValue(typed, row.isBit(), row.format)) {
        elements = QList<int>{*value};
    } else {
        elements = tools::Result<QList<int>>::failure(
            tr("'%1' is not %2").arg(typed, row.isBit() ? tr("0 or 1") : tr("a value from 0 to 65535")));
    }
    if (!elements.ok()) {
        setOutcome(row.label, elements.error());
        return;
    }
    pollhost::Variable target = tag.variable;
    target.count = elements.value().size();
    setOutcome(row.label, tr("sending %1").arg(typed.trimmed()));
    emit writeRequested(target, elements.value(), row.label);
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
            emit tickChanged(label, rows[r].shown.tag.unit, ticked);
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
        if (!chosen.contains(rows[index.row()].shown.variable))
            chosen << rows[index.row()].shown.variable;
    return chosen;
}

} // namespace monitor
