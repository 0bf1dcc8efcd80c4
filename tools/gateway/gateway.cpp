#include "gateway.h"

#include "set_request.h"

#include <QtCore/QDateTime>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

#include <algorithm>

namespace gateway {

using namespace pollhost;

namespace {

QString jsonText(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

} // namespace

Gateway::Gateway(const QString &prefix, int heartbeatS, QList<ShownTag> shown, DriverHost &host)
    : prefix(prefix), heartbeatNs(qint64(heartbeatS) * 1000 * tools::msNs), tags(std::move(shown)), host(host)
{
    for (int i = 0; i < tags.size(); ++i)
        byName.insert(tags[i].tag.name, i);
    published.resize(tags.size());
    loopStartMs = sinceMs = QDateTime::currentMSecsSinceEpoch();
}

void Gateway::attach(MqttSession *session, Forwarder *journaled)
{
    mqtt = session;
    forwarder = journaled;
    seq = forwarder->lastSeq();
}

// After every read cycle, and at least once a second: a tag goes out when
// its value or quality changed, when its heartbeat is due, and the first time.
void Gateway::show(const PollView &view)
{
    const qint64 nowNs = tools::nowNs();
    QVector<int> due;
    std::lock_guard<std::mutex> hold(mutex);
    for (int i = 0; i < tags.size(); ++i) {
        const TagState now = tagState(tags[i], view, loopStartMs);
        Published &last = published[i];
        if (last.made && !changed(last.state, now, tags[i].tag.deadband)
            && !(heartbeatNs > 0 && nowNs - last.atNs >= heartbeatNs))
            continue;
        last = {true, now, nowNs};
        due.append(i);
    }
    // Numbered in the order the values were read, which the read list,
    // grouped by family, does not keep in the order of the tags.
    std::stable_sort(due.begin(), due.end(), [this](int a, int b) {
        return published[a].state.readAtMs < published[b].state.readAtMs;
    });
    QVector<Outgoing> messages;
    for (const int index : due)
        messages.append(tagMessage(index));
    if (!messages.isEmpty())
        forwarder->send(messages); // under the mutex: the journal gets them in seq order
}

// Every message has the next number, published or not: the journal keeps
// it until the broker has it, and a subscriber can tell that none is missing.
Outgoing Gateway::tagMessage(int index)
{
    const TagState &state = published[index].state;
    ++seq;
    return {seq, topic(QStringLiteral("tags/") + tags[index].tag.name), tagPayload(state, seq),
            state.readAtMs >= 0 ? state.readAtMs : QDateTime::currentMSecsSinceEpoch()};
}

void Gateway::publishStatus()
{
    if (mqtt)
        mqtt->publish(statusTopic(), onlinePayload(linkWord(link), sinceMs), true);
}

void Gateway::linkChanged(qint64 elapsedMs, const ExchangeStats &stats)
{
    std::lock_guard<std::mutex> hold(mutex);
    const bool wordChanged = linkWord(stats.link) != linkWord(link);
    link = stats.link;
    if (!wordChanged)
        return; // opening to down: both show as down
    sinceMs = loopStartMs + elapsedMs;
    publishStatus();
}

void Gateway::event(qint64, const HostEvent &done)
{
    if (done.kind != QLatin1String("write"))
        return;
    std::unique_lock<std::mutex> hold(mutex);
    const auto found = open.find(done.target);
    if (found == open.end())
        return;
    const OpenWrite write = found.value();
    open.erase(found);
    hold.unlock();
    if (done.complete)
        answer(write, QStringLiteral("done"), QStringLiteral("the PLC acknowledged the write"));
    else
        answer(write, QStringLiteral("failed"), done.note);
}

void Gateway::trace(const QString &line)
{
    tell(line);
}

// A new connection starts with nothing of ours at the broker but what it
// retained, which may be old: the status and every tag's last message go
// out again, each tag with a new sequence number, beside the replay of
// what the journal kept.
void Gateway::connected()
{
    mqtt->subscribe(topic(QStringLiteral("tags/+/set")));
    std::lock_guard<std::mutex> hold(mutex);
    publishStatus();
    forwarder->brokerUp();
    QVector<Outgoing> again;
    for (int i = 0; i < tags.size(); ++i) {
        if (published[i].made)
            again.append(tagMessage(i));
    }
    if (!again.isEmpty())
        forwarder->send(again);
}

// On the network thread. A request is refused here, before anything
// reaches the driver, or handed to the loop as a write of its own.
void Gateway::message(const QByteArray &topicName, const QByteArray &payload, bool retained, const QString &clientId)
{
    const QString name = QString::fromUtf8(topicName).mid(prefix.size() + 6).chopped(4); // "/tags/", "/set"
    const auto index = byName.constFind(name);
    const Tag *tag = index == byName.constEnd() ? nullptr : &tags[index.value()].tag;
    SetDecision decision = decideSet(name, tag, payload);
    const LinkState now = link;
    if (decision.refusal.isEmpty() && retained)
        decision.refusal = QStringLiteral("a retained request is refused: the broker would hand it out again "
                                          "at every connection");
    else if (decision.refusal.isEmpty() && (now == LinkState::Down || now == LinkState::Opening))
        decision.refusal = QStringLiteral("the link to the PLC is down");
    const OpenWrite write{name, decision.id, decision.asked, clientId};
    if (!decision.refusal.isEmpty()) {
        answer(write, QStringLiteral("refused"), decision.refusal);
        return;
    }
    std::unique_lock<std::mutex> hold(mutex);
    const QString text = QStringLiteral("%1=%2 (request %3)").arg(name, decision.text).arg(++requests);
    open.insert(text, write);
    hold.unlock();
    host.postWrite(WriteRequest{text, tag->variable, decision.elements});
}

// The result goes to the requester; the audit line to standard error, one
// per request whatever became of it.
void Gateway::answer(const OpenWrite &write, const QString &status, const QString &reason)
{
    if (mqtt)
        mqtt->publish(topic(QStringLiteral("tags/%1/result").arg(write.tag)),
                      resultPayload(write.id, status, reason, write.asked), false);
    tell(QStringLiteral("audit %1 tag=%2 value=%3 id=%4 client=%5 result=%6 reason=\"%7\"")
             .arg(isoTime(QDateTime::currentMSecsSinceEpoch()), write.tag, jsonText(write.asked),
                  write.id.isEmpty() ? QStringLiteral("-") : write.id,
                  write.clientId.isEmpty() ? QStringLiteral("-") : write.clientId, status, reason));
}

} // namespace gateway
