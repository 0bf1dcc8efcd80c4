#include "pending_request.h"

namespace pollhost {

namespace {

// "DM4 DM5 DM6", at most eight of them.
QString names(const QStringList &labels)
{
    return labels.mid(0, 8).join(QLatin1Char(' ')) + (labels.size() > 8 ? QStringLiteral(" ...") : QString());
}

} // namespace

// Only answered elements of a once-read carry a value. When every element
// went the same way the note says it in a few words; otherwise it counts
// the answered ones and names the others by what became of them.
HostEvent PendingRequest::report(int status, const QList<int> &image, const QString &unsent) const
{
    const bool read = isRead();
    const int count = variable.count;
    HostEvent done{kind, text, status, false, {}, {}};
    const QString full = QStringLiteral("not queued: the driver's %1 list is full").arg(read ? "once-read" : "write");
    struct Outcome {
        QString alone; // the note when every element went this way
        QString some;  // its heading among others
        QStringList labels;
    };
    Outcome outcomes[] = {{QStringLiteral("dropped after its retries"), QStringLiteral("dropped after their retries"), {}},
                          {QStringLiteral("outcome unknown"), QStringLiteral("outcome unknown"), {}},
                          {unsent, QStringLiteral("not sent"), {}},
                          {full, QStringLiteral("not queued, the driver's list was full"), {}}};
    int answeredCount = 0;
    for (int k = 0; k < count; ++k) {
        const int address = variable.address + k;
        const bool took = answered.contains(address);
        if (read)
            done.values << (took ? image.value(k, notRead) : notRead);
        const int outcome = took                       ? -1
                          : dropped.contains(address)  ? 0
                          : unknown.contains(address)  ? 1
                          : k < queued                 ? 2
                                                       : 3;
        if (outcome < 0)
            ++answeredCount;
        else
            outcomes[outcome].labels << variable.label(k);
    }
    if (!read)
        done.values = values;
    const QString verb = QLatin1String(read ? "answered" : "acknowledged");
    done.complete = status == 1 && answeredCount == count;
    if (done.complete) {
        done.note = verb;
        return done;
    }
    for (const Outcome &outcome : outcomes) {
        if (answeredCount == 0 && outcome.labels.size() == count)
            done.note = outcome.alone;
    }
    if (!done.note.isEmpty())
        return done;
    done.note = QStringLiteral("%1 %2 of %3 elements").arg(verb).arg(answeredCount).arg(count);
    for (const Outcome &outcome : outcomes) {
        if (!outcome.labels.isEmpty())
            done.note += QStringLiteral("; %1: %2").arg(outcome.some, names(outcome.labels));
    }
    return done;
}

} // namespace pollhost
