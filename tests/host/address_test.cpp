// The address services of the host's editor: texts into integer addresses
// (AddrStringToInt), what CheckAddrCorrect tells its user in Chinese or
// English and the address it writes back, and the runs AddrMutilCopy offers
// when a variable is copied to further addresses.
#include "ordelin/ordelin.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QTranslator>

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(AddressConversion, TextsGiveTheirIntegerAddress)
{
    const std::tuple<const char *, const char *, int> conversions[] = {
        {"RLY", "00105", 1 * 16 + 5}, {"RLY", "105", 21}, {"RLY", "99915", 999 * 16 + 15},
        {"RLY", "99916", 16000}, {"RLY", "00020", 20}, {"RLY", "00104", 20}, {"RLY", "00099", 99},
        {"RLY", "-5", -5}, {"RLY", "relay", -1}, {"RLY", "", -1}, {"DM", "0123", 123}, {"DM", "12x", -1},
        {"DM", "1.5", -1}, {"TM", "-5", -5}, {"CTH", "99999999999", -1}, {"TV", "300", 300},
        {"XY", "4711", 4711}, {"rly", "00105", 105}};
    for (const auto &[family, text, address] : conversions)
        EXPECT_EQ(AddrStringToInt(QString::fromLatin1(family), QString::fromLatin1(text)), address)
            << family << " " << text;
}

constexpr int bitType = 0, wordType = 1, unwritten = 424242;

struct Check {
    const char *family, *text;
    int extent = 0, addressType = wordType;
};

QString check(const Check &c, int language, int &address)
{
    address = unwritten;
    return CheckAddrCorrect(QString::fromLatin1(c.family), QString::fromUtf8(c.text), address,
                            c.extent, language, c.addressType);
}

struct CheckCase {
    Check input;
    const char *english;
    int address;
    const char *chinese = nullptr; // given once per message
};

const char *const mismatch = "The register and address type isn't match!";
const char *const timerGroup = "Address Format:ddd, range:0~999";
const char *const relayRange = "Address Format:dddDD, range:0~99915";
const char *const dmRange = "Address Format:dddd, range:0~9999";

const CheckCase checkCases[] = {
    // Every message once with its Chinese text.
    {{"DM", "100", 0, bitType}, mismatch, unwritten, "寄存器和地址类型不匹配!"},
    {{"T", "", 0, bitType}, "The register address can not be null!", unwritten, "寄存器地址不能为空!"},
    {{"DM", "1 0"}, "The register address can not contain spaces!", unwritten, "寄存器地址不能包含空格!"},
    {{"RLY", "99916", 0, bitType}, relayRange, 16000, "地址格式:dddDD, 范围:0~99915"},
    {{"C", "1000", 0, bitType}, timerGroup, 1000, "地址格式:ddd, 范围:0~999"},
    {{"CV_p", "1000"}, timerGroup, 1000, "地址格式:ddd, 范围:0~999"},
    {{"DM", "10000"}, dmRange, 10000, "地址格式:dddd, 范围:0~9999"},
    {{"TM", "100"}, "Address Format:dd, range:0~99", 100, "地址格式:dd, 范围:0~99"},
    {{"TV", "256"}, "Address Format:ddd, range:0~255", 256, "地址格式:ddd, 范围:0~255"},
    {{"CTH", "10"}, "Address Format:d, range:0~9", 10, "地址格式:d, 范围:0~9"},
    {{"XY", "77"}, "Didn't have this register!", 77, "无此寄存器!"},
    // The highest and lowest address of each family pass.
    {{"RLY", "99915", 0, bitType}, "", 999 * 16 + 15}, {{"RLY", "0", 0, bitType}, "", 0},
    {{"T", "999", 0, bitType}, "", 999}, {{"TV_c", "999"}, "", 999}, {{"TV_p", "999"}, "", 999},
    {{"CV_c", "999"}, "", 999}, {{"DM", "9999"}, "", 9999}, {{"TM", "99"}, "", 99},
    {{"TV", "255"}, "", 255}, {{"CTH", "9"}, "", 9}, {{"CTH", "0"}, "", 0},
    // The type check comes first, also for "TV" and unknown names (words).
    {{"XY", "5", 0, bitType}, mismatch, unwritten}, {{"TV", "5", 0, bitType}, mismatch, unwritten},
    {{"DM", " 5"}, "The register address can not contain spaces!", unwritten},
    {{"DM", "\t12"}, "", 12}, // other white space is the conversion's business
    {{"TM", "-5"}, "Address Format:dd, range:0~99", -5}, {{"DM", "abc"}, dmRange, -1},
    // The extent moves the upper bound only, and does not wrap.
    {{"DM", "9999", 1}, dmRange, 9999}, {{"DM", "9000", 999}, "", 9000},
    {{"DM", "9000", 1000}, dmRange, 9000}, {{"RLY", "99914", 1, bitType}, "", 15998},
    {{"RLY", "99914", 2, bitType}, relayRange, 15998}, {{"DM", "0", -5}, "", 0},
    {{"DM", "-1", 5}, dmRange, -1}, {{"DM", "5", INT_MAX}, dmRange, 5},
};

