// The table: on a terminal redrawn in place after every read cycle (at most
// ten times a second), elsewhere printed once a second so a log stays short.
#include "output.h"

#include <QtCore/QStringList>

namespace pollhost {

namespace {

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
            printOut(QStringLiteral("%1 s: link %2\n").arg(elapsedMs / 1000.0, 0, 'f', 1).arg(stats.linkText()));
    }

    void finish(const PollView &view, const QString &summary) override
    {
        draw(view);
        printOut(summary + QLatin1Char('\n'));
    }

private:
    void draw(const PollView &view)
    {
        const QStringList lines = render(view);
        QString text;
        if (terminal && drawnLines > 0)
            text = QStringLiteral("\033[%1F\033[J").arg(drawnLines); // back to the top, clear
        text += lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
        drawnLines = lines.size();
        printOut(text);
    }

    QStringList render(const PollView &view) const
    {
        QStringList lines{
            QStringLiteral("ordelin-poll  %1  %2 s").arg(port).arg(view.elapsedMs / 1000.0, 0, 'f', 1),
            view.stats->counters(),
            QString(),
            QStringLiteral("%1  %2").arg(QStringLiteral("VARIABLE"), -14).arg(QStringLiteral("VALUES")),
        };
        for (int i = 0; i < view.variables->size(); ++i) {
            QStringList values;
            for (int value : view.values.value(i))
                values << QString::number(value);
            lines << QStringLiteral("%1  %2").arg(view.variables->at(i).text, -14).arg(values.join(QLatin1Char(' ')));
        }
        // The project's tags have the last variables of the read list, one each.
        const int firstTagRow = lines.size() - int(view.variables->size());
        for (const ShownTag &shown : tags) {
            if (shown.named)
                lines[firstTagRow + shown.variable] = tagRow(shown, view);
        }
        if (terminal && !recent.isEmpty())
            lines << QString() << recent;
        return lines;
    }

    // A tag of the project: its name, its value and unit, where it lives.
    static QString tagRow(const ShownTag &shown, const PollView &view)
    {
        const Tag &tag = shown.tag;
        const QString value = readShown(shown, view.values).text
                            + (tag.unit.isEmpty() ? QString() : QLatin1Char(' ') + tag.unit);
        return QStringLiteral("%1  %2  (%3 %4)")
            .arg(tag.name, -14).arg(value, -12).arg(tag.address, QLatin1String(tag.type->name));
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
