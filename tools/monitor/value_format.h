// How a row shows its value, and reads back what the user typed in it.
#ifndef ORDELIN_MONITOR_VALUE_FORMAT_H
#define ORDELIN_MONITOR_VALUE_FORMAT_H

#include <QtCore/QString>
#include <QtCore/QStringList>

#include <optional>

namespace monitor {

enum class ValueFormat { Decimal, Hex, Binary };

// "dec", "hex", "bin": the names in the format menu and the variable files.
const QStringList &formatNames();
ValueFormat formatNamed(const QString &name);
QString formatName(ValueFormat format);

// A word as 1234, 0x04D2 or 0000 0100 1101 0010; a bit always as 0 or 1.
QString formatValue(int value, bool bit, ValueFormat format);

// The value typed in the row's format; a 0x or 0b prefix picks hex or
// binary whatever the row shows. Nothing when it is not a number in range
// (0 or 1 for a bit, 0 to 65535 for a word).
std::optional<int> parseValue(QString text, bool bit, ValueFormat format);

} // namespace monitor

#endif
