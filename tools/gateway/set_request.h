// What a write request on <prefix>/tags/<name>/set asks, decided from its
// bytes and the project's tags alone: no broker, no clock, no line, so every
// payload a client can send is judged the same way here and in the fuzzer.
#ifndef ORDELIN_GATEWAY_SET_REQUEST_H
#define ORDELIN_GATEWAY_SET_REQUEST_H

#include "host/tag.h"

#include <QtCore/QJsonValue>

namespace gateway {

// Far above any value with its id; a client that sends more is not talking
// to us as documented.
constexpr int largestSetPayload = 1024;

struct SetDecision {
    QString id;       // echoed in the result; empty when none came
    QJsonValue asked; // the value as asked; null when the payload held none
    QString refusal;  // why it is refused, in plain English; empty when accepted
    QString text;     // the value as the tag's write conversion reads it
    QList<int> elements; // accepted: what goes to the tag's elements
};

// A bare JSON number or true/false, or {"value": ..., "id": "..."}, for the
// tag `name`; `tag` is null when the project has no tag of that name.
// Refuses what the tag's write conversion refuses (out of range, between two
// steps of the scale), tags not marked writable, and anything malformed.
SetDecision decideSet(const QString &name, const pollhost::Tag *tag, const QByteArray &payload);

} // namespace gateway

#endif
