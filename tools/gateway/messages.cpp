#include "messages.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>

#include <cmath>

namespace gateway {

using pollhost::Quality;

QString isoTime(qint64 epochMs)
{
    const QDateTime then = QDateTime::fromMSecsSinceEpoch(epochMs);
    return then.toOffsetFromUtc(then.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

namespace {

QString qualityWord(Quality quality)
{
    switch (quality) {
    case Quality::Fresh: return QStringLiteral("good");
    case Quality::Uncertain: return QStringLiteral("uncertain");
    case Quality::Stale: return QStringLiteral("stale");
    case Quality::NeverRead: break;
    }
    return QStringLiteral("never_read");
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

TagState tagState(const pollhost::ShownTag &shown, const pollhost::PollView &view, qint64 loopStartMs)
{
    const pollhost::ElementState element = pollhost::shownState(shown, view.states);
    TagState state{QJsonValue(QJsonValue::Null), qualityWord(element.quality), -1};
    if (element.quality == Quality::NeverRead || element.readAtMs < 0)
        return state;
    state.readAtMs = loopStartMs + element.readAtMs;
    const pollhost::TagReading reading = pollhost::readShown(shown, view.values);
    if (reading.valid)
        state.value = shown.tag.type->id == pollhost::TypeId::Bool ? QJsonValue(reading.value != 0)
                                                                   : QJsonValue(reading.value);
    return state;
}

bool changed(const TagState &last, const TagState &now, double deadband)
{
    if (last.quality != now.quality || last.value.type() != now.value.type())
        return true;
    if (!now.value.isDouble())
        return last.value != now.value;
    const double moved = std::abs(now.value.toDouble() - last.value.toDouble());
    return deadband > 0 ? moved > deadband : moved != 0;
}

QByteArray tagPayload(const TagState &state, quint64 seq)
{
    return compact({{QStringLiteral("value"), state.value},
                    {QStringLiteral("quality"), state.quality},
                    {QStringLiteral("ts"), state.readAtMs < 0 ? QJsonValue(QJsonValue::Null)
                                                              : QJsonValue(isoTime(state.readAtMs))},
                    {QStringLiteral("seq"), double(seq)}});
}

QString linkWord(pollhost::LinkState link)
{
    switch (link) {
    case pollhost::LinkState::Up: return QStringLiteral("up");
    case pollhost::LinkState::Retrying: return QStringLiteral("retrying");
    case pollhost::LinkState::Down:
    case pollhost::LinkState::Opening: break;
    }
    return QStringLiteral("down");
}

QByteArray onlinePayload(const QString &link, qint64 sinceMs)
{
    return compact({{QStringLiteral("state"), QStringLiteral("online")},
                    {QStringLiteral("link"), link},
                    {QStringLiteral("since"), isoTime(sinceMs)},
                    {QStringLiteral("version"), QStringLiteral(ORDELIN_VERSION)}});
}

QByteArray offlinePayload(qint64 sinceMs)
{
    QJsonObject object{{QStringLiteral("state"), QStringLiteral("offline")},
                       {QStringLiteral("version"), QStringLiteral(ORDELIN_VERSION)}};
    if (sinceMs >= 0)
        object.insert(QStringLiteral("since"), isoTime(sinceMs));
    return compact(object);
}

QByteArray resultPayload(const QString &id, const QString &status, const QString &reason, const QJsonValue &asked)
{
    return compact({{QStringLiteral("id"), id.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(id)},
                    {QStringLiteral("status"), status},
                    {QStringLiteral("reason"), reason},
                    {QStringLiteral("value"), asked}});
}

} // namespace gateway
