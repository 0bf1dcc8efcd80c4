// The texts the address services show to the editor's user. Each exists in
// Chinese and English; the host picks one with a language argument, and a
// translator the host installs may still replace the picked text.
#ifndef ORDELIN_ADDRESS_MESSAGES_H
#define ORDELIN_ADDRESS_MESSAGES_H

#include <QtCore/QString>

namespace ordelin {

constexpr int chineseLanguage = 0;
constexpr int englishLanguage = 1;

// Both texts are UTF-8.
struct Message {
    const char *chinese;
    const char *english;
};

namespace messages {
extern const Message typeMismatch;
extern const Message emptyAddress;
extern const Message addressWithSpace;
extern const Message unknownRegister;
extern const Message timerValueRange; // "TV", which only validation knows
extern const Message copyOverflow;
} // namespace messages

// The text for the language, passed through the host's translators; empty
// for a language other than Chinese or English.
QString localized(const Message &message, int language);

} // namespace ordelin

#endif
