// CSV and JSON lines: one record per read cycle, for logging and plotting,
// each with the seconds since the start, the wall clock and the link, and
// every tag with its quality. On standard
// output the CSV lines carry only the records, and events and the summary go
// to standard error; JSON keeps them as records too. In a file (--output)
// the table beside it shows events and the summary.
#include "output.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QStringList>


namespace pollhost {

namespace {

class RecordOutput : public Output {
public:
    explicit RecordOutput(RecordTarget target) : target(std::move(target)) {}

    QString prepare() override
    {
        return toFile() ? target.file->start().error() : QString();
    }

protected:
    bool toFile() const { return bool(target.file); }

    // With --log-changes, a record whose `content` equals the last one's is left out.
    bool unchanged(const QString &content)
    {
        const bool same = target.logChanges && content == lastContent;
        lastContent = content;
        return same;
    }

    void writeLine(const QString &line)
    {
        // Standard output is a log like any other: a write that fails ends the run.
        const QString failure = toFile() ? target.file->write(line).error() : printOut(line + QLatin1Char('\n'));
        if (!failure.isEmpty() && !failureReported && target.failed) {
            failureReported = true;
            target.failed(failure);
        }
    }

    RecordTarget target;

private:
    QString lastContent;
    bool failureReported = false;
};

class CsvOutput : public RecordOutput {
public:
    explicit CsvOutput(RecordTarget records) : RecordOutput(std::move(records))
    {
        QStringList columns{QStringLiteral("time"), QStringLiteral("clock"), QStringLiteral("link")};
        for (const ShownTag &shown : target.tags)
            columns << shown.tag.name << shown.tag.name + QStringLiteral(" state");
        header = columns.join(QLatin1Char(','));
        if (toFile())
            target.file->setHeader(header);
    }

    // Per tag its value (empty when never read) and its state.
    void show(const PollView &view) override
    {
        QString content = view.stats->linkDescribed();
        for (const ShownTag &shown : target.tags) {
            const ElementState state = shownState(shown, view.states);
            content += QLatin1Char(',')
                     + (state.quality == Quality::NeverRead ? QString() : readShown(shown, view.values).text)
                     + QLatin1Char(',') + stateText(state);
        }
        if (unchanged(content))
            return;
        if (!headerDone && !toFile()) // a file writes it at the top of each part
            writeLine(header);
        headerDone = true;
        writeLine(seconds(view.elapsedMs) + QLatin1Char(',') + wallClock() + QLatin1Char(',') + content);
    }

    void event(qint64, const HostEvent &event) override
    {
        if (!toFile())
            printError(QStringLiteral("%1: %2\n").arg(tools::programName(), describe(event)));
    }

    void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) override
    {
        if (!toFile())
            printError(QStringLiteral("%1: %2 s: link %3\n").arg(tools::programName(), seconds(elapsedMs), stats.linkDescribed()));
    }

    void finish(const PollView &, const QString &summary) override
    {
        if (!toFile())
            printError(summary + QLatin1Char('\n'));
    }

private:
    QString header;
    bool headerDone = false;
};

QJsonValue jsonValue(const TagReading &reading, const Tag &tag)
{
    if (!reading.valid || tag.type->id == TypeId::Hex16)
        return reading.text;
    return reading.text.toDouble(); // the shown digits, without binary noise
}

class JsonOutput : public RecordOutput {
public:
    using RecordOutput::RecordOutput;

    void show(const PollView &view) override
    {
        QJsonObject values, quality, readAt;
        for (const ShownTag &shown : target.tags) {
            const ElementState state = shownState(shown, view.states);
            const bool read = state.quality != Quality::NeverRead;
            values.insert(shown.tag.name, read ? jsonValue(readShown(shown, view.values), shown.tag) : QJsonValue());
            quality.insert(shown.tag.name, qualityName(state.quality));
            if (read)
                readAt.insert(shown.tag.name, seconds(state.readAtMs).toDouble());
        }
        QJsonObject content{{QStringLiteral("link"), view.stats->linkText()},
                            {QStringLiteral("values"), values},
                            {QStringLiteral("quality"), quality}};
        if (view.stats->portDown)
            content.insert(QStringLiteral("port_failure"), view.stats->outageCause);
        // The times of reads move on every cycle; a change is a value, a quality or the link.
        if (unchanged(compact(content)))
            return;
        content.insert(QStringLiteral("read_at"), readAt);
        print(view.elapsedMs, content);
    }

    void event(qint64 elapsedMs, const HostEvent &event) override
    {
        QJsonArray values;
        for (int value : event.values)
            values.append(value == notRead ? QJsonValue() : QJsonValue(value));
        print(elapsedMs, {{QStringLiteral("event"), event.kind},
                          {QStringLiteral("target"), event.target},
                          {QStringLiteral("status"), event.status},
                          {QStringLiteral("complete"), event.complete},
                          {QStringLiteral("note"), event.note},
                          {QStringLiteral("values"), values}});
    }

    void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) override
    {
        QJsonObject record{{QStringLiteral("link"), stats.linkText()},
                           {QStringLiteral("dropped"), double(stats.dropped)},
                           {QStringLiteral("outages"), double(stats.outages)}};
        if (stats.outages > 0)
            record.insert(QStringLiteral("last_outage"), stats.outageCause);
        print(elapsedMs, record);
    }

    void finish(const PollView &view, const QString &summary) override
    {
        const ExchangeStats &stats = *view.stats;
        QJsonObject totals{{QStringLiteral("exchanges"), double(stats.exchanges)},
                           {QStringLiteral("accepted"), double(stats.accepted)},
                           {QStringLiteral("rejected"), double(stats.rejected())},
                           {QStringLiteral("dropped"), double(stats.dropped)},
                           {QStringLiteral("startups"), double(stats.startups)},
                           {QStringLiteral("late_bytes"), double(stats.lateBytes)},
                           {QStringLiteral("outages"), double(stats.outages)},
                           {QStringLiteral("loss"), stats.lossPercent()},
                           {QStringLiteral("link"), stats.linkText()},
                           {QStringLiteral("elapsed_ms"), double(view.elapsedMs)}};
        if (stats.outages > 0)
            totals.insert(QStringLiteral("last_outage"), stats.outageCause);
        if (stats.replyTimes.count() > 0) {
            const auto ms = [](qint64 ns) { return double(ns / 1000) / 1000.0; };
            totals.insert(QStringLiteral("reply_ms"),
                          QJsonObject{{QStringLiteral("min"), ms(stats.fastestReplyNs)},
                                      {QStringLiteral("median"), ms(stats.replyQuantile(0.5))},
                                      {QStringLiteral("p99"), ms(stats.replyQuantile(0.99))},
                                      {QStringLiteral("max"), ms(stats.slowestReplyNs)}});
        }
        print(view.elapsedMs, {{QStringLiteral("summary"), totals}});
        if (!toFile())
            printError(summary + QLatin1Char('\n'));
    }

private:
    void print(qint64 elapsedMs, QJsonObject record)
    {
        record.insert(QStringLiteral("time"), seconds(elapsedMs).toDouble());
        record.insert(QStringLiteral("clock"), wallClock());
        writeLine(compact(record));
    }

    static QString compact(const QJsonObject &record)
    {
        return QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact));
    }
};

} // namespace

std::unique_ptr<Output> csvOutput(RecordTarget target)
{
    return std::make_unique<CsvOutput>(std::move(target));
}

std::unique_ptr<Output> jsonOutput(RecordTarget target)
{
    return std::make_unique<JsonOutput>(std::move(target));
}

} // namespace pollhost
