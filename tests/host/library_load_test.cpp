// A runtime finds the driver's functions by name in the built library.
#include "ordelin/ordelin.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

const char *const exportNames[] = {
    "SetComInfo", "FlashLocalRegister", "RegistCallBackFuncIntf", "ComCommunication", "DataCom",
    "AddListReadVar", "ReCreatReadVarList", "AddListOnceReadVar", "AddListWriteVar",
    "SetRegisterData", "GetRegisterData", "AddrStringToInt", "CheckAddrCorrect", "AddrMutilCopy",
    "_ZN7OrdelinC1Ev"};

TEST(LibraryLoad, EveryExportResolvesByName)
{
    void *library = dlopen(ORDELIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const char *name : exportNames)
        EXPECT_NE(dlsym(library, name), nullptr) << name;
    EXPECT_EQ(dlsym(library, "_ZN7ordelin6driverEv"), nullptr) << "internals must stay hidden";
    dlclose(library);
}

TEST(LibraryLoad, ResolvedFunctionsDriveTheLibrary)
{
    void *library = dlopen(ORDELIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using SetComInfoFn = void (*)(ComInfo *);
    using AddFn = int (*)(VarItem *);
    using NextFn = SendFrame *(*)();
    using ReplyFn = int (*)(QByteArray &);
    using ReadFn = int (*)(QString, int, int, QByteArray &, int);
    auto setComInfo = reinterpret_cast<SetComInfoFn>(dlsym(library, "SetComInfo"));
    auto addRead = reinterpret_cast<AddFn>(dlsym(library, "AddListReadVar"));
    auto next = reinterpret_cast<NextFn>(dlsym(library, "ComCommunication"));
    auto reply = reinterpret_cast<ReplyFn>(dlsym(library, "DataCom"));
    auto read = reinterpret_cast<ReadFn>(dlsym(library, "GetRegisterData"));
    ASSERT_TRUE(setComInfo && addRead && next && reply && read);

    ComInfo info{};
    info.protocolMode = 1;
    setComInfo(&info);
    VarItem item{};
    item.registerName = QStringLiteral("DM");
    item.address = 100;
    item.count = 1;
    EXPECT_EQ(addRead(&item), 1);
    SendFrame *frame = next();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->command, QByteArray("RD DM0100\r\n"));
    QByteArray answer("00500\r\n");
    EXPECT_EQ(reply(answer), 1);
    QByteArray value;
    EXPECT_EQ(read(QStringLiteral("DM"), 100, 0, value, 1), 1);
    EXPECT_EQ(value, QByteArray("\xF4\x01", 2));
    dlclose(library);
}

} // namespace
