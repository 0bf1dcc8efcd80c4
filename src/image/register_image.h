// The driver's copy of PLC memory: one fixed array per family, indexed by
// the integer address, so host reads never wait for the serial line.
#ifndef ORDELIN_IMAGE_REGISTER_IMAGE_H
#define ORDELIN_IMAGE_REGISTER_IMAGE_H

#include "address/families.h"

#include <QtCore/QByteArray>
#include <QtCore/QtGlobal>

class Ordelin;

namespace ordelin {

struct RegisterImage {
    quint8 relayImage[16000];
    quint8 timerContactImage[1000];
    quint8 counterContactImage[1000];
    quint16 dmImage[10000];
    quint16 tmImage[100];
    quint16 timerCurrentImage[1000];
    quint16 timerPresetImage[1000];
    quint16 counterCurrentImage[1000];
    quint16 counterPresetImage[1000];
    quint16 cthImage[10];

    void zero();
    // The family's array; null when the family is of the other kind.
    quint8 *bits(Family family);
    quint16 *words(Family family);
};

// Host read: the bit families give one byte (lowest bit) per element, the
// word families two bytes, low first. Takes the image mutex.
void readImage(Ordelin &driver, const QString &registerName, int address, QByteArray &data, int count);

// Store of written values, so the image shows a write at once. Takes the
// image mutex. Elements outside the family's array are skipped.
void storeImage(Ordelin &driver, const QString &registerName, int address, int count,
                const QByteArray &data);

} // namespace ordelin

#endif
