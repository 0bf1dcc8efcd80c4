#include "set_request.h"

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QLocale>

#include <cmath>

namespace gateway {

namespace {

// QJsonDocument reads only objects and arrays, so a bare value is read as
// the one element of an array; "1,2" or "1],[2" then fail as they should.
bool readOne(const QByteArray &payload, QJsonValue &value)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson('[' + payload + ']', &error);
    if (error.error != QJsonParseError::NoError || document.array().size() != 1)
        return false;
    value = document.array().first();
    return true;
}

// What the request object says beside the value, or why it cannot be read.
QString readObject(const QJsonObject &object, SetDecision &decision)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() != QLatin1String("value") && it.key() != QLatin1String("id"))
            return QStringLiteral("unknown field '%1': a request holds \"value\" and optionally \"id\"").arg(it.key());
    }
    const QJsonValue id = object.value(QLatin1String("id"));
    if (!id.isUndefined() && !id.isString())
        return QStringLiteral("the id must be a string");
    decision.id = id.toString();
    if (!object.contains(QLatin1String("value")))
        return QStringLiteral("the request has no \"value\"");
    decision.asked = object.value(QLatin1String("value"));
    return {};
}

// The value as the tag's write conversion takes it: hex16 tags read hex
// digits there, so a number sent for one is written out in hex first.
QString valueText(const pollhost::Tag &tag, const QJsonValue &value, QString &why)
{
    if (value.isBool())
        return QLatin1String(value.toBool() ? "1" : "0");
    const double number = value.toDouble();
    if (tag.type->id != pollhost::TypeId::Hex16)
        return QString::number(number, 'g', QLocale::FloatingPointShortest);
    if (number != std::floor(number) || number < 0 || number > 0xFFFF) {
        why = QStringLiteral("tag '%1': %2 is not a value of hex16 (a whole number from 0 to 65535)")
                  .arg(tag.name, QString::number(number, 'g', QLocale::FloatingPointShortest));
        return {};
    }
    return QString::number(int(number), 16);
}

} // namespace

SetDecision decideSet(const QString &name, const pollhost::Tag *tag, const QByteArray &payload)
{
    SetDecision decision;
    decision.asked = QJsonValue(QJsonValue::Null);
    const auto refuse = [&decision](const QString &why) {
        decision.refusal = why;
        return decision;
    };
    if (payload.size() > largestSetPayload)
        return refuse(QStringLiteral("the request is over %1 bytes").arg(largestSetPayload));
    QJsonValue value;
    if (!readOne(payload, value))
        return refuse(QStringLiteral("the request is not JSON: send a number, true or false, "
                                     "or {\"value\": ..., \"id\": \"...\"}"));
    if (value.isObject()) {
        const QString why = readObject(value.toObject(), decision);
        if (!why.isEmpty())
            return refuse(why);
    } else {
        decision.asked = value;
    }
    if (!decision.asked.isDouble() && !decision.asked.isBool())
        return refuse(QStringLiteral("the value must be a number, true or false"));
    if (!tag)
        return refuse(QStringLiteral("there is no tag named '%1'").arg(name));
    if (!tag->writable)
        return refuse(QStringLiteral("tag '%1' is not writable (the project does not mark it so)").arg(name));
    QString why;
    decision.text = valueText(*tag, decision.asked, why);
    if (!why.isEmpty())
        return refuse(why);
    const auto elements = pollhost::elementsToWrite(*tag, decision.text);
    if (!elements.ok())
        return refuse(elements.error());
    decision.elements = elements.value();
    return decision;
}

} // namespace gateway
