// What the bytes on the line mean, decided without a clock or a port: when
// a reply is complete, and why the driver rejected one, in words.
#ifndef ORDELIN_HOST_REPLY_JUDGE_H
#define ORDELIN_HOST_REPLY_JUDGE_H

#include <QtCore/QByteArray>
#include <QtCore/QString>

namespace pollhost {

// The length of the reply at the head of `received`: up to its first CR LF
// when that comes within `replyLength` bytes, otherwise `replyLength` bytes
// (the driver then judges the length). -1 while it is not complete.
int replyEnd(const QByteArray &received, int replyLength);

// Why a reply that the driver rejected was wrong: "no reply", "error reply"
// (the PLC's "E" and a digit), "bad length" or "bad form".
QString rejectionCause(const QByteArray &reply, int replyLength);

} // namespace pollhost

#endif
