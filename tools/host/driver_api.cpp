#include "driver_api.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
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

// A driver linked against another Qt major version would bring a second
// QtCore into the process, and the QString and QByteArray values its
// exports take would not be ours. Its dynamic section names the QtCore it
// needs, so the file tells before anything is loaded.
QString otherQtMajor(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {}; // QLibrary says why
    const QByteArray bytes = file.readAll();
    const int ours = QT_VERSION >> 16;
    const auto needs = [&](int major) {
        return bytes.contains("libQt" + QByteArray::number(major) + "Core.so");
    };
    for (int major : {5, 6, 7}) {
        if (major != ours && needs(major) && !needs(ours))
            return QStringLiteral("%1 is built for Qt %2; this program uses Qt %3")
                .arg(path).arg(major).arg(ours);
    }
    return {};
}

} // namespace

tools::Result<DriverApi> loadDriver(const QString &path)
{
    const QString mismatch = otherQtMajor(path);
    if (!mismatch.isEmpty())
        return tools::Result<DriverApi>::failure(mismatch);
    DriverApi api;
    api.library = std::make_shared<QLibrary>(path);
    if (!api.library->load())
        return tools::Result<DriverApi>::failure(
            QStringLiteral("cannot load the driver library %1: %2").arg(path, api.library->errorString()));
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
        here + QStringLiteral("/libOrdelin.so"),
        here + QStringLiteral("/" ORDELIN_INSTALLED_LIBRARY_DIR "/libOrdelin.so"),
    };
    for (const QString &candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return QStringLiteral(ORDELIN_BUILD_TREE_LIBRARY);
}

} // namespace pollhost
