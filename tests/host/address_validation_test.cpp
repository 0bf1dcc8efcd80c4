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
    int language = 1;
};

struct Outcome {
    QString message;
    int address;
};

Outcome check(const Check &c)
{
    int address = unwritten;
    QString message = CheckAddrCorrect(QString::fromLatin1(c.family), QString::fromUtf8(c.text),
                                       address, c.extent, c.language, c.addressType);
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

Check inLanguage(Check c, int language)
{
    c.language = language;
    return c;
}

TEST(AddressValidation, EveryMessageInBothLanguages)
{
    for (const MessageCase &m : messageCases) {
        SCOPED_TRACE(describe(m.input));
        EXPECT_EQ(check(inLanguage(m.input, 0)).message.toUtf8(), QByteArray(m.chinese));
        EXPECT_EQ(check(inLanguage(m.input, 1)).message.toUtf8(), QByteArray(m.english));
    }
}

TEST(AddressValidation, OtherLanguagesGetNoMessageButTheAddress)
{
    for (const MessageCase &m : messageCases) {
        SCOPED_TRACE(describe(m.input));
        EXPECT_EQ(check(inLanguage(m.input, 5)).message, QString());
        EXPECT_EQ(check(inLanguage(m.input, -1)).message, QString());
    }
    EXPECT_EQ(check({"RLY", "99916", 0, bitType, 2}).address, 16000);
}

TEST(AddressValidation, HighestAndLowestAddressOfEachFamilyPass)
{
    const Check valid[] = {
        {"RLY", "99915", 0, bitType}, {"RLY", "0", 0, bitType}, {"T", "999", 0, bitType},
        {"C", "999", 0, bitType},     {"TV_c", "999"},          {"TV_p", "999"},
        {"CV_c", "999"},              {"CV_p", "999"},          {"DM", "9999"},
        {"TM", "99"},                 {"TV", "255"},            {"CTH", "9"},
        {"CTH", "0"},
    };
    for (const Check &c : valid) {
        SCOPED_TRACE(describe(c));
        EXPECT_EQ(check(inLanguage(c, 0)).message, QString());
        EXPECT_EQ(check(c).message, QString());
    }
    EXPECT_EQ(check({"RLY", "99915", 0, bitType}).address, 999 * 16 + 15);
}

TEST(AddressValidation, EarlyExitsLeaveTheAddressUnwritten)
{
    const Outcome mismatchOverEmpty = check({"DM", "", 0, bitType});
    EXPECT_EQ(mismatchOverEmpty.message, QStringLiteral("The register and address type isn't match!"));
    EXPECT_EQ(mismatchOverEmpty.address, unwritten);

    const Outcome unknownBit = check({"XY", "5", 0, bitType});
    EXPECT_EQ(unknownBit.message, QStringLiteral("The register and address type isn't match!"));
    EXPECT_EQ(unknownBit.address, unwritten);

    const Outcome empty = check({"T", "", 0, bitType});
    EXPECT_EQ(empty.message, QStringLiteral("The register address can not be null!"));
    EXPECT_EQ(empty.address, unwritten);

    // " 5" would convert, but the space is rejected first.
    const Outcome spaced = check({"DM", " 5"});
    EXPECT_EQ(spaced.message, QStringLiteral("The register address can not contain spaces!"));
    EXPECT_EQ(spaced.address, unwritten);
}

TEST(AddressValidation, ConvertedAddressIsWrittenBeforeTheRangeTest)
{
    const Check cases[] = {{"RLY", "99916", 0, bitType}, {"TM", "-5"}, {"DM", "abc"}, {"XY", "77"}};
    const int stored[] = {16000, -5, -1, 77};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(describe(cases[i]));
        const Outcome outcome = check(cases[i]);
        EXPECT_FALSE(outcome.message.isEmpty());
        EXPECT_EQ(outcome.address, stored[i]);
    }
}

TEST(AddressValidation, WhiteSpaceOtherThanSpaceIsLeftToTheConversion)
{
    const Outcome tabbed = check({"DM", "\t12"});
    EXPECT_EQ(tabbed.message, QString());
    EXPECT_EQ(tabbed.address, 12);
}

TEST(AddressValidation, ExtentCountsOnTheUpperBoundOnly)
{
    const QString dmRange = QStringLiteral("Address Format:dddd, range:0~9999");
    EXPECT_EQ(check({"DM", "9999", 0}).message, QString());
    EXPECT_EQ(check({"DM", "9999", 1}).message, dmRange);
    EXPECT_EQ(check({"DM", "9000", 999}).message, QString());
    EXPECT_EQ(check({"DM", "9000", 1000}).message, dmRange);
    EXPECT_EQ(check({"RLY", "99914", 1, bitType}).message, QString());
    EXPECT_EQ(check({"RLY", "99914", 2, bitType}).message,
              QStringLiteral("Address Format:dddDD, range:0~99915"));
    // A negative extent does not move the lower bound.
    EXPECT_EQ(check({"DM", "0", -5}).message, QString());
    EXPECT_EQ(check({"DM", "-1", 5}).message, dmRange);
    // The sum does not wrap around into the range.
    EXPECT_EQ(check({"DM", "5", 2147483647}).message, dmRange);
}

TEST(AddressValidation, TvIsAWordFamilyForValidation)
{
    EXPECT_EQ(check({"TV", "0"}).message, QString());
    EXPECT_EQ(check({"TV", "255", 1}).message, QStringLiteral("Address Format:ddd, range:0~255"));
    EXPECT_EQ(check({"TV", "5", 0, bitType}).message,
              QStringLiteral("The register and address type isn't match!"));
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

    EXPECT_EQ(check({"XY", "5", 0, wordType, 1}).message, QStringLiteral("Unknown register"));
    EXPECT_EQ(translator.context, QByteArray("QObject"));
    EXPECT_FALSE(translator.disambiguated);
    EXPECT_EQ(check({"XY", "5", 0, wordType, 0}).message, QStringLiteral("zh: unknown register"));
    // Texts the translator does not know stay as they are.
    EXPECT_EQ(check({"DM", "", 0, wordType, 1}).message,
              QStringLiteral("The register address can not be null!"));
    QCoreApplication::removeTranslator(&translator);
}

} // namespace
