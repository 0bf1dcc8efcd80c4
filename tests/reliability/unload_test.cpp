// Loading and unloading the library while it still holds work: requests in
// all three lists and a frame handed out but never answered. The driver
// object is destroyed at unload and must release all of it; the ASan build
// runs this under LeakSanitizer, which reports any block left behind. A
// host's copy of a frame's command must outlive the library. This binary
// does not link libOrdelin.so, so dlclose really unloads it.
#include "support/host.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace testhost;

namespace {

template <typename Function>
Function resolve(void *library, const char *name)
{
    void *symbol = dlsym(library, name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<Function>(symbol);
}

TEST(Unload, QueuedRequestsAndAFrameInFlightAreReleasedAtEveryUnload)
{
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        void *library = dlopen(ORDELIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        ComInfo info{};
        info.protocolMode = cycle == 0 ? 0 : 1; // a start-up frame first, then a read frame
        info.writeMode = 2;
        resolve<void (*)(ComInfo *)>(library, "SetComInfo")(&info);
        QList<VarDef> definitions;
        for (int i = 0; i < 50; ++i)
            definitions.append(VarDef{{}, {}, {}, QString::number(i * 3), QStringLiteral("DM"), 2, 0, i * 3});
        // Each load starts from a fresh driver: the lists are empty again.
        EXPECT_EQ(resolve<int (*)(QList<VarDef> *)>(library, "ReCreatReadVarList")(&definitions), 100);
        VarItem cyclic = request("RLY", 40), onceRead = request("TM", 5), write = writeRequest("DM", 7, "\x01\x02");
        cyclic.count = 3;
        onceRead.count = 4;
        resolve<int (*)(VarItem *)>(library, "AddListReadVar")(&cyclic);
        EXPECT_EQ(resolve<int (*)(VarItem *)>(library, "AddListOnceReadVar")(&onceRead), 4);
        // A frame handed out and never answered; the host keeps a copy of
        // its command. Writes are queued behind it.
        SendFrame *frame = resolve<SendFrame *(*)()>(library, "ComCommunication")();
        ASSERT_NE(frame, nullptr);
        const QByteArray kept = frame->command;
        EXPECT_EQ(resolve<int (*)(VarItem *)>(library, "AddListWriteVar")(&write), 1);
        QString family = QStringLiteral("TV_p");
        QByteArray values(20, '\x05');
        auto setRegister = resolve<int (*)(QString &, int, int, QByteArray &, int)>(library, "SetRegisterData");
        EXPECT_EQ(setRegister(family, 3, 0, values, 10), 11);

        EXPECT_EQ(dlclose(library), 0);
        void *again = dlopen(ORDELIN_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
        EXPECT_EQ(again, nullptr) << "the library stayed mapped after dlclose";
        EXPECT_EQ(kept, QByteArray(cycle == 0 ? "CR\r\n" : "RD TM05\r\n"));
        EXPECT_EQ(kept.constData()[kept.size()], '\0'); // still followed by its NUL
    }
}

} // namespace
