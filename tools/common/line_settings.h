// The settings of a serial line, as both programs take them from their
// options and apply them with QSerialPort. The PLC and its host must agree on all four.
#ifndef ORDELIN_TOOLS_LINE_SETTINGS_H
#define ORDELIN_TOOLS_LINE_SETTINGS_H

#include "result.h"

#include <QtCore/QCommandLineParser>

class QSerialPort;

namespace tools {

enum class Parity { None, Even, Odd };

struct LineSettings {
    qint32 baud = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;
};

// "none", "even", "odd": the parities as options and project files name
// them, in the order of Parity.
const QStringList &parityNames();

// The baud rates both ends can set: the standard ones of QSerialPort.
QList<qint32> supportedBauds();

// Adds --baud, --data-bits, --parity and --stop-bits.
void addLineOptions(QCommandLineParser &parser);
Result<LineSettings> lineSettings(const QCommandLineParser &parser);

// Opens the port read-write and applies the settings, raw and without flow
// control; on failure the port's error says why.
bool openPort(QSerialPort &port, const LineSettings &settings);

// "9600 8N1", for messages.
QString describe(const LineSettings &settings);

// How long `bytes` bytes take on the wire, in nanoseconds: each byte is a
// start bit, its data bits, a parity bit if any and its stop bits.
qint64 wireNanoseconds(const LineSettings &settings, qint64 bytes);

} // namespace tools

#endif
