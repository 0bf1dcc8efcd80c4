// CheckAddrCorrect: what the host's editor tells its user about a family and
// an address text, in Chinese or English, and the integer address it gets.
#include "ordelin/ordelin.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTranslator>

#include <gtest/gtest.h>

namespace {

constexpr int bitType = 0;
constexpr int wordType = 1;
constexpr int unwritten = 424242;

struct Check {
    const char *family;
    const char *text;
    int extent = 0;
    int addressType = wordType;
};

struct Outcome {
    QString message;
    int address;
};

Outcome check(const Check &c, int language = 1)
{
    int address = unwritten;
    QString message = CheckAddrCorrect(QString::fromLatin1(c.family), QString::fromUtf8(c.text),
                                       address, c.extent, language, c.addressType);
    return {message, address};
}

std::string describe(const Check &c)
{
    return std::string(c.family) + " \"" + c.text + "\" extent " + std::to_string(c.extent)
        + " type " + std::to_string(c.addressType);
}

struct MessageCase {
    Check input;
    const char *chinese;
    const char *english;
};

const char *const timerGroupZh = "地址格式:ddd, 范围:0~999";
const char *const timerGroupEn = "Address Format:ddd, range:0~999";

const MessageCase messageCases[] = {
    {{"DM", "100", 0, bitType}, "寄存器和地址类型不匹配!", "The register and address type isn't match!"},
    {{"T", "", 0, bitType}, "寄存器地址不能为空!", "The register address can not be null!"},
    {{"DM", "1 0"}, "寄存器地址不能包含空格!", "The register address can not contain spaces!"},
    {{"RLY", "99916", 0, bitType}, "地址格式:dddDD, 范围:0~99915", "Address Format:dddDD, range:0~99915"},
    {{"T", "1000", 0, bitType}, timerGroupZh, timerGroupEn},
    {{"C", "1000", 0, bitType}, timerGroupZh, timerGroupEn},
    {{"TV_c", "1000"}, timerGroupZh, timerGroupEn},
    {{"TV_p", "1000"}, timerGroupZh, timerGroupEn},
    {{"CV_c", "1000"}, timerGroupZh, timerGroupEn},
    {{"CV_p", "1000"}, timerGroupZh, timerGroupEn},
    {{"DM", "10000"}, "地址格式:dddd, 范围:0~9999", "Address Format:dddd, range:0~9999"},
    {{"TM", "100"}, "地址格式:dd, 范围:0~99", "Address Format:dd, range:0~99"},
    {{"TV", "256"}, "地址格式:ddd, 范围:0~255", "Address Format:ddd, range:0~255"},
    {{"CTH", "10"}, "地址格式:d, 范围:0~9", "Address Format:d, range:0~9"},
    {{"XY", "5"}, "无此寄存器!", "Didn't have this register!"},
};

TEST(AddressValidation, EveryMessageInBothLanguagesAndNoneInOthers)
{
    for (const MessageCase &m : messageCases) {
        SCOPED_TRACE(describe(m.input));
        EXPECT_EQ(check(m.input, 0).message.toUtf8(), QByteArray(m.chinese));
        EXPECT_EQ(check(m.input, 1).message.toUtf8(), QByteArray(m.english));
        const Outcome silent = check(m.input, 5);
        EXPECT_EQ(silent.message, QString());
        EXPECT_EQ(silent.address, check(m.input).address);
        EXPECT_EQ(check(m.input, -1).message, QString());
    }
}

const char *const mismatch = "The register and address type isn't match!";
const char *const relayRange = "Address Format:dddDD, range:0~99915";
const char *const dmRange = "Address Format:dddd, range:0~9999";

struct OutcomeCase {
    Check input;
    const char *message; // English
    int address;
};

const OutcomeCase outcomeCases[] = {
    // The highest and lowest address of each family pass.
    {{"RLY", "99915", 0, bitType}, "", 999 * 16 + 15},
    {{"RLY", "0", 0, bitType}, "", 0},
    {{"T", "999", 0, bitType}, "", 999},
    {{"C", "999", 0, bitType}, "", 999},
    {{"TV_c", "999"}, "", 999},
    {{"TV_p", "999"}, "", 999},
    {{"CV_c", "999"}, "", 999},
    {{"CV_p", "999"}, "", 999},
    {{"DM", "9999"}, "", 9999},
    {{"TM", "99"}, "", 99},
    {{"TV", "255"}, "", 255},
    {{"CTH", "9"}, "", 9},
    {{"CTH", "0"}, "", 0},
    // Exits before the conversion leave the address unwritten; the type
    // check comes first, also for "TV" and unknown names (word families).
    {{"DM", "", 0, bitType}, mismatch, unwritten},
    {{"XY", "5", 0, bitType}, mismatch, unwritten},
    {{"TV", "5", 0, bitType}, mismatch, unwritten},
    {{"T", "", 0, bitType}, "The register address can not be null!", unwritten},
    {{"DM", " 5"}, "The register address can not contain spaces!", unwritten},
    {{"DM", "\t12"}, "", 12}, // other white space is the conversion's business
    // The converted address is written before the range test.
    {{"RLY", "99916", 0, bitType}, relayRange, 16000},
    {{"TM", "-5"}, "Address Format:dd, range:0~99", -5},
    {{"DM", "abc"}, dmRange, -1},
    {{"XY", "77"}, "Didn't have this register!", 77},
    // The extent moves the upper bound only, and does not wrap.
    {{"DM", "9999", 1}, dmRange, 9999},
    {{"DM", "9000", 999}, "", 9000},
    {{"DM", "9000", 1000}, dmRange, 9000},
    {{"RLY", "99914", 1, bitType}, "", 15998},
    {{"RLY", "99914", 2, bitType}, relayRange, 15998},
    {{"DM", "0", -5}, "", 0},
    {{"DM", "-1", 5}, dmRange, -1},
    {{"DM", "5", 2147483647}, dmRange, 5},
};

TEST(AddressValidation, ChecksRunInOrderAndWriteTheAddressAtConversion)
{
    for (const OutcomeCase &c : outcomeCases) {
        SCOPED_TRACE(describe(c.input));
        const Outcome outcome = check(c.input);
        EXPECT_EQ(outcome.message, QString::fromLatin1(c.message));
        EXPECT_EQ(outcome.address, c.address);
    }
}

// Stands in for a host translation: replaces the unknown-register message in
// either language and records how it was asked.
class HostTranslator : public QTranslator {
public:
    mutable QByteArray context;
    mutable bool disambiguated = false;

    QString translate(const char *ctx, const char *source, const char *disambiguation,
                      int) const override
    {
        context = ctx;
        disambiguated = disambiguation != nullptr;
        if (QByteArray(source) == "Didn't have this register!")
            return QStringLiteral("Unknown register");
        if (QByteArray(source) == "无此寄存器!")
            return QStringLiteral("zh: unknown register");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

TEST(AddressValidation, HostTranslatorReplacesMessages)
{
    int argc = 1;
    char name[] = "address_validation_test";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    HostTranslator translator;
    QCoreApplication::installTranslator(&translator);

    EXPECT_EQ(check({"XY", "5"}, 1).message, QStringLiteral("Unknown register"));
    EXPECT_EQ(translator.context, QByteArray("QObject"));
    EXPECT_FALSE(translator.disambiguated);
    EXPECT_EQ(check({"XY", "5"}, 0).message, QStringLiteral("zh: unknown register"));
    // Texts the translator does not know stay as they are.
    EXPECT_EQ(check({"DM", ""}).message,
              QStringLiteral("The register address can not be null!"));
    QCoreApplication::removeTranslator(&translator);
}

} // namespace
