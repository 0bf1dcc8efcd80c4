#include "line_scan.h"

#include "serial_link.h"

#include <QtCore/QFileInfo>

#include <algorithm>

namespace pollhost {

namespace {

struct Framing {
    int dataBits;
    tools::Parity parity;
    int stopBits;
};
// 8N1 first: on a pseudo-terminal, where every framing of the right rate
// answers, the first answer is then the plainest.
const Framing framings[] = {{8, tools::Parity::None, 1}, {7, tools::Parity::Even, 1},
                            {7, tools::Parity::Odd, 1},  {8, tools::Parity::Even, 1},
                            {8, tools::Parity::Odd, 1},  {7, tools::Parity::Even, 2},
                            {7, tools::Parity::Odd, 2},  {8, tools::Parity::None, 2}};

const char probeCommand[] = "CR\r\n";
const QByteArray probeAnswer = QByteArrayLiteral("CC\r\n");

} // namespace

const ScanStep *ScanReport::found() const
{
    for (const ScanStep &step : steps) {
        if (step.outcome == ScanOutcome::Answered)
            return &step;
    }
    return nullptr;
}

QList<tools::LineSettings> scanCandidates()
{
    QList<tools::LineSettings> all;
    for (const qint32 baud : tools::supportedBauds()) {
        if (baud < 1200 || baud > 115200)
            continue;
        for (const Framing &framing : framings)
            all << tools::LineSettings{baud, framing.dataBits, framing.parity, framing.stopBits};
    }
    return all;
}

bool isPseudoTerminal(const QString &portName)
{
    return QFileInfo(portName).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
}

ScanReport scanLine(const QString &portName, const QList<tools::LineSettings> &candidates, int timeoutMs,
                    const tools::WakeUp &stop, const std::function<void(const ScanStep &)> &onStep)
{
    ScanReport report;
    report.candidates = candidates.size();
    report.pseudoTerminal = isPseudoTerminal(portName);
    for (const tools::LineSettings &settings : candidates) {
        if (stop.raised()) {
            report.stopped = true;
            break;
        }
        // A port opened afresh for each setting: nothing of the last one's
        // state, and no reply it was still waiting for, is taken for this one.
        SerialLink link(stop, 0, false);
        ScanStep step;
        step.settings = settings;
        const auto opened = link.open(portName, settings);
        if (opened.ok()) {
            const qint64 startNs = tools::nowNs();
            const LinkReply reply = link.exchange(probeCommand, int(sizeof probeCommand) - 1,
                                                  probeAnswer.size(), timeoutMs, tools::never);
            if (reply.end == ReplyEnd::Interrupted) {
                report.stopped = true;
                break;
            }
            step.heard = reply.bytes;
            step.roundTripNs = reply.atNs - startNs;
            step.outcome = reply.end == ReplyEnd::Complete && reply.bytes == probeAnswer ? ScanOutcome::Answered
                         : reply.bytes.isEmpty() ? ScanOutcome::Silent
                                                 : ScanOutcome::Garbled;
        } else {
            step.outcome = ScanOutcome::Refused;
            step.heard = opened.error().toLocal8Bit();
        }
        report.steps << step;
        if (onStep)
            onStep(step);
    }
    // A port that took no setting at all is missing or out of reach, not
    // one whose PLC is set otherwise.
    const bool noneOpened = std::all_of(report.steps.cbegin(), report.steps.cend(),
                                        [](const ScanStep &s) { return s.outcome == ScanOutcome::Refused; });
    if (!report.steps.isEmpty() && noneOpened && !report.stopped)
        report.failure = QString::fromLocal8Bit(report.steps.first().heard);
    return report;
}

QString describe(const ScanStep &step)
{
    switch (step.outcome) {
    case ScanOutcome::Answered:
        return QStringLiteral("answered in %1 ms").arg(double(step.roundTripNs) / tools::msNs, 0, 'f', 1);
    case ScanOutcome::Garbled:
        return QStringLiteral("heard %1 bytes that are not the answer: %2")
            .arg(step.heard.size())
            .arg(QString::fromLatin1(step.heard.toHex(' ')));
    case ScanOutcome::Silent:
        return QStringLiteral("silent");
    case ScanOutcome::Refused:
        return QStringLiteral("the port refused these settings: ") + QString::fromLocal8Bit(step.heard);
    }
    return {};
}

QStringList lineArguments(const tools::LineSettings &settings)
{
    return {QStringLiteral("--baud"),      QString::number(settings.baud),
            QStringLiteral("--data-bits"), QString::number(settings.dataBits),
            QStringLiteral("--parity"),    tools::parityNames().at(int(settings.parity)),
            QStringLiteral("--stop-bits"), QString::number(settings.stopBits)};
}

} // namespace pollhost
