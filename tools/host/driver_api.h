// The driver as a runtime sees it: a shared library opened at run time and
// its exports looked up by name. Nothing of the driver is linked in; the
// header serves only for the record types and the function signatures.
#ifndef ORDELIN_HOST_DRIVER_API_H
#define ORDELIN_HOST_DRIVER_API_H

#include "common/result.h"

#include "ordelin/ordelin.h"

#include <memory>

class QLibrary;

namespace pollhost {

struct DriverApi {
    decltype(&::SetComInfo) setComInfo = nullptr;
    decltype(&::FlashLocalRegister) flashLocalRegister = nullptr;
    decltype(&::RegistCallBackFuncIntf) registCallBackFuncIntf = nullptr;
    decltype(&::ComCommunication) comCommunication = nullptr;
    decltype(&::DataCom) dataCom = nullptr;
    decltype(&::AddListReadVar) addListReadVar = nullptr;
    decltype(&::ReCreatReadVarList) reCreatReadVarList = nullptr;
    decltype(&::AddListOnceReadVar) addListOnceReadVar = nullptr;
    decltype(&::AddListWriteVar) addListWriteVar = nullptr;
    decltype(&::SetRegisterData) setRegisterData = nullptr;
    decltype(&::GetRegisterData) getRegisterData = nullptr;
    decltype(&::AddrStringToInt) addrStringToInt = nullptr;
    decltype(&::CheckAddrCorrect) checkAddrCorrect = nullptr;
    decltype(&::AddrMutilCopy) addrMutilCopy = nullptr;

    std::shared_ptr<QLibrary> library; // keeps the exports valid
};

// Loads the library and resolves all fourteen exports; a missing export is
// an error that names it, as a runtime would refuse such a driver. So is a
// library built for another Qt major version, before it is loaded.
tools::Result<DriverApi> loadDriver(const QString &path);

// Where the library is looked for without --library: next to the program,
// in the library folder of an installation, then in the build tree.
QString defaultLibraryPath();

} // namespace pollhost

#endif
