#include "pending_request.h"

namespace pollhost {

namespace {

// "DM4 DM5 DM6", at most eight of them.
QString names(const QStringList &labels)
{
    return labels.mid(0, 8).join(QLatin1Char(' ')) + (labels.size() > 8 ? QStringLiteral(" ...") : QString());
}

} // namespace

// How a write or once-read went, element by element: answered (its frame
// accepted), dropped after its retries, or never queued (the driver's list
// was full). Only answered elements of a once-read carry a value.
HostEvent PendingRequest::report(int status, const QList<int> &image) const
{
    const bool read = isRead();
    const int count = variable.count;
    HostEvent done{kind, text, status, false, {}, {}};
    QStringList dropped, notQueued;
    for (int k = 0; k < count; ++k) {
        const bool took = answered.contains(variable.address + k);
        if (read)
            done.values << (took ? image.value(k, notRead) : notRead);
        if (!took)
            (k < queued ? dropped : notQueued) << variable.label(k);
    }
    if (!read)
        done.values = values;
    done.complete = status == 1 && dropped.isEmpty() && notQueued.isEmpty();
    const QString verb = QLatin1String(read ? "answered" : "acknowledged");
    const int answeredCount = count - dropped.size() - notQueued.size();
    if (done.complete)
        done.note = verb;
    else if (status == 0)
        done.note = QStringLiteral("not sent");
    else if (answeredCount == 0)
        done.note = QStringLiteral("dropped after its retries");
    else
        done.note = QStringLiteral("%1 %2 of %3 elements").arg(verb).arg(answeredCount).arg(count);
    if (status != 0 && !dropped.isEmpty() && answeredCount > 0)
        done.note += QStringLiteral("; dropped after their retries: ") + names(dropped);
    if (status != 0 && !notQueued.isEmpty())
        done.note += QStringLiteral("; not queued, the driver's list was full: ") + names(notQueued);
    return done;
}

} // namespace pollhost
