// The address services with arbitrary strings, extents, steps, counts and
// languages. They are stateless, so no driver set-up is needed; the checks
// are the promises an editor relies on.
#include "fuzz_input.h"

using namespace fuzzinput;

namespace {

// Addresses that the validation table accepts, by family.
int validationHighest(const QString &family)
{
    if (family == QLatin1String("TV"))
        return 255;
    const ordelin::FamilyInfo *known = ordelin::findFamily(family);
    return known ? known->validHighest : -1;
}

void checkConversionAndValidation(FuzzedDataProvider &in)
{
    const QString family = familyName(in), text = addressText(in);
    const int converted = AddrStringToInt(family, text);
    const int extent = anyInt(in), language = in.ConsumeIntegralInRange(-1, 2);
    const int addressType = in.ConsumeIntegralInRange(0, 3) == 0 ? in.ConsumeIntegral<int>() : in.ConsumeIntegralInRange(0, 1);
    const int untouched = in.ConsumeIntegral<int>();
    int address = untouched;
    const QString message = CheckAddrCorrect(family, text, address, extent, language, addressType);
    // Only the two languages speak; the address written back is the conversion's.
    FUZZ_CHECK(message.isEmpty() || language == 0 || language == 1);
    FUZZ_CHECK(address == untouched || address == converted);
    // Valid: the address and its extent fit the family.
    if (message.isEmpty() && language == 1)
        FUZZ_CHECK(address == converted && converted >= 0 && validationHighest(family) >= 0
                   && qint64(converted) + extent <= validationHighest(family));
}

void checkRun(FuzzedDataProvider &in)
{
    const QString family = familyName(in);
    const int start = anyInt(in), count = anyCount(in), language = in.ConsumeIntegralInRange(-1, 2);
    const int step = in.ConsumeBool() ? in.ConsumeIntegralInRange(-3, 20) : anyInt(in);
    QList<QString> texts;
    texts.append(QString::fromUtf8(anyBytes(in, 4)));
    QVector<int> values(in.ConsumeIntegralInRange(0, 3), 7);
    const QString question = AddrMutilCopy(family, start, count, step, texts, values, language);

    FUZZ_CHECK(texts.size() == values.size());
    const ordelin::FamilyInfo *known = ordelin::findFamily(family);
    if (!known || count < 1) {
        FUZZ_CHECK(texts.isEmpty() && question.isEmpty());
        return;
    }
    FUZZ_CHECK(texts.size() == count);
    if (language != 0 && language != 1)
        FUZZ_CHECK(question.isEmpty());
    // Every entry is either the address itself, below the limit, or the
    // family's overflow marker; the question comes exactly with a marker.
    bool clamped = false;
    for (int i = 0; i < values.size(); ++i) {
        if (values[i] == known->run.overflowMarker) {
            clamped = true;
            FUZZ_CHECK(texts[i] == QLatin1String(known->run.limitText));
        } else {
            FUZZ_CHECK(values[i] <= known->run.highest);
            FUZZ_CHECK(!texts[i].isEmpty());
        }
    }
    if (language == 0 || language == 1)
        FUZZ_CHECK(clamped == !question.isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider in(bytes, size);
    for (int step = 0; step < 8 && in.remaining_bytes() > 0; ++step) {
        if (in.ConsumeBool())
            checkConversionAndValidation(in);
        else
            checkRun(in);
    }
    return 0;
}