TEST(AddressValidation, MessagesInBothLanguagesAndTheAddressWrittenAtConversion)
{
    for (const CheckCase &c : checkCases) {
        SCOPED_TRACE(std::string(c.input.family) + " \"" + c.input.text + "\"");
        int address = 0;
        EXPECT_EQ(check(c.input, 1, address), QString::fromUtf8(c.english));
        EXPECT_EQ(address, c.address);
        if (c.chinese) {
            EXPECT_EQ(check(c.input, 0, address), QString::fromUtf8(c.chinese));
        }
        for (int silent : {-1, 5}) {
            EXPECT_EQ(check(c.input, silent, address), QString());
            EXPECT_EQ(address, c.address);
        }
    }
}

// Stands in for a host's translations: marks every message it is given.
class HostTranslator : public QTranslator {
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        return QByteArray(context) == "QObject" ? QStringLiteral("tr: ") + QString::fromUtf8(source) : QString();
    }
    bool isEmpty() const override { return false; }
};

TEST(AddressValidation, HostTranslatorReplacesMessages)
{
    int argc = 1;
    char name[] = "address_test", *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    HostTranslator translator;
    QCoreApplication::installTranslator(&translator);
    int address = 0;
    EXPECT_EQ(check({"XY", "5"}, 1, address), QStringLiteral("tr: Didn't have this register!"));
    EXPECT_EQ(check({"XY", "5"}, 0, address), QString::fromUtf8("tr: 无此寄存器!"));
}

struct RunCase {
    const char *family;
    int start, count, step;
    const char *texts;
    QVector<int> values;
    bool clamped;
};

const int relay99914 = 999 * 16 + 14;

const RunCase runCases[] = {
    {"DM", 100, 3, 2, "102,104,106", {102, 104, 106}, false},
    {"TM", 98, 3, 1, "99,99,99", {99, 100, 100}, true},
    {"T", 253, 4, 1, "254,255,255,255", {254, 255, 256, 256}, true},
    {"C", 254, 2, 1, "255,255", {255, 256}, true},
    {"DM", 9999, 1, 1, "9999", {10000}, true},
    {"CTH", 7, 2, 1, "8,9", {8, 9}, false},
    {"CTH", 7, 3, 1, "8,9,9", {8, 9, 10}, true},
    // Relays carry from bit 15 into the next channel.
    {"RLY", 31, 2, 1, "200,201", {32, 33}, false},
    {"RLY", 0, 3, 5, "005,010,015", {5, 10, 15}, false},
    {"RLY", relay99914, 2, 1, "99915,99915", {relay99914 + 1, 99916}, true},
    // The start itself is neither emitted nor tested.
    {"TM", 101, 2, -2, "99,97", {99, 97}, false},
    {"DM", 7, 3, 0, "7,7,7", {7, 7, 7}, false},
    // Below zero: emitted as itself, rendered unsigned.
    {"DM", 1, 2, -1, "0,4294967295", {0, -1}, false},
    {"RLY", 0, 1, -17, "42949672954294967295", {-17}, false},
    // Past the 32-bit range the address wraps and, since only the upper
    // limit is tested, is emitted again after a clamp.
    {"DM", INT_MAX - 1, 2, 1, "9999,2147483648", {10000, INT_MIN}, true},
    // Nothing to generate empties the outputs.
    {"DM", 9999, 0, 1, "", {}, false},
    {"DM", 9999, -3, 1, "", {}, false},
    {"TV", 5, 3, 1, "", {}, false},
    {"dm", 5, 3, 1, "", {}, false},
};

TEST(AddressRuns, RunsFollowTheFamilyRulesAndAskInTheUsersLanguage)
{
    const char *const question = "Copy has exceeded the maximum limit of the address, and whether to continue copying?";
    for (const RunCase &c : runCases) {
        SCOPED_TRACE(std::string(c.family) + " " + std::to_string(c.start) + " " + std::to_string(c.count));
        QList<QString> texts{QStringLiteral("stale")};
        QVector<int> values{-7};
        const QString asked = AddrMutilCopy(QString::fromLatin1(c.family), c.start, c.count, c.step, texts, values, 1);
        EXPECT_EQ(QStringList(texts).join(QLatin1Char(',')), QString::fromLatin1(c.texts));
        EXPECT_EQ(values, c.values);
        EXPECT_EQ(asked, c.clamped ? QString::fromLatin1(question) : QString());
    }
    QList<QString> texts;
    QVector<int> values;
    EXPECT_EQ(AddrMutilCopy(QStringLiteral("TM"), 99, 1, 1, texts, values, 0),
              QString::fromUtf8("复制已超出地址最大限制, 是否继续复制?"));
    EXPECT_EQ(AddrMutilCopy(QStringLiteral("TM"), 99, 2, 1, texts, values, 5), QString());
    EXPECT_EQ(values, QVector<int>({100, 100}));
}

} // namespace
