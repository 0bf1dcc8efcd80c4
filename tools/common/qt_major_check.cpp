#include "common/qt_major_check.h"

#include <QtCore/QtGlobal>

#include <dlfcn.h>

namespace tools {

namespace {

struct QtCoreLibrary {
    int major;
    const char *soname;
};

constexpr QtCoreLibrary qtCoreLibraries[] = {
    {5, "libQt5Core.so.5"},
    {6, "libQt6Core.so.6"},
};

bool isMapped(const char *soname)
{
    // RTLD_NOLOAD only looks: it finds a library already in the process and
    // never loads one.
    void *handle = dlopen(soname, RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

} // namespace

int otherQtMajorLoaded()
{
    for (const QtCoreLibrary &library : qtCoreLibraries) {
        if (library.major != QT_VERSION_MAJOR && isMapped(library.soname))
            return library.major;
    }
    return 0;
}

} // namespace tools
