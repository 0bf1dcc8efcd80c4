// A host polling a small in-test PLC: cyclic values land in the image,
// writes reach the PLC's memory, once-reads report back.
#include "support/host.h"
#include "support/responder.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

VarDef definition(const char *family, int address, int count = 1)
{
    VarDef def{};
    def.registerName = QString::fromLatin1(family);
    def.address = address;
    def.count = count;
    return def;
}

void poll(Responder &plc, int exchanges)
{
    for (int i = 0; i < exchanges; ++i)
        exchange(plc);
}

TEST(EndToEnd, PolledListLandsInTheImage)
{
    Host host(0);
    Responder plc;
    plc.at("DM", 100) = 500;
    plc.at("DM", 101) = 65535;
    plc.at("RLY", 165) = 1;
    plc.at("TP", 12) = 100;
    plc.at("CV", 3) = 7;
    plc.at("T", 5) = 1;
    plc.at("CTH", 2) = 321;
    plc.at("TM", 9) = 99;
    QList<VarDef> defs{definition("DM", 100, 2), definition("RLY", 164, 3), definition("TV_p", 12),
                       definition("CV_c", 3), definition("T", 5), definition("CTH", 2),
                       definition("TM", 9)};
    EXPECT_EQ(ReCreatReadVarList(&defs), 10);
    poll(plc, 1 + 10); // start-up, then one full cycle
    EXPECT_EQ(host.info.readCycleDone, 0);
    poll(plc, 1);
    EXPECT_EQ(host.info.readCycleDone, 1);
    EXPECT_EQ(image("DM", 100, 2), QByteArray("\xF4\x01\xFF\xFF", 4));
    EXPECT_EQ(image("RLY", 164, 3), QByteArray("\x00\x01\x00", 3));
    EXPECT_EQ(word("TV_p", 12), 100);
    EXPECT_EQ(word("CV_c", 3), 7);
    EXPECT_EQ(image("T", 5, 1), QByteArray(1, '\1'));
    EXPECT_EQ(word("CTH", 2), 321);
    EXPECT_EQ(word("TM", 9), 99);
}

TEST(EndToEnd, WritesReachThePlcAndReadBack)
{
    Host host(0);
    Responder plc;
    QList<VarDef> defs{definition("DM", 100), definition("RLY", 165), definition("TV_p", 3),
                       definition("C", 17)};
    ReCreatReadVarList(&defs);
    completions().clear();
    QString dm = QStringLiteral("DM"), relay = QStringLiteral("RLY");
    QString preset = QStringLiteral("TV_p"), counter = QStringLiteral("C");
    QByteArray value("\xD2\x04", 2), on("\x01", 1), presetValue("\x10\x27", 2);
    EXPECT_EQ(SetRegisterData(dm, 100, 0, value, 1), 1);
    EXPECT_EQ(SetRegisterData(relay, 165, 0, on, 1), 2);
    EXPECT_EQ(SetRegisterData(preset, 3, 0, presetValue, 1), 3);
    EXPECT_EQ(SetRegisterData(counter, 17, 0, on, 1), 4);
    poll(plc, 1 + 4 + 4);
    EXPECT_EQ(plc.at("DM", 100), 1234);
    EXPECT_EQ(plc.at("RLY", 165), 1);
    EXPECT_EQ(plc.at("TP", 3), 10000);
    EXPECT_EQ(plc.at("C", 17), 1);
    EXPECT_EQ(word("DM", 100), 1234);
    EXPECT_EQ(image("RLY", 165, 1), QByteArray(1, '\1'));
    EXPECT_EQ(word("TV_p", 3), 10000);
    // The four writes share requestId 0 and group -1: one report, for the last.
    EXPECT_EQ(completions(), (std::vector<Completion>{{0, 0, -1, 1}}));
}

} // namespace
