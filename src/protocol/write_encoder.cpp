// Bit families: "ST" (set) or "RS" (reset), a space, the address, CR.
// Word families: "WR" or "WS", a space, the address, a space, five value
// digits, CR LF. Every write is answered "OK" CR LF and decodes nothing.
#include "encoders.h"

#include "core/settings.h"
#include "digits.h"
#include "image/register_image.h"

#include <cstring>

namespace ordelin {

namespace {

constexpr int acknowledgementLength = 4;

quint8 dataByte(const QByteArray &data, int index)
{
    return index < data.size() ? quint8(data[index]) : 0;
}

// The command word: bits by the lowest bit of the first data byte (odd
// sets, even resets, the rule the image readers use), words by family.
const char *commandWord(const FamilyInfo &info, const QByteArray &data)
{
    if (!info.isBit)
        return info.write.command;
    return (dataByte(data, 0) & 1) ? "ST" : "RS";
}

int buildCommand(char *text, const FamilyInfo &info, const VarItem &request)
{
    std::memcpy(text, commandWord(info, request.data), 2);
    text[2] = ' ';
    int length = 3;
    const size_t prefixLength = std::strlen(info.write.prefix);
    std::memcpy(text + length, info.write.prefix, prefixLength);
    length += int(prefixLength);
    const int digits = writeAddressDigits(text + length, info.write.digits, request.address);
    if (digits < 0)
        return -1;
    length += digits;
    if (info.isBit) {
        text[length++] = '\r';
        return length;
    }
    const quint16 value = quint16(dataByte(request.data, 0) | (dataByte(request.data, 1) << 8));
    text[length++] = ' ';
    writeValueDigits(text + length, value);
    length += 5;
    text[length++] = '\r';
    text[length++] = '\n';
    return length;
}

} // namespace

void encodeWrite(Ordelin &driver, const VarItem &request)
{
    const FamilyInfo *info = findFamily(request.registerName);
    if (!info)
        return;
    char text[32];
    const int length = buildCommand(text, *info, request);
    if (length < 0)
        return;

    driver.sendQueue.append(
        SendFrame{QByteArray(text, length), length, acknowledgementLength, 0, 0, request, 0, 0, 0});
    startBatch();

    // While the link is up the image shows the value as soon as it is sent;
    // while it is down SetRegisterData has already stored it.
    if (!driver.linkDown.load(std::memory_order_relaxed))
        storeImage(driver, request.registerName, request.address, request.count, request.data);
}

} // namespace ordelin
