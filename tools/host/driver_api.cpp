#include "driver_api.h"

#include "common/qt_major_check.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QFileInfo>
#include <QtCore/QLibrary>

namespace pollhost {

namespace {

template <class Function>
void resolve(QLibrary &library, const char *name, Function &target, QStringList &missing)
{
    target = reinterpret_cast<Function>(library.resolve(name));
    if (!target)
        missing << QLatin1String(name);
}

} // namespace

tools::Result<DriverApi> loadDriver(const QString &path, bool *otherQtMajor)
{
    DriverApi api;
    // QLibrary would try other names for a file that is not there and name
    // those in its message.
    if (path.contains(QLatin1Char('/')) && !QFileInfo::exists(path))
        return tools::Result<DriverApi>::failure(
            QStringLiteral("cannot load the driver library %1: no such file").arg(path));
    api.library = std::make_shared<QLibrary>(path);
    if (!api.library->load())
        return tools::Result<DriverApi>::failure(
            QStringLiteral("cannot load the driver library %1: %2").arg(path, api.library->errorString()));
    if (const int major = tools::otherQtMajorLoaded()) {
        api.library->unload();
        if (otherQtMajor)
            *otherQtMajor = true;
        return tools::Result<DriverApi>::failure(
            QStringLiteral("%1 was built against Qt %2, this program runs on Qt %3: "
                           "give it the driver built against Qt %3 (" ORDELIN_LIBRARY_FILE ")")
                .arg(path).arg(major).arg(QT_VERSION_MAJOR));
    }
    QLibrary &l = *api.library;
    QStringList missing;
    resolve(l, "SetComInfo", api.setComInfo, missing);
    resolve(l, "FlashLocalRegister", api.flashLocalRegister, missing);
    resolve(l, "RegistCallBackFuncIntf", api.registCallBackFuncIntf, missing);
    resolve(l, "ComCommunication", api.comCommunication, missing);
    resolve(l, "DataCom", api.dataCom, missing);
    resolve(l, "AddListReadVar", api.addListReadVar, missing);
    resolve(l, "ReCreatReadVarList", api.reCreatReadVarList, missing);
    resolve(l, "AddListOnceReadVar", api.addListOnceReadVar, missing);
    resolve(l, "AddListWriteVar", api.addListWriteVar, missing);
    resolve(l, "SetRegisterData", api.setRegisterData, missing);
    resolve(l, "GetRegisterData", api.getRegisterData, missing);
    resolve(l, "AddrStringToInt", api.addrStringToInt, missing);
    resolve(l, "CheckAddrCorrect", api.checkAddrCorrect, missing);
    resolve(l, "AddrMutilCopy", api.addrMutilCopy, missing);
    if (!missing.isEmpty())
        return tools::Result<DriverApi>::failure(
            QStringLiteral("%1 lacks the export(s) %2").arg(path, missing.join(QStringLiteral(", "))));
    return api;
}

QString defaultLibraryPath()
{
    const QString here = QCoreApplication::applicationDirPath();
    const QStringList candidates{
        here + QStringLiteral("/" ORDELIN_LIBRARY_FILE),
        here + QStringLiteral("/" ORDELIN_INSTALLED_LIBRARY_DIR "/" ORDELIN_LIBRARY_FILE),
    };
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QStringLiteral(ORDELIN_BUILD_TREE_LIBRARY);
}

} // namespace pollhost
