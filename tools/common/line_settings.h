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

} // namespace tools

#endif
