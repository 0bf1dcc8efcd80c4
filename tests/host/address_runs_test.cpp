// AddrMutilCopy: the successive addresses the host's editor offers when a
// variable is copied to further addresses, clamped at each family's limit.
#include "ordelin/ordelin.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const char *const questionZh = "复制已超出地址最大限制, 是否继续复制?";
const char *const questionEn =
    "Copy has exceeded the maximum limit of the address, and whether to continue copying?";

struct CopyResult {
    QString question;
    QList<QString> texts;
    QVector<int> values;

    QString joinedTexts() const { return QStringList(texts).join(QLatin1Char(',')); }
};

CopyResult copy(const char *family, int start, int count, int step, int language = 1)
{
    // Stale entries from an earlier call must not survive.
    CopyResult run{{}, {QStringLiteral("stale")}, {-7}};
    run.question = AddrMutilCopy(QString::fromLatin1(family), start, count, step, run.texts,
                                 run.values, language);
    return run;
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
    {"T", 250, 10, 1, "251,252,253,254,255,255,255,255,255,255",
     {251, 252, 253, 254, 255, 256, 256, 256, 256, 256}, true},
    // The whole timer and counter group stops at 255.
    {"C", 254, 2, 1, "255,255", {255, 256}, true},
    {"TV_c", 254, 2, 1, "255,255", {255, 256}, true},
    {"TV_p", 254, 2, 1, "255,255", {255, 256}, true},
    {"CV_c", 254, 2, 1, "255,255", {255, 256}, true},
    {"CV_p", 254, 2, 1, "255,255", {255, 256}, true},
    {"DM", 9999, 1, 1, "9999", {10000}, true},
    {"CTH", 0, 9, 1, "1,2,3,4,5,6,7,8,9", {1, 2, 3, 4, 5, 6, 7, 8, 9}, false},
    {"CTH", 0, 10, 1, "1,2,3,4,5,6,7,8,9,9", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, true},
    // Relays carry from bit 15 into the next channel.
    {"RLY", 31, 2, 1, "200,201", {32, 33}, false},
    {"RLY", 0, 3, 5, "005,010,015", {5, 10, 15}, false},
    {"RLY", relay99914, 2, 1, "99915,99915", {relay99914 + 1, 99916}, true},
    // The start itself is neither emitted nor tested.
    {"TM", 101, 2, -2, "99,97", {99, 97}, false},
    {"DM", 7, 3, 0, "7,7,7", {7, 7, 7}, false},
    // Below zero: emitted as itself, rendered unsigned.
    {"DM", 1, 2, -1, "0,4294967295", {0, -1}, false},
    {"RLY", 0, 1, -1, "04294967295", {-1}, false},
    {"RLY", 0, 1, -17, "42949672954294967295", {-17}, false},
    // Past the 32-bit range the address wraps into the negative numbers and,
    // since only the upper limit is tested, is emitted again after a clamp.
    {"DM", INT_MAX - 1, 2, 1, "9999,2147483648", {10000, INT_MIN}, true},
};

TEST(AddressRuns, RunsFollowTheFamilyRules)
{
    for (const RunCase &c : runCases) {
        SCOPED_TRACE(std::string(c.family) + " start " + std::to_string(c.start) + " count "
                     + std::to_string(c.count) + " step " + std::to_string(c.step));
        const CopyResult run = copy(c.family, c.start, c.count, c.step);
        EXPECT_EQ(run.joinedTexts(), QString::fromLatin1(c.texts));
        EXPECT_EQ(run.values, c.values);
        EXPECT_EQ(run.question, c.clamped ? QString::fromUtf8(questionEn) : QString());
    }
}

TEST(AddressRuns, QuestionInTheRequestedLanguage)
{
    EXPECT_EQ(copy("TM", 99, 1, 1, 0).question.toUtf8(), QByteArray(questionZh));
    EXPECT_EQ(copy("TM", 99, 1, 1, 1).question.toUtf8(), QByteArray(questionEn));
    const CopyResult silent = copy("TM", 99, 2, 1, 5);
    EXPECT_EQ(silent.question, QString());
    EXPECT_EQ(silent.joinedTexts(), QStringLiteral("99,99"));
    EXPECT_EQ(silent.values, QVector<int>({100, 100}));
}

TEST(AddressRuns, NothingToGenerateEmptiesTheOutputs)
{
    const CopyResult nothing[] = {copy("DM", 9999, 0, 1), copy("DM", 9999, -3, 1), copy("TV", 5, 3, 1),
                           copy("XY", 5, 3, 1), copy("dm", 5, 3, 1)};
    for (const CopyResult &run : nothing) {
        EXPECT_EQ(run.question, QString());
        EXPECT_TRUE(run.texts.isEmpty());
        EXPECT_TRUE(run.values.isEmpty());
    }
}

} // namespace
