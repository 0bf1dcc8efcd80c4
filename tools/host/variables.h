// Variables as the HMI editor names them: a family, an address text and,
// after a colon, how many successive elements. The syntax is split here;
// whether the address is valid is the driver's to say, in its own words.
#ifndef ORDELIN_HOST_VARIABLES_H
#define ORDELIN_HOST_VARIABLES_H

#include "driver_api.h"

#include "common/result.h"

#include <QtCore/QStringList>

namespace pollhost {

struct Variable {
    QString text; // as the user wrote it
    QString family;
    QString addressText;
    int count = 1;
    int address = -1; // the integer address, from the driver's check

    bool isBit() const;
    // The name of element `index`, e.g. DM101 or RLY00106.
    QString label(int index) const;
};

struct WriteRequest {
    QString text; // as the user wrote it
    Variable target;
    QList<int> values; // one per element
    QByteArray data() const; // as SetRegisterData takes it
};

tools::Result<Variable> parseVariable(const QString &text);

// Asks CheckAddrCorrect; the result carries the integer address, or the
// driver's message for the variable.
tools::Result<Variable> checkVariable(const DriverApi &api, Variable variable, int language);

// The image's values of `variable`, one per element, through GetRegisterData.
QList<int> readImage(const DriverApi &api, const Variable &variable, int station);

// "DM100=1234" or "DM10=1,2,3": bits take 0 or 1, words 0 to 65535.
tools::Result<WriteRequest> parseWrite(const QString &text);

// Variables separated by white space; # starts a comment.
tools::Result<QStringList> readVariableFile(const QString &path);

} // namespace pollhost

#endif
