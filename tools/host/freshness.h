// How far each polled value can be trusted, from what the host saw of the
// frames that read it and of the line. An element is
//  - never read: no reply for it has been accepted since the host started;
//  - fresh: its last read (or write) was accepted, the link has not gone
//    down since, and it is younger than the staleness limit;
//  - uncertain: bytes that nobody asked for came after it was read and
//    before the line was next known quiet, so its reply may have been a
//    late answer to another frame; until it is read again;
//  - stale: a later read or write of it was rejected, the link went down,
//    or it grew older than the staleness limit. A quality that is judged by
//    age as well as by events shows a stall nobody foresaw as stale too.
#ifndef ORDELIN_HOST_FRESHNESS_H
#define ORDELIN_HOST_FRESHNESS_H

#include <QtCore/QHash>
#include <QtCore/QPair>
#include <QtCore/QString>
#include <QtCore/QVector>

namespace pollhost {

// In order of worth: a row shows its worst element.
enum class Quality { NeverRead, Fresh, Uncertain, Stale };

struct ElementState {
    Quality quality = Quality::NeverRead;
    qint64 readAtMs = -1; // when its value was last read
};

// The one to show for several elements: never read before stale before
// uncertain before fresh, and of two alike the one read first.
ElementState worse(const ElementState &a, const ElementState &b);

class Freshness {
public:
    void readAttempt(const QString &family, int address, bool accepted, qint64 nowMs);
    void linkDown();
    // The line was found quiet: values read from now on stand until the
    // next bytes nobody asked for.
    void lineQuiet() { ++quietTimes; }
    // Bytes nobody asked for came: every value read since the line was last
    // known quiet is uncertain.
    void unaskedBytes();
    // `staleAfterMs` 0: no limit by age.
    ElementState of(const QString &family, int address, qint64 nowMs, qint64 staleAfterMs) const;

private:
    struct Element {
        ElementState state;
        quint64 quietTimes = 0; // when it was read: the line found quiet so often
    };
    QHash<QPair<QString, int>, Element> elements;
    quint64 quietTimes = 0;
};

// "fresh", "uncertain", "never read", "stale": as the outputs write it.
QString qualityName(Quality quality);

} // namespace pollhost

#endif
