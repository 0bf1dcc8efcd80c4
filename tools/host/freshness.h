// How far each polled value can be trusted, from what the host saw of the
// frames that read it. An element is
//  - never read: no reply for it has been accepted since the host started;
//  - fresh: the last read (or write) of it was accepted and the link has
//    not gone down since;
//  - stale: it was read at readAtMs, but a later read or write of it was
//    rejected or the link went down since; the value shown is the one read
//    then, or one written since that the PLC has not acknowledged.
#ifndef ORDELIN_HOST_FRESHNESS_H
#define ORDELIN_HOST_FRESHNESS_H

#include <QtCore/QHash>
#include <QtCore/QString>
#include <QtCore/QVector>

namespace pollhost {

enum class Quality { NeverRead, Fresh, Uncertain, Stale };

struct ElementState {
    Quality quality = Quality::NeverRead;
    qint64 readAtMs = -1; // when its value was last read
};

class Freshness {
public:
    void readAttempt(const QString &family, int address, bool accepted, qint64 nowMs);
    void linkDown();
    ElementState of(const QString &family, int address) const;

private:
    // Asked once a frame and once an element a read cycle: a family is
    // found among the few by comparing its short name, and an element by
    // its address alone, so no name is hashed on the way.
    struct Family {
        QString name;
        QHash<int, ElementState> elements;
    };
    int indexOf(const QString &family) const;

    QVector<Family> families;
};

// "fresh", "uncertain", "never read", "stale": as the outputs write it.
QString qualityName(Quality quality);

} // namespace pollhost

#endif
