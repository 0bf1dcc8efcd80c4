// The limits a host relies on (docs/integration.md, "Limits"): runs past a
// family's array are honoured as asked, and every count a host passes is
// honoured exactly up to one ceiling and cut to it above.
#include "support/host.h"

#include <gtest/gtest.h>

#include <climits>

using namespace testhost;

namespace {

constexpr int ceiling = 1048576;

struct PastTheArray {
    const char *family;
    int width, elements; // bytes per element, size of the family's array
    int address, count;
};

const PastTheArray pastTheArray[] = {
    {"CTH", 2, 10, 8, 15},
    {"DM", 2, 10000, -5, 10005},
    {"RLY", 1, 16000, 15990, 20},
    {"TV_p", 2, 1000, 990, 30},
};

class CountsPastTheArray : public ::testing::TestWithParam<PastTheArray> {};

// The image gives every element asked for, 0 outside the array; a rebuild
// reads every address; a run offers every address.
TEST_P(CountsPastTheArray, AreHonouredAsAsked)
{
    const PastTheArray &c = GetParam();
    Host host(1, 3, 0);
    QString family = QString::fromLatin1(c.family);
    QByteArray ones(c.width * c.count, '\x01');
    SetRegisterData(family, c.address, 0, ones, c.count);
    QByteArray expected;
    for (qint64 at = c.address; at < qint64(c.address) + c.count; ++at)
        expected.append(QByteArray(c.width, at >= 0 && at < c.elements ? '\x01' : '\0'));
    EXPECT_EQ(image(c.family, c.address, c.count), expected);

    VarDef definition{};
    definition.registerName = family;
    definition.address = c.address;
    definition.count = c.count;
    QList<VarDef> definitions{definition};
    EXPECT_EQ(ReCreatReadVarList(&definitions), c.count);

    QList<QString> texts;
    QVector<int> values;
    AddrMutilCopy(family, c.address - 1, c.count, 1, texts, values, 1);
    EXPECT_EQ(texts.size(), c.count);
    EXPECT_EQ(values.size(), c.count);
}

INSTANTIATE_TEST_SUITE_P(Runs, CountsPastTheArray, ::testing::ValuesIn(pastTheArray),
                         [](const ::testing::TestParamInfo<PastTheArray> &info) {
                             return std::string(info.param.family) + "_" + std::to_string(info.index);
                         });

// Each row makes one call with the count and tells how many elements the
// call worked on.
struct CeilingCase {
    const char *call;
    qint64 (*elementsWorkedOn)(int count);
};

// Element k of the store lands at DM k + 1 - ceiling: DM 0 holds the last
// element of a call that stops at the ceiling, DM 1 the one after it.
qint64 storedElements(int count)
{
    QString dm = QStringLiteral("DM");
    QByteArray data(2 * (ceiling + 1), '\x01');
    SetRegisterData(dm, 1 - ceiling, 0, data, count);
    return ceiling - 1 + (word("DM", 0) != 0) + (word("DM", 1) != 0);
}

const CeilingCase ceilingCases[] = {
    {"ImageRead", [](int count) -> qint64 { return image("DM", 0, count).size() / 2; }},
    {"Rebuild",
     [](int count) -> qint64 {
         VarDef definition{};
         definition.registerName = QStringLiteral("DM");
         definition.count = count;
         QList<VarDef> definitions{definition};
         return ReCreatReadVarList(&definitions);
     }},
    {"AddressRun",
     [](int count) -> qint64 {
         QList<QString> texts;
         QVector<int> values;
         AddrMutilCopy(QStringLiteral("DM"), 0, count, 0, texts, values, 1);
         return values.size();
     }},
    // The record ends at the last address the call considered.
    {"OnceRead",
     [](int count) -> qint64 {
         VarItem item = request("DM", 0);
         item.addressText = QStringLiteral("0");
         item.count = count;
         AddListOnceReadVar(&item);
         return qint64(item.address) + 1;
     }},
    {"ImageStore",
     [](int count) {
         Host host(1, 3, 0);
         return storedElements(count);
     }},
    // With the link down every element is stored at once, also those the
    // full write list could not take.
    {"QueuedWrites",
     [](int count) {
         Host host(1, 0);
         VarItem write = writeRequest("DM", 5000, QByteArray(2, '\0'));
         AddListWriteVar(&write);
         ComCommunication();
         QByteArray silence;
         EXPECT_EQ(DataCom(silence), 41); // dropped: the link is down
         return storedElements(count);
     }},
};

class CountCeiling : public ::testing::TestWithParam<std::tuple<CeilingCase, int>> {};

TEST_P(CountCeiling, ExactUpToTheCeilingAndCutToItAbove)
{
    const auto &[row, count] = GetParam();
    EXPECT_EQ(row.elementsWorkedOn(count), ceiling);
}

INSTANTIATE_TEST_SUITE_P(Calls, CountCeiling,
                         ::testing::Combine(::testing::ValuesIn(ceilingCases),
                                            ::testing::Values(ceiling, INT_MAX)),
                         [](const ::testing::TestParamInfo<std::tuple<CeilingCase, int>> &info) {
                             return std::string(std::get<0>(info.param).call)
                                 + (std::get<1>(info.param) == ceiling ? "AtTheCeiling" : "AtIntMax");
                         });

} // namespace
