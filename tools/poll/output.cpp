#include "output.h"

#include <QtCore/QStringList>

#include <cstdio>

namespace pollhost {

void printOut(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
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

QString valueText(int value)
{
    return value == notRead ? QStringLiteral("-") : QString::number(value);
}

QString stateText(const ElementState &state)
{
    if (state.quality != Quality::Stale)
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

} // namespace pollhost
