// The driver object's own state, which no export reports directly.
#include "core/driver.h"
#include "support/host.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testhost;

namespace {

Ordelin &d = ordelin::driver();

std::vector<int> readListAddresses()
{
    std::vector<int> addresses;
    for (int i = 0; i < d.readList.size(); ++i)
        addresses.push_back(d.readList.at(i).address);
    return addresses;
}

TEST(DriverState, ConstructionStartsEmptyAndZeroed)
{
    EXPECT_EQ(d.requestKind, 100);
    EXPECT_EQ(d.writeBurst, 0);
    EXPECT_EQ(d.onceReadBurst, 0);
    EXPECT_EQ(d.readCycleCount, 0);
    EXPECT_FALSE(d.linkDown.load());
    EXPECT_EQ(d.comInfo.load(), nullptr);
    EXPECT_EQ(d.completionCallback.load(), nullptr);
    EXPECT_TRUE(d.readList.isEmpty() && d.writeList.isEmpty() && d.onceReadList.isEmpty());
    EXPECT_TRUE(d.sendQueue.isEmpty());
    EXPECT_TRUE(d.lastRequest.registerName.isEmpty() && d.lastRequest.data.isEmpty());
    const auto *bytes = reinterpret_cast<const unsigned char *>(&d.image);
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof d.image, [](unsigned char b) { return b == 0; }));
}

TEST(DriverState, RegistrationStoresWithoutUsing)
{
    FlashLocalRegister(1, -2, 3);
    EXPECT_EQ(d.hostRegisters[0], 1);
    EXPECT_EQ(d.hostRegisters[1], -2);
    EXPECT_EQ(d.hostRegisters[2], 3);
    RegistCallBackFuncIntf(&recordCompletion, 99);
    EXPECT_EQ(d.callbackContext, 99);
}

TEST(DriverState, NegativeAddressesSortFirst)
{
    Host host;
    QList<VarDef> defs;
    for (int address : {5, -2, 0, -7, 3}) {
        VarDef def{};
        def.registerName = QStringLiteral("DM");
        def.address = address;
        def.count = 1;
        defs.append(def);
    }
    ReCreatReadVarList(&defs);
    EXPECT_EQ(readListAddresses(), (std::vector<int>{-7, -2, 0, 3, 5}));
}

TEST(DriverState, KindBurstsAndLastRequestFollowThePollCycle)
{
    Host host;
    VarItem write = writeRequest("DM", 1, QByteArray(2, '\0'), 6, 7);
    AddListWriteVar(&write);
    ComCommunication();
    EXPECT_EQ(d.requestKind, 1);
    EXPECT_EQ(d.writeBurst, 1);
    QByteArray ok("OK\r\n");
    DataCom(ok);
    EXPECT_EQ(d.lastRequest.requestId, 6);
    EXPECT_EQ(d.lastRequest.requestGroup, 7);
    EXPECT_EQ(ComCommunication(), nullptr);
    EXPECT_EQ(d.writeBurst, 0);
}

TEST(DriverState, StartupOutcomeIsRecordedInLastRequest)
{
    Host host(0);
    ComCommunication();
    QByteArray refused("XX\r\n");
    DataCom(refused);
    EXPECT_EQ(d.lastRequest.resultCode, 201);
    ComCommunication();
    QByteArray cc("CC\r\n");
    DataCom(cc);
    EXPECT_EQ(d.lastRequest.resultCode, 1);
}

// The completion callback runs with the list mutex held and must not call
// the list exports; one that does anyway must not deadlock the poll loop.
void callBackIntoTheLists(int, int requestId, int, int)
{
    if (requestId != 1)
        return;
    VarItem read = request("DM", 50);
    AddListReadVar(&read);
    VarItem write = writeRequest("DM", 51, QByteArray(2, '\0'), 2);
    AddListWriteVar(&write);
    VarItem once = request("DM", 0, 0, 3);
    once.addressText = QStringLiteral("52");
    AddListOnceReadVar(&once);
    QByteArray value;
    GetRegisterData(QStringLiteral("DM"), 0, 0, value, 1);
}

TEST(DriverState, CallbackThatCallsTheListsDoesNotDeadlock)
{
    Host host;
    RegistCallBackFuncIntf(&callBackIntoTheLists, 0);
    VarItem write = writeRequest("DM", 1, QByteArray(2, '\0'), 1);
    AddListWriteVar(&write);
    ComCommunication();
    QByteArray ok("OK\r\n");
    EXPECT_EQ(DataCom(ok), 1);
    EXPECT_EQ(d.readList.size(), 1);
    EXPECT_EQ(d.writeList.size(), 1);
    EXPECT_EQ(d.writeList.head().address, 51);
    EXPECT_EQ(d.onceReadList.size(), 1);
    EXPECT_TRUE(d.listMutex.tryLock());
    d.listMutex.unlock();
}

} // namespace
