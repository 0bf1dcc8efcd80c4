#include "line_settings.h"

#include "option_values.h"

#include <QtSerialPort/QSerialPort>
#include <QtSerialPort/QSerialPortInfo>

namespace tools {

namespace {

// Each parity once: its name in options and project files, its letter in
// "9600 8E1", and what QSerialPort calls it; in the order of Parity.
struct ParityInfo {
    const char *name;
    char letter;
    QSerialPort::Parity serial;
};
const ParityInfo parities[] = {{"none", 'N', QSerialPort::NoParity},
                               {"even", 'E', QSerialPort::EvenParity},
                               {"odd", 'O', QSerialPort::OddParity}};

const ParityInfo &infoOf(Parity parity)
{
    return parities[int(parity)];
}

} // namespace

const QStringList &parityNames()
{
    static const QStringList names = [] {
        QStringList all;
        for (const ParityInfo &info : parities)
            all << QLatin1String(info.name);
        return all;
    }();
    return names;
}

QList<qint32> supportedBauds()
{
    return QSerialPortInfo::standardBaudRates();
}

void addLineOptions(QCommandLineParser &parser)
{
    const QList<qint32> bauds = supportedBauds();
    parser.addOptions({
        {QStringLiteral("baud"),
         QStringLiteral("Baud rate: a standard rate from %1 to %2, e.g. 9600, 19200, 115200 "
                        "(default 9600).").arg(bauds.value(0)).arg(bauds.value(bauds.size() - 1)),
         QStringLiteral("rate"), QStringLiteral("9600")},
        {QStringLiteral("data-bits"), QStringLiteral("Data bits: 5 to 8 (default 8)."),
         QStringLiteral("bits"), QStringLiteral("8")},
        {QStringLiteral("parity"), QStringLiteral("Parity: none, even or odd (default none)."),
         QStringLiteral("parity"), QStringLiteral("none")},
        {QStringLiteral("stop-bits"), QStringLiteral("Stop bits: 1 or 2 (default 1)."),
         QStringLiteral("bits"), QStringLiteral("1")},
    });
}

Result<LineSettings> lineSettings(const QCommandLineParser &parser)
{
    using Failure = Result<LineSettings>;
    LineSettings settings;
    const auto baud = integerOption(parser, QStringLiteral("baud"), 1, 4000000);
    if (!baud.ok() || !supportedBauds().contains(qint32(baud.value())))
        return Failure::failure(QStringLiteral("--baud: '%1' is not a supported rate")
                                    .arg(parser.value(QStringLiteral("baud"))));
    settings.baud = qint32(baud.value());
    const auto dataBits = integerOption(parser, QStringLiteral("data-bits"), 5, 8);
    if (!dataBits.ok())
        return Failure::failure(dataBits.error());
    settings.dataBits = int(dataBits.value());
    const auto parity = choiceOption(parser, QStringLiteral("parity"), parityNames());
    if (!parity.ok())
        return Failure::failure(parity.error());
    settings.parity = Parity(parityNames().indexOf(parity.value()));
    const auto stopBits = integerOption(parser, QStringLiteral("stop-bits"), 1, 2);
    if (!stopBits.ok())
        return Failure::failure(stopBits.error());
    settings.stopBits = int(stopBits.value());
    return settings;
}

bool openPort(QSerialPort &port, const LineSettings &settings)
{
    return port.open(QIODevice::ReadWrite)
        && port.setBaudRate(settings.baud)
        && port.setDataBits(QSerialPort::DataBits(settings.dataBits))
        && port.setParity(infoOf(settings.parity).serial)
        && port.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop)
        && port.setFlowControl(QSerialPort::NoFlowControl);
}

QString describe(const LineSettings &settings)
{
    return QStringLiteral("%1 %2%3%4")
        .arg(settings.baud)
        .arg(settings.dataBits)
        .arg(QLatin1Char(infoOf(settings.parity).letter))
        .arg(settings.stopBits);
}

qint64 wireNanoseconds(const LineSettings &settings, qint64 bytes)
{
    const qint64 bitsPerByte = 1 + settings.dataBits + (settings.parity == Parity::None ? 0 : 1)
                             + settings.stopBits;
    // Whole seconds apart, so the bytes of a run of weeks do not overflow.
    const qint64 bits = bytes * bitsPerByte;
    return bits / settings.baud * 1000000000 + bits % settings.baud * 1000000000 / settings.baud;
}

} // namespace tools
