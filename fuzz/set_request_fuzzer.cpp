// The gateway's write requests as any MQTT client may send them: any bytes,
// for tags of every type, writable or not. What is accepted must be exactly
// the tag's run, each element a bit or a word, and read back as the value
// asked; what is refused must say why.
#include "gateway/set_request.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

QList<pollhost::Tag> makeTags()
{
    const char *const tags[][4] = {{"DM100", "int16", "0.1", "-20"}, {"DM102", "uint32", "0.01", "0"},
                                   {"DM104", "float32", "1", "0"},   {"TM7", "bcd16", "1", "0"},
                                   {"DM106", "hex16", "1", "0"},     {"RLY00105", "bool", "1", "0"},
                                   {"TV_p5", "uint16", "2.5", "0"}};
    QList<pollhost::Tag> made;
    for (const auto &row : tags) {
        pollhost::TagFields fields;
        fields.name = QStringLiteral("tag%1").arg(made.size());
        fields.address = QLatin1String(row[0]);
        fields.type = QLatin1String(row[1]);
        fields.scale = std::atof(row[2]);
        fields.offset = std::atof(row[3]);
        fields.writable = made.size() % 3 != 2;
        const auto tag = pollhost::defineTag(fields);
        check(tag.ok(), "a tag of the table is refused");
        made << tag.value();
        made.last().variable.address = 0; // as the driver's check would set it
    }
    return made;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QList<pollhost::Tag> tags = makeTags();
    FuzzedDataProvider in(data, size);
    const int choice = in.ConsumeIntegralInRange<int>(0, tags.size()); // the last: no such tag
    const pollhost::Tag *tag = choice < tags.size() ? &tags[choice] : nullptr;
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QByteArray payload(rest.data(), int(rest.size()));
    const gateway::SetDecision decision = gateway::decideSet(QStringLiteral("x"), tag, payload);
    if (!decision.refusal.isEmpty()) {
        check(decision.elements.isEmpty(), "a refused request carries elements");
        return 0;
    }
    check(tag && tag->writable, "a request for a tag that is missing or read-only is accepted");
    check(payload.size() <= gateway::largestSetPayload, "an oversized request is accepted");
    check(decision.asked.isDouble() || decision.asked.isBool(), "a value that is no number or bool is accepted");
    check(decision.elements.size() == tag->type->elements, "the elements are not the tag's run");
    const int highest = tag->variable.isBit() ? 1 : 0xFFFF;
    for (int element : decision.elements)
        check(element >= 0 && element <= highest, "an element is no bit or word");
    const pollhost::TagReading back = pollhost::readTag(*tag, decision.elements);
    const double asked = decision.asked.isBool() ? double(decision.asked.toBool()) : decision.asked.toDouble();
    // The conversion takes a value within a millionth of a step's count of
    // a step (decimal text of a binary fraction), and float32 rounds to 24 bits.
    const double raw = std::abs((asked - tag->offset) / tag->scale);
    const double tolerance = tag->type->id == pollhost::TypeId::Float32 ? 1e-6 * std::max(1.0, std::abs(asked))
                                                                        : 1e-6 * std::max(1.0, raw) * tag->scale + 1e-9;
    check(back.valid && std::abs(back.value - asked) <= tolerance, "the elements do not read back as the value asked");
    return 0;
}
