// CSV and JSON lines: one record per read cycle, for logging and plotting.
// Standard output carries only the records; events and the ping-style
// summary of CSV go to standard error, JSON keeps them as records too.
#include "output.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QStringList>

namespace pollhost {

namespace {

class CsvOutput : public Output {
public:
    // Per element its value (empty when never read) and its state.
    void show(const PollView &view) override
    {
        QStringList header{QStringLiteral("time"), QStringLiteral("link")};
        QStringList row{seconds(view.elapsedMs), view.stats->linkText()};
        for (int i = 0; i < view.variables->size(); ++i) {
            const Variable &variable = view.variables->at(i);
            for (int k = 0; k < variable.count; ++k) {
                const ElementState state = view.states.value(i).value(k);
                header << variable.label(k) << variable.label(k) + QStringLiteral(" state");
                row << (state.quality == Quality::NeverRead ? QString()
                                                            : QString::number(view.values.value(i).value(k)))
                    << stateText(state);
            }
        }
        if (!headerDone)
            printOut(header.join(QLatin1Char(',')) + QLatin1Char('\n'));
        headerDone = true;
        printOut(row.join(QLatin1Char(',')) + QLatin1Char('\n'));
    }

    void event(qint64, const HostEvent &event) override
    {
        printError(QStringLiteral("ordelin-poll: %1\n").arg(describe(event)));
    }

    void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) override
    {
        printError(QStringLiteral("ordelin-poll: %1 s: link %2\n").arg(seconds(elapsedMs), stats.linkText()));
    }

    void finish(const PollView &, const QString &summary) override
    {
        printError(summary + QLatin1Char('\n'));
    }

private:
    bool headerDone = false;
};

QJsonValue jsonValue(int value)
{
    return value == notRead ? QJsonValue() : QJsonValue(value);
}

class JsonOutput : public Output {
public:
    void show(const PollView &view) override
    {
        QJsonObject values, quality, readAt;
        for (int i = 0; i < view.variables->size(); ++i) {
            const Variable &variable = view.variables->at(i);
            for (int k = 0; k < variable.count; ++k) {
                const ElementState state = view.states.value(i).value(k);
                const bool read = state.quality != Quality::NeverRead;
                values.insert(variable.label(k), read ? jsonValue(view.values.value(i).value(k)) : QJsonValue());
                quality.insert(variable.label(k), qualityName(state.quality));
                if (read)
                    readAt.insert(variable.label(k), seconds(state.readAtMs).toDouble());
            }
        }
        print({{QStringLiteral("time"), seconds(view.elapsedMs).toDouble()},
               {QStringLiteral("link"), view.stats->linkText()},
               {QStringLiteral("values"), values},
               {QStringLiteral("quality"), quality},
               {QStringLiteral("read_at"), readAt}});
    }

    void event(qint64 elapsedMs, const HostEvent &event) override
    {
        QJsonArray values;
        for (int value : event.values)
            values.append(jsonValue(value));
        print({{QStringLiteral("time"), seconds(elapsedMs).toDouble()},
               {QStringLiteral("event"), event.kind},
               {QStringLiteral("target"), event.target},
               {QStringLiteral("status"), event.status},
               {QStringLiteral("complete"), event.complete},
               {QStringLiteral("note"), event.note},
               {QStringLiteral("values"), values}});
    }

    void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) override
    {
        print({{QStringLiteral("time"), seconds(elapsedMs).toDouble()},
               {QStringLiteral("link"), stats.linkText()},
               {QStringLiteral("dropped"), double(stats.dropped)}});
    }

    void finish(const PollView &view, const QString &summary) override
    {
        const ExchangeStats &stats = *view.stats;
        print({{QStringLiteral("summary"),
                QJsonObject{{QStringLiteral("exchanges"), double(stats.exchanges)},
                            {QStringLiteral("accepted"), double(stats.accepted)},
                            {QStringLiteral("rejected"), double(stats.rejected())},
                            {QStringLiteral("dropped"), double(stats.dropped)},
                            {QStringLiteral("startups"), double(stats.startups)},
                            {QStringLiteral("late_bytes"), double(stats.lateBytes)},
                            {QStringLiteral("loss"), stats.lossPercent()},
                            {QStringLiteral("link"), stats.linkText()},
                            {QStringLiteral("elapsed_ms"), double(view.elapsedMs)}}}});
        printError(summary + QLatin1Char('\n'));
    }

private:
    static void print(const QJsonObject &record)
    {
        printOut(QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    }
};

} // namespace

std::unique_ptr<Output> csvOutput()
{
    return std::make_unique<CsvOutput>();
}

std::unique_ptr<Output> jsonOutput()
{
    return std::make_unique<JsonOutput>();
}

} // namespace pollhost
