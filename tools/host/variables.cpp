#include "variables.h"

#include "common/families.h"

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>

namespace pollhost {

using tools::Result;

bool Variable::isBit() const
{
    const tools::Family *known = tools::findFamily(family);
    return known && known->bit;
}

QString Variable::label(int index) const
{
    const tools::Family *known = tools::findFamily(family);
    return known ? tools::elementName(*known, address + index) : family + QString::number(address + index);
}

Result<Variable> parseVariable(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([A-Za-z_]+)([^:]*)(?::(\\d+))?$"));
    const QRegularExpressionMatch match = form.match(text);
    const int count = match.captured(3).isEmpty() ? 1 : match.captured(3).toInt();
    if (!match.hasMatch() || count < 1)
        return Result<Variable>::failure(
            QStringLiteral("'%1' is not a variable: expected FAMILY ADDRESS[:COUNT], e.g. DM100:10")
                .arg(text));
    Variable variable;
    variable.text = text;
    variable.family = match.captured(1);
    variable.addressText = match.captured(2);
    variable.count = count;
    return variable;
}

namespace {

Result<Variable> refused(const Variable &variable, const QString &why)
{
    return Result<Variable>::failure(variable.text + QStringLiteral(": ") + why);
}

QString driverCheck(const DriverApi &api, const Variable &variable, const QString &addressText,
                    int extent, int language, int *address)
{
    int converted = -1;
    const QString message = api.checkAddrCorrect(variable.family, addressText, converted, extent,
                                                  language, variable.isBit() ? 0 : 1);
    if (address)
        *address = converted;
    return message;
}

// A family the tools do not poll: a mistyped name, or one that the driver
// validates but never reads or writes (TV).
Result<Variable> unpolled(const DriverApi &api, const Variable &variable, const QString &message)
{
    if (const tools::Family *other = tools::familyIgnoringCase(variable.family))
        return refused(variable, QStringLiteral("family names are case-sensitive: %1, not %2")
                                     .arg(QLatin1String(other->name), variable.family));
    if (!driverCheck(api, variable, QStringLiteral("0"), 0, 1, nullptr).isEmpty())
        return refused(variable, message);
    QStringList names = tools::familyNames(variable.family);
    if (names.isEmpty())
        names = tools::familyNames();
    return refused(variable, QStringLiteral("the driver accepts %1 addresses but never reads or "
                                            "writes them; the families it polls here are %2")
                                 .arg(variable.family, names.join(QStringLiteral(", "))));
}

} // namespace

Result<Variable> checkVariable(const DriverApi &api, Variable variable, int language)
{
    int address = -1;
    const QString message = driverCheck(api, variable, variable.addressText, 0, language, &address);
    const tools::Family *family = tools::findFamily(variable.family);
    if (!family)
        return unpolled(api, variable, message);
    if (!message.isEmpty())
        return refused(variable, message);
    if (tools::integerAddress(*family, variable.addressText) != address)
        return refused(variable, QStringLiteral("relay addresses are channel ddd and bit DD from 00 "
                                                "to 15; the driver would poll %1 instead")
                                     .arg(tools::elementName(*family, address)));
    if (!driverCheck(api, variable, variable.addressText, variable.count - 1, language, nullptr).isEmpty()
        || address + qint64(variable.count) > family->elements)
        return refused(variable, QStringLiteral("the run is too long: %1 ends at %2, and %3 elements "
                                                "from %4 pass its end")
                                     .arg(variable.family, tools::elementName(*family, family->elements - 1))
                                     .arg(variable.count)
                                     .arg(tools::elementName(*family, address)));
    variable.address = address;
    return variable;
}

QByteArray WriteRequest::data() const
{
    QByteArray bytes;
    for (int value : values) {
        bytes.append(char(value & 0xFF));
        if (!target.isBit())
            bytes.append(char(value >> 8));
    }
    return bytes;
}

Result<WriteRequest> parseWrite(const QString &text)
{
    const int equals = text.indexOf(QLatin1Char('='));
    const auto target = parseVariable(text.left(equals));
    if (equals < 0 || !target.ok())
        return Result<WriteRequest>::failure(
            QStringLiteral("'%1' is not a write: expected VARIABLE=VALUE[,VALUE...], e.g. DM100=1234")
                .arg(text));
    WriteRequest write{text, target.value(), {}};
    // A word also as a negative number (its two's complement) or in hex.
    const int lowest = write.target.isBit() ? 0 : -0x8000;
    const int highest = write.target.isBit() ? 1 : 0xFFFF;
    for (const QString &part : text.mid(equals + 1).split(QLatin1Char(','))) {
        const bool hex = part.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        bool converted = false;
        const int value = hex ? part.mid(2).toInt(&converted, 16) : part.toInt(&converted);
        if (!converted || value < lowest || value > highest)
            return Result<WriteRequest>::failure(QStringLiteral("%1: value '%2' is not %3 to %4")
                                                     .arg(text, part).arg(lowest).arg(highest));
        write.values.append(value & 0xFFFF);
    }
    write.target.count = write.values.size();
    return write;
}

Result<QList<VariableText>> readVariableFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return Result<QList<VariableText>>::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    QList<VariableText> variables;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString content = lines[i].left(lines[i].indexOf(QLatin1Char('#')));
        const QString origin = QStringLiteral("%1 line %2").arg(path).arg(i + 1);
        for (const QString &text : content.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
            variables.append({text, origin});
    }
    return variables;
}

} // namespace pollhost
