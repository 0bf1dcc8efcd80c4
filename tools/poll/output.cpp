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

QString describe(const HostEvent &event)
{
    QString text = QStringLiteral("%1 %2: %3").arg(event.kind, event.target, event.note);
    if (event.kind == QLatin1String("once-read") && !event.values.isEmpty()) {
        QStringList values;
        for (int value : event.values)
            values << QString::number(value);
        text += QStringLiteral(": ") + values.join(QLatin1Char(' '));
    }
    return text;
}

} // namespace pollhost
