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

} // namespace
