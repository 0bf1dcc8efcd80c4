// ReCreatReadVarList: the order the PLC is polled in.
#include "support/host.h"

#include <gtest/gtest.h>

using namespace testhost;

namespace {

VarDef definition(const char *family, int address, int count = 1, const char *text = "")
{
    VarDef def{};
    def.registerName = QString::fromLatin1(family);
    def.address = address;
    def.count = count;
    def.addressText = QString::fromLatin1(text);
    return def;
}

// Answers the frame with a well-formed reply of its length, so the cyclic
// list rotates on to its next entry.
void answer(const SendFrame &frame)
{
    QByteArray reply(frame.replyLength, '0');
    reply[reply.size() - 2] = '\r';
    reply[reply.size() - 1] = '\n';
    EXPECT_EQ(DataCom(reply), 1);
}

// Walks the cyclic list through the poll loop: "family:address" per entry.
std::vector<std::string> polledOrder(int entries)
{
    std::vector<std::string> order;
    for (int i = 0; i < entries; ++i) {
        SendFrame *frame = ComCommunication();
        if (!frame)
            break;
        order.push_back(frame->request.registerName.toStdString() + ":"
                        + std::to_string(frame->request.address));
        answer(*frame);
    }
    return order;
}

TEST(ReadList, GroupsByFamilyInTableOrderAndSortsByAddress)
{
    Host host;
    QList<VarDef> defs{definition("CTH", 1), definition("DM", 5), definition("RLY", 3),
                       definition("CV_c", 1), definition("TV_p", 2), definition("DM", 1),
                       definition("T", 4), definition("C", 4), definition("TM", 0), definition("CV_p", 0), definition("TV_c", 9)};
    EXPECT_EQ(ReCreatReadVarList(&defs), 11);
    EXPECT_EQ(polledOrder(11),
              (std::vector<std::string>{"RLY:3", "T:4", "C:4", "DM:1", "DM:5", "TM:0",
                                        "TV_c:9", "TV_p:2", "CV_c:1", "CV_p:0", "CTH:1"}));
}

TEST(ReadList, RunsAreSplitAndDuplicatesKeepTheFirstInTheHostsOrder)
{
    Host host;
    QList<VarDef> defs{definition("DM", 11, 1, "second"), definition("DM", 10, 3, "run"),
                       definition("T", 4, 1, "4"), definition("T", 4, 1, "004"),
                       definition("RLY", 16 + 14, 4)};
    EXPECT_EQ(ReCreatReadVarList(&defs), 8);
    std::vector<std::string> texts;
    for (int i = 0; i < 8; ++i) {
        SendFrame *frame = ComCommunication();
        ASSERT_NE(frame, nullptr);
        texts.push_back(frame->command.trimmed().toStdString() + "/"
                        + frame->request.addressText.toStdString() + "/"
                        + std::to_string(frame->request.count));
        answer(*frame);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "RD 00114//1", "RD 00115//1", "RD 00200//1", "RD 00201//1",
                         "RD T004/4/1", "RD DM0010/run/1", "RD DM0011/second/1", "RD DM0012/run/1"}));
}

TEST(ReadList, EntriesCarryTheDriversOwnFields)
{
    Host host;
    host.info.defaultStation = 7;
    host.info.perRequestStation = 1;
    host.info.protocolParam = 42;
    VarDef def = definition("DM", 1, 0);
    def.hostText1 = QStringLiteral("ignored");
    QList<VarDef> defs{def, definition("DM", 2, -5)};
    EXPECT_EQ(ReCreatReadVarList(&defs), 2);
    const SendFrame *frame = ComCommunication();
    ASSERT_NE(frame, nullptr);
    const VarItem &r = frame->request;
    EXPECT_EQ(r.requestId, 0);
    EXPECT_EQ(r.requestGroup, -1);
    EXPECT_EQ(r.operation, 0);
    EXPECT_EQ(r.station, 7);
    EXPECT_EQ(r.settingsCopy1, 1);
    EXPECT_EQ(r.settingsCopy2, 42);
    EXPECT_EQ(r.count, 0); // counts below 2 are kept as given
    EXPECT_TRUE(r.data.isEmpty());
}

TEST(ReadList, UnknownNamesAreDroppedButStillStartAFreshCycle)
{
    Host host;
    host.info.readCycleDone = 1;
    QList<VarDef> defs{definition("Dm", 1), definition("TV", 1), definition("X", 1)};
    EXPECT_EQ(ReCreatReadVarList(&defs), 0);
    EXPECT_EQ(host.info.readCycleDone, 0);
    EXPECT_EQ(ComCommunication(), nullptr);
}

TEST(ReadList, EmptyDefinitionsEmptyTheListAndLeaveTheCycleAlone)
{
    Host host;
    QList<VarDef> defs{definition("DM", 1)};
    ReCreatReadVarList(&defs);
    host.info.readCycleDone = 1;
    QList<VarDef> none;
    EXPECT_EQ(ReCreatReadVarList(&none), 0);
    EXPECT_EQ(host.info.readCycleDone, 1);
    EXPECT_EQ(ComCommunication(), nullptr);
}

TEST(ReadList, AddListReadVarAppendsAnUnchangedCopy)
{
    Host host;
    VarItem item = request("DM", 3);
    item.count = 3;
    item.data = QByteArray("abc");
    EXPECT_EQ(AddListReadVar(&item), 1);
    item.registerName = QStringLiteral("TM");
    item.data[0] = 'z';
    VarItem unknown = request("XX", 1);
    EXPECT_EQ(AddListReadVar(&unknown), 2);
    const SendFrame *frame = ComCommunication();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, bytes("RD DM0003\r\n"));
    EXPECT_EQ(frame->request.count, 3);
    EXPECT_EQ(frame->request.data, QByteArray("abc"));
}

} // namespace
