#include "data_types.h"

#include <cstring>

namespace pollhost {

namespace {

const double float32Max = 3.4028234663852886e38;

const DataType table[] = {
    {TypeId::Bool, "bool", 1, Holds::Bits, false, 0, 1},
    {TypeId::Uint16, "uint16", 1, Holds::Words, true, 0, 65535},
    {TypeId::Int16, "int16", 1, Holds::Words, true, -32768, 32767},
    {TypeId::Bcd16, "bcd16", 1, Holds::Words, true, 0, 9999},
    {TypeId::Hex16, "hex16", 1, Holds::Words, false, 0, 65535},
    {TypeId::Uint32, "uint32", 2, Holds::DataWords, true, 0, 4294967295.0},
    {TypeId::Int32, "int32", 2, Holds::DataWords, true, -2147483648.0, 2147483647.0},
    {TypeId::Float32, "float32", 2, Holds::DataWords, true, -float32Max, float32Max},
};

bool isDataMemory(const tools::Family &family)
{
    return family.id == tools::FamilyId::Dm || family.id == tools::FamilyId::Tm;
}

std::optional<double> fromBcd(quint16 word)
{
    int value = 0;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const int digit = (word >> shift) & 0xF;
        if (digit > 9)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

quint16 toBcd(int value)
{
    quint16 word = 0;
    for (int shift = 0; shift < 16; shift += 4, value /= 10)
        word |= quint16((value % 10) << shift);
    return word;
}

} // namespace

const DataType *findType(const QString &name)
{
    for (const DataType &type : table) {
        if (name == QLatin1String(type.name))
            return &type;
    }
    return nullptr;
}

QStringList typeNames()
{
    QStringList names;
    for (const DataType &type : table)
        names << QLatin1String(type.name);
    return names;
}

const DataType &defaultType(const tools::Family &family)
{
    return *findType(QLatin1String(family.bit ? "bool" : "uint16"));
}

QString misfit(const DataType &type, const tools::Family &family)
{
    const bool fits = type.holds == Holds::Bits ? family.bit
                    : type.holds == Holds::Words ? !family.bit
                                                 : isDataMemory(family);
    if (fits)
        return {};
    const char *wanted = type.holds == Holds::Bits    ? "a bit family (RLY, T, C)"
                       : type.holds == Holds::Words   ? "a word family"
                                                      : "two DM or TM words";
    return QStringLiteral("%1 needs %2, not %3").arg(QLatin1String(type.name), QLatin1String(wanted),
                                                     QLatin1String(family.name));
}

std::optional<double> rawFromWords(const DataType &type, quint16 low, quint16 high)
{
    const quint32 both = quint32(high) << 16 | low;
    switch (type.id) {
    case TypeId::Bool: return low & 1;
    case TypeId::Uint16:
    case TypeId::Hex16: return low;
    case TypeId::Int16: return qint16(low);
    case TypeId::Bcd16: return fromBcd(low);
    case TypeId::Uint32: return both;
    case TypeId::Int32: return qint32(both);
    case TypeId::Float32: {
        float value;
        std::memcpy(&value, &both, sizeof value);
        return double(value);
    }
    }
    return std::nullopt;
}

QList<quint16> wordsFromRaw(const DataType &type, double raw)
{
    quint32 both = 0;
    switch (type.id) {
    case TypeId::Bool:
    case TypeId::Uint16:
    case TypeId::Hex16:
    case TypeId::Uint32: both = quint32(qint64(raw)); break;
    case TypeId::Int16:
    case TypeId::Int32: both = quint32(qint32(qint64(raw))); break;
    case TypeId::Bcd16: both = toBcd(int(raw)); break;
    case TypeId::Float32: {
        const float value = float(raw);
        std::memcpy(&both, &value, sizeof both);
        break;
    }
    }
    if (type.elements == 1)
        return {quint16(both)};
    return {quint16(both), quint16(both >> 16)};
}

} // namespace pollhost
