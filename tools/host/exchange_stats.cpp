#include "exchange_stats.h"

#include "common/option_values.h"

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

void ExchangeStats::replied(qint64 ns)
{
    ns = qMax<qint64>(ns, 0);
    fastestReplyNs = replyTimes.count() == 0 ? ns : qMin(fastestReplyNs, ns);
    slowestReplyNs = qMax(slowestReplyNs, ns);
    replyTimes.record(ns);
}

// Within the histogram's 1 %, kept between the exact extremes.
qint64 ExchangeStats::replyQuantile(double q) const
{
    return qBound(fastestReplyNs, replyTimes.quantile(q), slowestReplyNs);
}

QString ExchangeStats::replyTimeText() const
{
    if (replyTimes.count() == 0)
        return {};
    const auto ms = [](qint64 ns) { return QString::number(double(ns) / 1e6, 'f', 1); };
    return QStringLiteral("reply time min %1 ms, median %2 ms, 99% %3 ms, max %4 ms")
        .arg(ms(fastestReplyNs), ms(replyQuantile(0.5)), ms(replyQuantile(0.99)), ms(slowestReplyNs));
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

QString ExchangeStats::linkDescribed() const
{
    return portDown ? QStringLiteral("%1 (port: %2)").arg(linkText(), outageCause) : linkText();
}

// Each counter on its own, so a narrow terminal can wrap between them.
QStringList ExchangeStats::counters() const
{
    const auto byCause = [](const QMap<QString, quint64> &counts) {
        QStringList parts;
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            parts << QStringLiteral("%1 %2").arg(it.value()).arg(it.key());
        return parts.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(parts.join(QStringLiteral(", ")));
    };
    QStringList parts{QStringLiteral("link %1").arg(linkDescribed()),
                      QStringLiteral("exchanges %1").arg(exchanges),
                      QStringLiteral("accepted %1").arg(accepted),
                      QStringLiteral("rejected %1").arg(rejected()) + byCause(rejectedBy),
                      QStringLiteral("dropped %1").arg(dropped) + byCause(droppedBy),
                      QStringLiteral("start-ups %1").arg(startups)};
    if (lateBytes > 0)
        parts << QStringLiteral("late bytes discarded %1").arg(lateBytes);
    if (outages > 0)
        parts << QStringLiteral("port outages %1 (the last: %2)").arg(outages).arg(outageCause);
    return parts;
}

QString ExchangeStats::summary(const QString &port, qint64 elapsedMs,
                               const tools::LineSettings &line) const
{
    const double rate = elapsedMs > 0 ? 1000.0 * double(exchanges) / double(elapsedMs) : 0.0;
    const qint64 wireNs = tools::wireNanoseconds(line, qint64(bytesOut + bytesIn));
    const double allowed = wireNs > 0 ? 1e9 * double(exchanges) / double(wireNs) : 0.0;
    QString text = QStringLiteral("--- %1 %9 statistics ---\n"
                                  "%2 exchanges, %3 accepted, %4 rejected, %5 dropped, %6% loss, "
                                  "time %7ms, %8 exchanges/s")
                       .arg(port)
                       .arg(exchanges)
                       .arg(accepted)
                       .arg(rejected())
                       .arg(dropped)
                       .arg(lossPercent(), 0, 'f', 1)
                       .arg(elapsedMs)
                       .arg(rate, 0, 'f', 0)
                       .arg(tools::programName());
    if (outages > 0)
        text += QStringLiteral(", %1 port outages (the last: %2)").arg(outages).arg(outageCause);
    const QString replies = replyTimes.count() == 0
                              ? QString()
                              : QStringLiteral("\n%1 (the command's end to the reply's)").arg(replyTimeText());
    if (allowed <= 0)
        return text + replies;
    // A pseudo-terminal (the built-in simulator without --pace) moves bytes
    // faster than any wire; a share above 100% would only puzzle.
    if (rate > 1.01 * allowed)
        return text + QStringLiteral("; a wire at %1 would allow %2: this line is not paced")
                          .arg(tools::describe(line))
                          .arg(allowed, 0, 'f', 0) + replies;
    return text + QStringLiteral(" of %1 the line allows at %2 (%3%)")
                      .arg(allowed, 0, 'f', 0)
                      .arg(tools::describe(line))
                      .arg(100.0 * rate / allowed, 0, 'f', 1) + replies;
}

} // namespace pollhost
