// The table: on a terminal redrawn in place after every read cycle (at most
// ten times a second), elsewhere printed once a second so a log stays short.
// On a terminal every line is cut to its width and the rows that do not fit
// its height are summed up in one line, so a redraw never scrolls.
#include "output.h"

#include <QtCore/QStringList>

#include <sys/ioctl.h>
#include <unistd.h>

namespace pollhost {

namespace {

struct TerminalSize {
    int columns = 80;
    int rows = 24;
};

TerminalSize terminalSize()
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0)
        return {};
    return {size.ws_col, size.ws_row};
}

// The state of a row: its worst element.
QString rowState(const QVector<ElementState> &states)
{
    ElementState worst{Quality::Fresh, -1};
    int never = 0;
    for (const ElementState &state : states) {
        never += state.quality == Quality::NeverRead;
        if (state.quality != Quality::NeverRead)
            worst = worse(worst, state);
    }
    if (never == states.size())
        return qualityName(Quality::NeverRead);
    if (never > 0)
        return QStringLiteral("%1 never read").arg(never);
    return stateText(worst);
}

class TableOutput : public Output {
public:
    TableOutput(const QString &port, bool terminal, QList<ShownTag> tags)
        : port(port), terminal(terminal), tags(std::move(tags)) {}

    void show(const PollView &view) override
    {
        const qint64 period = terminal ? 100 : 1000;
        if (shownAtMs >= 0 && view.elapsedMs - shownAtMs < period)
            return;
        shownAtMs = view.elapsedMs;
        draw(view);
    }

    void event(qint64, const HostEvent &event) override
    {
        recent << describe(event);
        while (recent.size() > 6)
            recent.removeFirst();
        if (!terminal)
            printOut(describe(event) + QLatin1Char('\n'));
    }

    // On a terminal the heading shows the link; a log gets a line.
    void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) override
    {
        if (!terminal)
            printOut(QStringLiteral("%1 s: link %2\n").arg(elapsedMs / 1000.0, 0, 'f', 1).arg(stats.linkDescribed()));
    }

    void finish(const PollView &view, const QString &summary) override
    {
        draw(view);
        drawnLines = 0;
        printOut(summary + QLatin1Char('\n'));
    }

private:
    void draw(const PollView &view)
    {
        const TerminalSize size = terminal ? terminalSize() : TerminalSize{1 << 20, 1 << 20};
        QStringList lines = render(view, size.columns);
        QString text;
        if (terminal) {
            fit(lines, size);
            if (drawnLines > 0)
                text = QStringLiteral("\033[%1F\033[J").arg(drawnLines); // back to the top, clear
        }
        text += lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        drawnLines = lines.size();
        printOut(text);
    }

    QStringList render(const PollView &view, int columns) const
    {
        QStringList lines{
            QStringLiteral("%1  %2  %3 s").arg(tools::programName(), port).arg(view.elapsedMs / 1000.0, 0, 'f', 1)};
        // The counters wrap between two of them rather than be cut off.
        for (const QString &counter : view.stats->counters()) {
            if (lines.size() > 1 && lines.last().size() + 3 + counter.size() <= columns)
                lines.last() += QStringLiteral(" | ") + counter;
            else
                lines << counter;
        }
        lines << QString()
              << QStringLiteral("%1  %2  %3").arg(QStringLiteral("VARIABLE"), -14).arg(QStringLiteral("STATE"), -22)
                     .arg(QStringLiteral("VALUES"));
        for (int i = 0; i < view.variables->size(); ++i) {
            QStringList values;
            for (int value : view.values.value(i))
                values << valueText(value);
            const QVector<ElementState> &states = view.states.value(i);
            for (int k = 0; k < values.size(); ++k) {
                if (states.value(k).quality == Quality::NeverRead)
                    values[k] = QStringLiteral("-");
            }
            lines << QStringLiteral("%1  %2  %3").arg(view.variables->at(i).text, -14)
                         .arg(rowState(states), -22).arg(values.join(QLatin1Char(' ')));
        }
        // The project's tags have the last variables of the read list, one each.
        const int firstRow = lines.size() - int(view.variables->size());
        for (const ShownTag &shown : tags) {
            if (shown.named)
                lines[firstRow + shown.variable] = tagRow(shown, view);
        }
        if (terminal && !recent.isEmpty())
            lines << QString() << recent;
        return lines;
    }

    // A tag of the project: its name, state, value and unit, where it lives.
    static QString tagRow(const ShownTag &shown, const PollView &view)
    {
        const Tag &tag = shown.tag;
        const ElementState state = shownState(shown, view.states);
        QString value = state.quality == Quality::NeverRead ? QStringLiteral("-") : readShown(shown, view.values).text;
        if (!tag.unit.isEmpty())
            value += QLatin1Char(' ') + tag.unit;
        return QStringLiteral("%1  %2  %3  (%4 %5)")
            .arg(tag.name, -14).arg(stateText(state), -22).arg(value, -12)
            .arg(tag.address, QLatin1String(tag.type->name));
    }

    // Keeps one line free below the table, so printing it never scrolls.
    void fit(QStringList &lines, TerminalSize size) const
    {
        const int room = qMax(1, size.rows - 1);
        if (lines.size() > room) {
            const int shown = qMax(0, room - 1);
            const int hidden = lines.size() - shown;
            lines = lines.mid(0, shown);
            lines << QStringLiteral("... %1 more lines (a taller terminal shows them)").arg(hidden);
        }
        for (QString &line : lines) {
            if (line.size() > size.columns)
                line = line.left(qMax(0, size.columns - 3)) + QStringLiteral("...");
            if (line.size() > size.columns)
                line.truncate(size.columns);
        }
    }

    QString port;
    bool terminal;
    QList<ShownTag> tags;
    qint64 shownAtMs = -1;
    int drawnLines = 0;
    QStringList recent;
};

} // namespace

std::unique_ptr<Output> tableOutput(const QString &port, bool terminal, QList<ShownTag> tags)
{
    return std::make_unique<TableOutput>(port, terminal, std::move(tags));
}

} // namespace pollhost
