// Variables as the HMI editor names them: a family, an address text and,
// after a colon, how many successive elements. The driver checks each
// address in its own words; the host then refuses what the driver accepts
// but would poll under another name (a relay bit above 15) or not at all (a
// family it validates but never reads), and runs past a family's end.
#ifndef ORDELIN_HOST_VARIABLES_H
#define ORDELIN_HOST_VARIABLES_H

#include "driver_api.h"

#include "common/result.h"

#include <QtCore/QStringList>

namespace pollhost {

// A variable as the user gave it, and where: "vars.txt line 3", or empty
// for the command line.
struct VariableText {
    QString text;
    QString origin;
};

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

// Asks CheckAddrCorrect and the tools' family table; the result carries the
// integer address, or the message that says what is wrong.
tools::Result<Variable> checkVariable(const DriverApi &api, Variable variable, int language);

// "DM100=1234" or "DM10=1,2,3": bits take 0 or 1, words 0 to 65535.
tools::Result<WriteRequest> parseWrite(const QString &text);

// Variables separated by white space; # starts a comment.
tools::Result<QList<VariableText>> readVariableFile(const QString &path);

} // namespace pollhost

#endif
