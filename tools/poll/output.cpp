#include "output.h"

#include <QtCore/QDateTime>
#include <QtCore/QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pollhost {

QString printOut(const QString &text)
{
    if (std::fputs(text.toUtf8().constData(), stdout) >= 0 && std::fflush(stdout) == 0)
        return {};
    return QStringLiteral("standard output: ") + QString::fromLocal8Bit(std::strerror(errno));
}

void printError(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stderr);
}

void Output::trace(const QString &line)
{
    printError(line + QLatin1Char('\n'));
}

QString seconds(qint64 elapsedMs)
{
    return QString::number(elapsedMs / 1000.0, 'f', 3);
}

QString wallClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QString valueText(int value)
{
    return value == notRead ? QStringLiteral("-") : QString::number(value);
}

QString stateText(const ElementState &state)
{
    if (state.quality != Quality::Stale || state.readAtMs < 0)
        return qualityName(state.quality);
    return QStringLiteral("stale since %1 s").arg(seconds(state.readAtMs));
}

QString describe(const HostEvent &event)
{
    QString text = QStringLiteral("%1 %2: %3").arg(event.kind, event.target, event.note);
    if (event.kind == QLatin1String("once-read") && !event.values.isEmpty()) {
        QStringList values;
        for (int value : event.values)
            values << valueText(value);
        text += QStringLiteral(": ") + values.join(QLatin1Char(' '));
    }
    return text;
}

namespace {

class BothOutputs : public Output {
public:
    BothOutputs(std::unique_ptr<Output> screen, std::unique_ptr<Output> file)
        : screen(std::move(screen)), file(std::move(file)) {}

    void show(const PollView &view) override
    {
        file->show(view);
        screen->show(view);
    }
    void event(qint64 elapsedMs, const HostEvent &event) override
    {
        file->event(elapsedMs, event);
        screen->event(elapsedMs, event);
    }
    void linkChanged(qint64 elapsedMs, const ExchangeStats &stats) override
    {
        file->linkChanged(elapsedMs, stats);
        screen->linkChanged(elapsedMs, stats);
    }
    void finish(const PollView &view, const QString &summary) override
    {
        file->finish(view, summary);
        screen->finish(view, summary);
    }
    QString prepare() override { return file->prepare(); }

private:
    std::unique_ptr<Output> screen;
    std::unique_ptr<Output> file;
};

} // namespace

std::unique_ptr<Output> bothOutputs(std::unique_ptr<Output> screen, std::unique_ptr<Output> file)
{
    return std::make_unique<BothOutputs>(std::move(screen), std::move(file));
}

} // namespace pollhost
