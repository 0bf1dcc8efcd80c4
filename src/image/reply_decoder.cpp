#include "reply_decoder.h"

#include "core/driver.h"

namespace ordelin {

namespace {

constexpr int wordWidth = 5;

void decodeBits(quint8 *target, const FamilyInfo &info, const SendFrame &frame,
                const QByteArray &reply)
{
    for (int i = 0; i < frame.valueWidth; ++i) {
        const qint64 position = qint64(frame.valueOffset) + i;
        const qint64 index = qint64(frame.request.address) + i;
        if (position >= 0 && position < reply.size() && inImage(info, index))
            target[index] = quint8(digitValue(quint8(reply[int(position)])));
    }
}

void decodeWords(quint16 *target, const FamilyInfo &info, const SendFrame &frame,
                 const QByteArray &reply)
{
    for (int k = 0; k < frame.valueWidth / wordWidth; ++k) {
        const qint64 first = qint64(frame.valueOffset) + qint64(wordWidth) * k;
        const qint64 index = qint64(frame.request.address) + k;
        if (first < 0 || first + wordWidth > reply.size() || !inImage(info, index))
            continue;
        // Decimal weights apply to every character, whatever its value.
        quint32 value = 0;
        for (int i = 0; i < wordWidth; ++i)
            value = value * 10 + quint32(digitValue(quint8(reply[int(first) + i])));
        target[index] = quint16(value);
    }
}

} // namespace

int digitValue(quint8 character)
{
    if (character >= '0' && character <= '9')
        return character - '0';
    if (character >= 0x3A && character <= 0x3F)
        return character - '0';
    if (character >= 0x41 && character <= 0x7F)
        return character - 0x37;
    return 0;
}

void decodeReply(Ordelin &driver, const SendFrame &frame, const QByteArray &reply)
{
    const FamilyInfo *info = findFamily(frame.request.registerName);
    if (!info)
        return;
    if (info->isBit)
        decodeBits(driver.image.bits(info->family), *info, frame, reply);
    else
        decodeWords(driver.image.words(info->family), *info, frame, reply);
}

} // namespace ordelin
