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

Result<Variable> checkVariable(const DriverApi &api, Variable variable, int language)
{
    int address = -1;
    const QString message = api.checkAddrCorrect(variable.family, variable.addressText, address,
                                                  variable.count - 1, language,
                                                  variable.isBit() ? 0 : 1);
    if (!message.isEmpty())
        return Result<Variable>::failure(variable.text + QStringLiteral(": ") + message);
    variable.address = address;
    return variable;
}

QList<int> readImage(const DriverApi &api, const Variable &variable, int station)
{
    QByteArray data;
    api.getRegisterData(variable.family, variable.address, station, data, variable.count);
    QList<int> values;
    for (int i = 0; i < variable.count; ++i) {
        if (variable.isBit())
            values << (quint8(data.at(i)) & 1);
        else
            values << (quint8(data.at(2 * i)) | quint8(data.at(2 * i + 1)) << 8);
    }
    return values;
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
    const int highest = write.target.isBit() ? 1 : 0xFFFF;
    for (const QString &part : text.mid(equals + 1).split(QLatin1Char(','))) {
        bool converted = false;
        const int value = part.toInt(&converted);
        if (!converted || value < 0 || value > highest)
            return Result<WriteRequest>::failure(
                QStringLiteral("%1: value '%2' is not 0 to %3").arg(text, part).arg(highest));
        write.values.append(value);
    }
    write.target.count = write.values.size();
    return write;
}

Result<QStringList> readVariableFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return Result<QStringList>::failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    QStringList variables;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString content = line.left(line.indexOf(QLatin1Char('#')));
        variables += content.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    }
    return variables;
}

} // namespace pollhost
