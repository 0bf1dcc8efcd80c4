// Loading and unloading the library while it still holds work: requests in
// all three lists and a frame handed out but never answered. The driver
// object is destroyed at unload and must release all of it; the ASan build
// runs this under LeakSanitizer, which reports any block left behind when
// the process ends (or run the binary under valgrind --leak-check=full).
// A host's copies of frame commands must outlive the library. This binary
// does not link libOrdelin.so, so dlclose really unloads it.
#include "ordelin/ordelin.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

// The exports a host resolves by name.
struct Driver {
    void *library = nullptr;
    void (*setComInfo)(ComInfo *) = nullptr;
    int (*addRead)(VarItem *) = nullptr;
    int (*addWrite)(VarItem *) = nullptr;
    int (*addOnceRead)(VarItem *) = nullptr;
    int (*rebuild)(QList<VarDef> *) = nullptr;
    int (*setRegister)(QString &, int, int, QByteArray &, int) = nullptr;
    SendFrame *(*next)() = nullptr;

    template <typename Function>
    void resolve(Function &function, const char *name)
    {
        function = reinterpret_cast<Function>(dlsym(library, name));
    }

    bool load()
    {
        library = dlopen(ORDELIN_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return false;
        resolve(setComInfo, "SetComInfo");
        resolve(addRead, "AddListReadVar");
        resolve(addWrite, "AddListWriteVar");
        resolve(addOnceRead, "AddListOnceReadVar");
        resolve(rebuild, "ReCreatReadVarList");
        resolve(setRegister, "SetRegisterData");
        resolve(next, "ComCommunication");
        return setComInfo && addRead && addWrite && addOnceRead && rebuild && setRegister && next;
    }
};

VarItem item(const char *family, int address, int count)
{
    VarItem record{};
    record.registerName = QString::fromLatin1(family);
    record.addressText = QString::number(address);
    record.address = address;
    record.count = count;
    record.data = QByteArray("\x01\x02", 2);
    return record;
}

bool stillLoaded()
{
    void *again = dlopen(ORDELIN_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (again)
        dlclose(again);
    return again != nullptr;
}

TEST(Unload, QueuedRequestsAndAFrameInFlightAreReleasedAtEveryUnload)
{
    for (int cycle = 0; cycle < 3; ++cycle) {
        SCOPED_TRACE(cycle);
        Driver driver;
        ASSERT_TRUE(driver.load()) << dlerror();
        ComInfo info{};
        info.protocolMode = cycle == 0 ? 0 : 1; // a start-up frame first, then a read frame
        info.writeMode = 2;
        driver.setComInfo(&info);

        // Each load starts from a fresh driver: the lists are empty again.
        QList<VarDef> definitions;
        for (int i = 0; i < 50; ++i) {
            VarDef definition{};
            definition.registerName = QStringLiteral("DM");
            definition.address = i * 3;
            definition.count = 2;
            definition.addressText = QString::number(i * 3);
            definitions.append(definition);
        }
        EXPECT_EQ(driver.rebuild(&definitions), 100);
        VarItem cyclic = item("RLY", 40, 3);
        driver.addRead(&cyclic);
        VarItem onceRead = item("TM", 5, 4);
        EXPECT_EQ(driver.addOnceRead(&onceRead), 4);

        // A frame handed out and never answered; the host keeps a copy of
        // its command. Writes are queued behind it.
        SendFrame *frame = driver.next();
        ASSERT_NE(frame, nullptr);
        const QByteArray kept = frame->command;
        VarItem write = item("DM", 7, 1);
        EXPECT_EQ(driver.addWrite(&write), 1);
        QString family = QStringLiteral("TV_p");
        QByteArray values(20, '\x05');
        EXPECT_EQ(driver.setRegister(family, 3, 0, values, 10), 11);

        EXPECT_EQ(dlclose(driver.library), 0);
        EXPECT_FALSE(stillLoaded()) << "the library stayed mapped after dlclose";
        // The copy still holds its bytes, followed by a NUL.
        EXPECT_EQ(kept, QByteArray(cycle == 0 ? "CR\r\n" : "RD TM05\r\n"));
        EXPECT_EQ(kept.constData()[kept.size()], '\0');
    }
}

} // namespace
