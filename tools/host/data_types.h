// The data types a tag can have, one row each: how many elements of its
// family one value takes, which families can hold it, and how the raw
// number reads. Bits are `bool`; one word is read as unsigned, signed,
// four BCD digits or four hex digits; two successive DM or TM words make a
// 32-bit integer or a float, low word first unless the tag says otherwise.
#ifndef ORDELIN_HOST_DATA_TYPES_H
#define ORDELIN_HOST_DATA_TYPES_H

#include "common/families.h"

#include <QtCore/QStringList>

#include <optional>

namespace pollhost {

enum class TypeId { Bool, Uint16, Int16, Bcd16, Hex16, Uint32, Int32, Float32 };

// Which families a type fits.
enum class Holds { Bits, Words, DataWords }; // DataWords: DM and TM only

struct DataType {
    TypeId id;
    const char *name;
    int elements;  // elements of the family one value takes
    Holds holds;
    bool scalable; // scale and offset apply (not to bits or hex digits)
    double lowest; // raw range, for writes
    double highest;
};

const DataType *findType(const QString &name);
QStringList typeNames();

// The type a plain variable gets: bool for bit families, uint16 for words.
const DataType &defaultType(const tools::Family &family);

// Empty when `type` fits `family`, otherwise why not.
QString misfit(const DataType &type, const tools::Family &family);

// The raw number of a value from its words, low word first. Nothing when
// the words do not read as the type (a BCD word with a digit above 9).
std::optional<double> rawFromWords(const DataType &type, quint16 low, quint16 high);

// The words of a raw number that lies in the type's range, low word first.
QList<quint16> wordsFromRaw(const DataType &type, double raw);

} // namespace pollhost

#endif
