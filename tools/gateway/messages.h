// The gateway's payloads, JSON in UTF-8, and the rule that says when a tag
// is worth a message. Pure: the caller brings the times.
#ifndef ORDELIN_GATEWAY_MESSAGES_H
#define ORDELIN_GATEWAY_MESSAGES_H

#include "host/loop_events.h"
#include "host/shown_tags.h"

#include <QtCore/QJsonValue>

namespace gateway {

// ISO 8601 with milliseconds and the offset from UTC, e.g.
// 2026-12-06T05:00:02.457+01:00 (Z in UTC).
QString isoTime(qint64 epochMs);

// A tag as the host last showed it.
struct TagState {
    QJsonValue value;     // scaled number or bool; null when never read or unreadable
    QString quality;      // good, uncertain, stale, never_read
    qint64 readAtMs = -1; // since the epoch; -1 when never read
};

// `loopStartMs` is the epoch time of the loop clock's zero. A value is
// "good" only while the host calls it fresh.
TagState tagState(const pollhost::ShownTag &shown, const pollhost::PollView &view, qint64 loopStartMs);

// A message is due when the quality changed, or the value moved by more
// than the deadband (any change when it is 0, or a bool's flip).
bool changed(const TagState &last, const TagState &now, double deadband);

QByteArray tagPayload(const TagState &state, quint64 seq);

// "up", "retrying" or "down": a link not yet opened counts as down.
QString linkWord(pollhost::LinkState link);
QByteArray onlinePayload(const QString &link, qint64 sinceMs);
// `sinceMs` < 0 for the last will, which the broker sends at a time nobody knows now.
QByteArray offlinePayload(qint64 sinceMs);

QByteArray resultPayload(const QString &id, const QString &status, const QString &reason, const QJsonValue &asked);

} // namespace gateway

#endif
