#include "tag.h"

#include <QtCore/QRegularExpression>

#include <cmath>

namespace pollhost {

using tools::Result;

namespace {

QString tagError(const QString &name, const QString &why)
{
    return QStringLiteral("tag '%1': %2").arg(name, why);
}

// Names appear in CSV headers, JSON keys and --write NAME=VALUE.
bool usableName(const QString &name)
{
    static const QRegularExpression form(QStringLiteral("^[^\\s,=\"]+$"));
    return form.match(name).hasMatch();
}

QString checkRun(const Variable &variable, const tools::Family &family, const DataType &type,
                 bool countGiven)
{
    if (countGiven && variable.count != type.elements)
        return QStringLiteral("%1 takes %2 element(s), %3 gives %4")
            .arg(QLatin1String(type.name)).arg(type.elements).arg(variable.text).arg(variable.count);
    const auto first = tools::integerAddress(family, variable.addressText);
    if (!first || *first >= family.elements)
        return QStringLiteral("%1 is not an address of %2").arg(variable.text, QLatin1String(family.name));
    if (*first + type.elements > family.elements)
        return QStringLiteral("%1 at %2 runs past the end of %3")
            .arg(QLatin1String(type.name), variable.text, QLatin1String(family.name));
    return {};
}

QString scalingError(const DataType &type, const TagFields &fields)
{
    if (!std::isfinite(fields.scale) || fields.scale == 0 || !std::isfinite(fields.offset))
        return QStringLiteral("the scale must be a number other than 0, the offset a number");
    if (!type.scalable && (fields.scale != 1 || fields.offset != 0))
        return QStringLiteral("%1 takes no scale or offset").arg(QLatin1String(type.name));
    if (fields.wordOrder != QLatin1String("low_first") && fields.wordOrder != QLatin1String("high_first")
        && !fields.wordOrder.isEmpty())
        return QStringLiteral("word_order is low_first or high_first, not '%1'").arg(fields.wordOrder);
    if (!std::isfinite(fields.deadband) || fields.deadband < 0)
        return QStringLiteral("the deadband must be a number of 0 or more");
    return {};
}

QString number(double value, int digits)
{
    return QString::number(value, 'g', digits);
}

QString hexDigits(quint16 word)
{
    return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

Result<Tag> defineTag(const TagFields &fields)
{
    const auto fail = [&](const QString &why) { return Result<Tag>::failure(tagError(fields.name, why)); };
    if (!usableName(fields.name))
        return fail(QStringLiteral("a name needs at least one character and no space, comma, = or quote"));
    const auto parsed = parseVariable(fields.address);
    const tools::Family *family = parsed.ok() ? tools::findFamily(parsed.value().family) : nullptr;
    if (!family)
        return fail(QStringLiteral("'%1' is not an address such as DM100 or RLY00105").arg(fields.address));
    const DataType *type = fields.type.isEmpty() ? &defaultType(*family) : findType(fields.type);
    if (!type)
        return fail(QStringLiteral("unknown type '%1' (types: %2)")
                        .arg(fields.type, typeNames().join(QStringLiteral(", "))));
    Tag tag{fields.name, fields.address, type, fields.scale, fields.offset, fields.unit,
            fields.wordOrder == QLatin1String("high_first"), fields.writable, fields.deadband, parsed.value()};
    const bool countGiven = fields.address.contains(QLatin1Char(':'));
    if (!countGiven)
        tag.variable.count = type->elements;
    for (const QString &why : {misfit(*type, *family), checkRun(tag.variable, *family, *type, countGiven),
                               scalingError(*type, fields)}) {
        if (!why.isEmpty())
            return fail(why);
    }
    tag.address = tools::elementName(*family, *tools::integerAddress(*family, tag.variable.addressText));
    return tag;
}

Result<Tag> tagFromJson(const QJsonObject &object)
{
    TagFields fields;
    fields.name = object.value(QLatin1String("name")).toString();
    fields.address = object.value(QLatin1String("address")).toString();
    fields.type = object.value(QLatin1String("type")).toString();
    fields.scale = object.value(QLatin1String("scale")).toDouble(1);
    fields.offset = object.value(QLatin1String("offset")).toDouble(0);
    fields.unit = object.value(QLatin1String("unit")).toString();
    fields.wordOrder = object.value(QLatin1String("word_order")).toString();
    fields.writable = object.value(QLatin1String("writable")).toBool(false);
    fields.deadband = object.value(QLatin1String("deadband")).toDouble(0);
    // A field of the wrong kind ("scale": "0.1") would otherwise read as
    // its default and show unscaled values as if they were scaled.
    static const QStringList texts{"name", "address", "type", "unit", "word_order"};
    static const QStringList numbers{"scale", "offset", "deadband"};
    static const QStringList switches{"writable"};
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        QString why;
        if (!texts.contains(key) && !numbers.contains(key) && !switches.contains(key))
            why = QStringLiteral("unknown field '%1'").arg(key);
        else if (numbers.contains(key) && !it.value().isDouble())
            why = QStringLiteral("'%1' must be a number").arg(key);
        else if (switches.contains(key) && !it.value().isBool())
            why = QStringLiteral("'%1' must be true or false").arg(key);
        else if (texts.contains(key) && !it.value().isString())
            why = QStringLiteral("'%1' must be text").arg(key);
        if (!why.isEmpty())
            return Result<Tag>::failure(tagError(fields.name, why));
    }
    return defineTag(fields);
}

Result<QList<Tag>> typedTags(const QString &text)
{
    const int at = text.indexOf(QLatin1Char('@'));
    const QString typeName = text.mid(at + 1);
    const auto run = parseVariable(text.left(at));
    const tools::Family *family = run.ok() ? tools::findFamily(run.value().family) : nullptr;
    const auto first = family ? tools::integerAddress(*family, run.value().addressText) : std::nullopt;
    const DataType *type = findType(typeName);
    if (!first || !type)
        return Result<QList<Tag>>::failure(
            QStringLiteral("'%1' is not a typed variable: expected ADDRESS[:COUNT]@TYPE, e.g. DM110:2@float32 "
                           "(types: %2)").arg(text, typeNames().join(QStringLiteral(", "))));
    QList<Tag> tags;
    for (int k = 0; k < run.value().count; ++k) {
        const QString address = tools::elementName(*family, *first + k * type->elements);
        const auto tag = defineTag({address + QLatin1Char('@') + typeName, address, typeName, 1, 0, {}, {}});
        if (!tag.ok())
            return Result<QList<Tag>>::failure(tag.error());
        tags << tag.value();
    }
    return tags;
}

QJsonObject Tag::toJson() const
{
    QJsonObject object{{QStringLiteral("name"), name},
                       {QStringLiteral("address"), address},
                       {QStringLiteral("type"), QLatin1String(type->name)}};
    if (scale != 1)
        object.insert(QStringLiteral("scale"), scale);
    if (offset != 0)
        object.insert(QStringLiteral("offset"), offset);
    if (!unit.isEmpty())
        object.insert(QStringLiteral("unit"), unit);
    if (highWordFirst)
        object.insert(QStringLiteral("word_order"), QStringLiteral("high_first"));
    if (writable)
        object.insert(QStringLiteral("writable"), true);
    if (deadband != 0)
        object.insert(QStringLiteral("deadband"), deadband);
    return object;
}

QList<Tag> tagsOfVariable(const Variable &variable)
{
    QList<Tag> tags;
    const tools::Family *family = tools::findFamily(variable.family);
    for (int k = 0; family && k < variable.count; ++k) {
        Tag tag;
        tag.name = tag.address = variable.label(k);
        tag.type = &defaultType(*family);
        tag.variable = variable;
        tag.variable.text = tag.address;
        tag.variable.addressText = tag.address.mid(variable.family.size());
        tag.variable.address = variable.address + k;
        tag.variable.count = 1;
        tags << tag;
    }
    return tags;
}

TagReading readTag(const Tag &tag, const QList<int> &elements)
{
    const DataType &type = *tag.type;
    quint16 low = quint16(elements.value(0));
    quint16 high = quint16(elements.value(1));
    if (tag.highWordFirst)
        std::swap(low, high);
    const auto raw = rawFromWords(type, low, high);
    if (!raw)
        return {false, 0, QStringLiteral("bad BCD ") + hexDigits(low)};
    if (type.id == TypeId::Hex16)
        return {true, *raw, hexDigits(low)};
    const double value = *raw * tag.scale + tag.offset;
    return {true, value, number(value, type.id == TypeId::Float32 ? 7 : 12)};
}

Result<QList<int>> elementsToWrite(const Tag &tag, const QString &given)
{
    const DataType &type = *tag.type;
    // The value as the tag shows it, "185.5 °C", is taken too.
    QString text = given.trimmed();
    if (!tag.unit.isEmpty() && text.endsWith(tag.unit))
        text = text.left(text.size() - tag.unit.size()).trimmed();
    const auto fail = [&](const QString &why) { return Result<QList<int>>::failure(tagError(tag.name, why)); };
    bool converted = false;
    double raw = 0;
    if (type.id == TypeId::Hex16) {
        const QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
        raw = digits.size() <= 4 ? digits.toUInt(&converted, 16) : 0;
    } else {
        raw = (text.toDouble(&converted) - tag.offset) / tag.scale;
        converted = converted && std::isfinite(raw);
    }
    const QString unit = tag.unit.isEmpty() ? QString() : QLatin1Char(' ') + tag.unit;
    if (!converted)
        return fail(QStringLiteral("'%1' is not a value of %2").arg(text, QLatin1String(type.name)));
    if (type.id != TypeId::Float32) {
        const double step = std::round(raw);
        if (std::abs(raw - step) > 1e-6 * std::max(1.0, std::abs(step)))
            return fail(QStringLiteral("%1%2 lies between two steps of %3").arg(text, unit, number(tag.scale, 12)));
        raw = step;
    }
    if (raw < type.lowest || raw > type.highest) {
        const double one = type.lowest * tag.scale + tag.offset;
        const double other = type.highest * tag.scale + tag.offset;
        return fail(QStringLiteral("%1%2 does not fit %3 (%4 to %5%2)")
                        .arg(text, unit, QLatin1String(type.name), number(std::min(one, other), 12),
                             number(std::max(one, other), 12)));
    }
    QList<quint16> words = wordsFromRaw(type, raw);
    if (tag.highWordFirst)
        std::reverse(words.begin(), words.end());
    QList<int> elements;
    for (quint16 word : words)
        elements << word;
    return elements;
}

} // namespace pollhost
