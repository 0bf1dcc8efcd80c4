// "RD", a space, the family part, CR LF.
#include "encoders.h"

#include "core/settings.h"
#include "digits.h"

#include <cstring>

namespace ordelin {

void encodeRead(Ordelin &driver, const VarItem &request)
{
    const FamilyInfo *info = findFamily(request.registerName);
    if (!info)
        return;
    char text[24] = {'R', 'D', ' '};
    int length = 3;
    const size_t prefixLength = std::strlen(info->read.prefix);
    std::memcpy(text + length, info->read.prefix, prefixLength);
    length += int(prefixLength);
    const int digits = writeAddressDigits(text + length, info->read.digits, request.address);
    if (digits < 0)
        return;
    length += digits;
    text[length++] = '\r';
    text[length++] = '\n';

    driver.sendQueue.append(SendFrame{QByteArray(text, length), length, info->read.replyLength,
                                      info->read.valueOffset, info->read.valueWidth, request,
                                      0, 0, 0});
    startBatch();
}

} // namespace ordelin
