// A write or once-read the user asked for, and how it went element by
// element: answered (its frame accepted), dropped after its retries, on the
// line when the connection ended (outcome unknown), not sent, or never
// queued because the driver's list was full.
#ifndef ORDELIN_HOST_PENDING_REQUEST_H
#define ORDELIN_HOST_PENDING_REQUEST_H

#include "variables.h"

#include <QtCore/QSet>

namespace pollhost {

// A once-read's or a write's element that was never answered.
constexpr int notRead = -1;

// A write or once-read that completed, could not be queued, or was given up.
struct HostEvent {
    QString kind;      // "write" or "once-read"
    QString target;    // as the user wrote it
    int status = 0;    // the callback's: 1 answered, 2 dropped; 0 none came
    bool complete = false; // every element answered or acknowledged
    QString note;      // how it went, in words
    QList<int> values; // a once-read's values from the image, notRead for elements not read
};

struct PendingRequest {
    QString kind; // "write", "once-read", or "verify": the once-read of a write's elements
    QString text; // as the user wrote it
    Variable variable;
    QList<int> values;  // a write's
    int id = 0;         // its requestId and requestGroup in the driver
    int queued = 0;     // elements the driver took, the first ones
    QSet<int> answered; // addresses whose frames were accepted
    QSet<int> dropped;  // addresses whose frames were dropped after their retries
    QSet<int> unknown;  // the address whose frame was on the line when it closed

    bool isRead() const { return kind != QLatin1String("write"); }
    // The event for the callback's status (0: none came), with the image's
    // values of a once-read, which only answered elements show. `unsent`
    // says why the elements that were neither answered nor dropped never
    // went out, when that is all there is to say.
    HostEvent report(int status, const QList<int> &image,
                     const QString &unsent = QStringLiteral("not sent")) const;
};

} // namespace pollhost

#endif
