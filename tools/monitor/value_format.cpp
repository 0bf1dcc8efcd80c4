#include "value_format.h"

namespace monitor {

const QStringList &formatNames()
{
    static const QStringList names{QStringLiteral("dec"), QStringLiteral("hex"),
                                   QStringLiteral("bin")};
    return names;
}

ValueFormat formatNamed(const QString &name)
{
    return ValueFormat(std::max(0, int(formatNames().indexOf(name))));
}

QString formatName(ValueFormat format)
{
    return formatNames().at(int(format));
}

QString formatValue(int value, bool bit, ValueFormat format)
{
    if (bit || format == ValueFormat::Decimal)
        return QString::number(value);
    if (format == ValueFormat::Hex)
        return QStringLiteral("0x") + QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
    const QString digits = QStringLiteral("%1").arg(value, 16, 2, QLatin1Char('0'));
    return digits.mid(0, 4) + QLatin1Char(' ') + digits.mid(4, 4) + QLatin1Char(' ')
         + digits.mid(8, 4) + QLatin1Char(' ') + digits.mid(12, 4);
}

std::optional<int> parseValue(QString text, bool bit, ValueFormat format)
{
    text = text.trimmed().remove(QLatin1Char(' ')).remove(QLatin1Char('_')).toLower();
    int base = format == ValueFormat::Hex ? 16 : format == ValueFormat::Binary ? 2 : 10;
    if (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0b"))) {
        base = text.at(1) == QLatin1Char('x') ? 16 : 2;
        text = text.mid(2);
    }
    bool converted = false;
    const uint value = text.toUInt(&converted, base);
    if (!converted || value > (bit ? 1u : 0xFFFFu))
        return std::nullopt;
    return int(value);
}

} // namespace monitor
