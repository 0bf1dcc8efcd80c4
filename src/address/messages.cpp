#include "messages.h"

#include <QtCore/QObject>

namespace ordelin {

namespace messages {
const Message typeMismatch = {"寄存器和地址类型不匹配!",
                              "The register and address type isn't match!"};
const Message emptyAddress = {"寄存器地址不能为空!", "The register address can not be null!"};
const Message addressWithSpace = {"寄存器地址不能包含空格!",
                                  "The register address can not contain spaces!"};
const Message unknownRegister = {"无此寄存器!", "Didn't have this register!"};
const Message timerValueRange = {"地址格式:ddd, 范围:0~255", "Address Format:ddd, range:0~255"};
const Message copyOverflow = {
    "复制已超出地址最大限制, 是否继续复制?",
    "Copy has exceeded the maximum limit of the address, and whether to continue copying?"};
} // namespace messages

QString localized(const Message &message, int language)
{
    // The text of the chosen language is the lookup key, in QObject's
    // context and without disambiguation, so a host translator can replace
    // the Chinese and the English text independently.
    switch (language) {
    case chineseLanguage: return QObject::staticMetaObject.tr(message.chinese, nullptr);
    case englishLanguage: return QObject::staticMetaObject.tr(message.english, nullptr);
    default: return QString();
    }
}

} // namespace ordelin
