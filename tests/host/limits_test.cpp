// The limits a host relies on (docs/integration.md, "Limits"): runs past a
// family's array are honoured as asked, and every count is honoured exactly
// up to one ceiling and cut to it above.
#include "support/host.h"

#include <gtest/gtest.h>

#include <climits>

using namespace testhost;

namespace {

constexpr int ceiling = 1048576;

int rebuilt(const char *family, int address, int count)
{
    QList<VarDef> definitions{definition(family, address, count)};
    return ReCreatReadVarList(&definitions);
}

int runLength(const char *family, int start, int count)
{
    QList<QString> texts;
    QVector<int> values;
    AddrMutilCopy(QString::fromLatin1(family), start, count, 1, texts, values, 1);
    return qMin(texts.size(), values.size());
}

struct PastTheArray {
    const char *family;
    int width; // bytes per element
    int address, count;
};
void PrintTo(const PastTheArray &, std::ostream *) {} // the test names say it all

class CountsPastTheArray : public ::testing::TestWithParam<PastTheArray> {};

// The image gives every element asked for (those outside the array read 0:
// see the image tests); a rebuild reads every address; a run offers every
// address.
TEST_P(CountsPastTheArray, AreHonouredAsAsked)
{
    const PastTheArray &c = GetParam();
    EXPECT_EQ(image(c.family, c.address, c.count).size(), c.width * c.count);
    EXPECT_EQ(rebuilt(c.family, c.address, c.count), c.count);
    EXPECT_EQ(runLength(c.family, c.address - 1, c.count), c.count);
}

INSTANTIATE_TEST_SUITE_P(Runs, CountsPastTheArray,
                         ::testing::Values(PastTheArray{"CTH", 2, 8, 15}, PastTheArray{"DM", 2, -5, 10005},
                                           PastTheArray{"RLY", 1, 15990, 20},
                                           PastTheArray{"TV_p", 2, 990, 30}),
                         [](const auto &info) { return std::string(info.param.family); });

// Element k of the store lands at DM k + 1 - ceiling: DM 0 holds the last
// element of a call that stops at the ceiling, DM 1 the one after it.
qint64 storedElements(int count)
{
    QString dm = QStringLiteral("DM");
    QByteArray data(2 * (ceiling + 1), '\x01');
    SetRegisterData(dm, 1 - ceiling, 0, data, count);
    return ceiling - 1 + (word("DM", 0) != 0) + (word("DM", 1) != 0);
}

// Each row makes one call with the count and tells how many elements the
// call worked on.
struct CeilingCase {
    const char *call;
    qint64 (*elementsWorkedOn)(int count);
};
void PrintTo(const CeilingCase &, std::ostream *) {} // the test names say it all

const CeilingCase ceilingCases[] = {
    {"ImageRead", [](int count) -> qint64 { return image("DM", 0, count).size() / 2; }},
    {"Rebuild", [](int count) -> qint64 { return rebuilt("DM", 0, count); }},
    {"AddressRun", [](int count) -> qint64 { return runLength("DM", -1, count); }},
    // The record ends at the last address the call considered.
    {"OnceRead",
     [](int count) -> qint64 {
         VarItem item = request("DM", 0);
         item.addressText = QStringLiteral("0");
         item.count = count;
         AddListOnceReadVar(&item);
         return qint64(item.address) + 1;
     }},
    {"ImageStore", [](int count) { Host host(1, 3, 0); return storedElements(count); }},
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
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).call)
                                 + (std::get<1>(info.param) == ceiling ? "AtTheCeiling" : "AtIntMax");
                         });

} // namespace
