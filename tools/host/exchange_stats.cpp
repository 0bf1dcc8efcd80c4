#include "exchange_stats.h"

#include <QtCore/QStringList>

namespace pollhost {

void ExchangeStats::record(const ExchangeOutcome &outcome)
{
    ++exchanges;
    bytesOut += quint64(outcome.bytesOut);
    bytesIn += quint64(outcome.bytesIn);
    if (outcome.startup)
        ++startups;
    if (outcome.result == 1) {
        ++accepted;
        link = LinkState::Up;
        everOpened = true;
        return;
    }
    ++rejectedBy[outcome.cause];
    if (link == LinkState::Up)
        link = LinkState::Retrying;
    if (outcome.result > 1) {
        ++dropped;
        ++droppedBy[outcome.cause];
        link = LinkState::Down;
    }
}

double ExchangeStats::lossPercent() const
{
    return exchanges == 0 ? 0.0 : 100.0 * double(rejected()) / double(exchanges);
}

QString ExchangeStats::linkText() const
{
    switch (link) {
    case LinkState::Up: return QStringLiteral("up");
    case LinkState::Retrying: return QStringLiteral("retrying");
    case LinkState::Down: return QStringLiteral("down");
    case LinkState::Opening: break;
    }
    return QStringLiteral("opening");
}

QString ExchangeStats::counters() const
{
    QStringList rejections;
    for (auto it = rejectedBy.cbegin(); it != rejectedBy.cend(); ++it)
        rejections << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    QStringList drops;
    for (auto it = droppedBy.cbegin(); it != droppedBy.cend(); ++it)
        drops << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
    QString line = QStringLiteral("link %1 | exchanges %2 | accepted %3 | rejected %4")
                       .arg(linkText()).arg(exchanges).arg(accepted).arg(rejected());
    if (!rejections.isEmpty())
        line += QStringLiteral(" (%1)").arg(rejections.join(QStringLiteral(", ")));
    line += QStringLiteral(" | dropped %1").arg(dropped);
    if (!drops.isEmpty())
        line += QStringLiteral(" (%1)").arg(drops.join(QStringLiteral(", ")));
    line += QStringLiteral(" | start-ups %1").arg(startups);
    if (lateBytes > 0)
        line += QStringLiteral(" | late bytes discarded %1").arg(lateBytes);
    if (outages > 0)
        line += QStringLiteral(" | port outages %1 (last: %2)").arg(outages).arg(outageCause);
    return line;
}

QString ExchangeStats::summary(const QString &port, qint64 elapsedMs,
                               const tools::LineSettings &line) const
{
    const double rate = elapsedMs > 0 ? 1000.0 * double(exchanges) / double(elapsedMs) : 0.0;
    const qint64 wireNs = tools::wireNanoseconds(line, qint64(bytesOut + bytesIn));
    const double allowed = wireNs > 0 ? 1e9 * double(exchanges) / double(wireNs) : 0.0;
    QString text = QStringLiteral("--- %1 ordelin-poll statistics ---\n"
                                  "%2 exchanges, %3 accepted, %4 rejected, %5 dropped, %6% loss, "
                                  "time %7ms, %8 exchanges/s")
                       .arg(port)
                       .arg(exchanges)
                       .arg(accepted)
                       .arg(rejected())
                       .arg(dropped)
                       .arg(lossPercent(), 0, 'f', 1)
                       .arg(elapsedMs)
                       .arg(rate, 0, 'f', 0);
    if (allowed <= 0)
        return text;
    // A pseudo-terminal (the built-in simulator without --pace) moves bytes
    // faster than any wire; a share above 100% would only puzzle.
    if (rate > 1.01 * allowed)
        return text + QStringLiteral("; a wire at %1 would allow %2: this line is not paced")
                          .arg(tools::describe(line))
                          .arg(allowed, 0, 'f', 0);
    return text + QStringLiteral(" of %1 the line allows at %2 (%3%)")
                      .arg(allowed, 0, 'f', 0)
                      .arg(tools::describe(line))
                      .arg(100.0 * rate / allowed, 0, 'f', 1);
}

} // namespace pollhost
