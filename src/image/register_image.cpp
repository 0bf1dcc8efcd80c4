#include "register_image.h"

#include "core/count_ceiling.h"
#include "core/driver.h"

#include <cstring>

namespace ordelin {

static_assert(sizeof(RegisterImage::relayImage) == 16000
                  && sizeof(RegisterImage::dmImage) == 10000 * sizeof(quint16)
                  && sizeof(RegisterImage::tmImage) == 100 * sizeof(quint16)
                  && sizeof(RegisterImage::cthImage) == 10 * sizeof(quint16),
              "image arrays follow the family table");

void RegisterImage::zero()
{
    std::memset(this, 0, sizeof(*this));
}

quint8 *RegisterImage::bits(Family family)
{
    switch (family) {
    case Family::Relay: return relayImage;
    case Family::TimerContact: return timerContactImage;
    case Family::CounterContact: return counterContactImage;
    default: return nullptr;
    }
}

quint16 *RegisterImage::words(Family family)
{
    switch (family) {
    case Family::DataMemory: return dmImage;
    case Family::TempMemory: return tmImage;
    case Family::TimerCurrent: return timerCurrentImage;
    case Family::TimerPreset: return timerPresetImage;
    case Family::CounterCurrent: return counterCurrentImage;
    case Family::CounterPreset: return counterPresetImage;
    case Family::HighSpeedCounter: return cthImage;
    default: return nullptr;
    }
}

void readImage(Ordelin &driver, const QString &registerName, int address, QByteArray &data, int count)
{
    const FamilyInfo *info = findFamily(registerName);
    if (!info || count < 1)
        return;
    // The caller gets every element it asked for; those outside the
    // family's array read 0.
    const int elements = boundedCount(count);
    // Grown and detached before the lock, so no allocation happens while
    // the communication thread may be waiting to decode.
    const int bytes = info->isBit ? elements : 2 * elements;
    if (data.size() < bytes)
        data.resize(bytes);
    char *out = data.data();
    QMutexLocker lock(&driver.imageMutex);
    if (info->isBit) {
        const quint8 *bits = driver.image.bits(info->family);
        for (int i = 0; i < elements; ++i) {
            const qint64 index = qint64(address) + i;
            out[i] = inImage(*info, index) ? char(bits[index] & 1) : 0;
        }
    } else {
        const quint16 *words = driver.image.words(info->family);
        for (int i = 0; i < elements; ++i) {
            const qint64 index = qint64(address) + i;
            const quint16 word = inImage(*info, index) ? words[index] : 0;
            out[2 * i] = char(word & 0xFF);
            out[2 * i + 1] = char(word >> 8);
        }
    }
}

void storeImage(Ordelin &driver, const QString &registerName, int address, int count,
                const QByteArray &data)
{
    const FamilyInfo *info = findFamily(registerName);
    if (!info || count < 1)
        return;
    const auto *in = reinterpret_cast<const quint8 *>(data.constData());
    QMutexLocker lock(&driver.imageMutex);
    if (info->isBit) {
        // Bytes are stored unmasked; readers look at the lowest bit.
        const int elements = qMin(boundedCount(count), data.size());
        quint8 *bits = driver.image.bits(info->family);
        for (int i = 0; i < elements; ++i) {
            const qint64 index = qint64(address) + i;
            if (inImage(*info, index))
                bits[index] = in[i];
        }
    } else {
        // An incomplete last pair is ignored.
        const int elements = qMin(boundedCount(count), data.size() / 2);
        quint16 *words = driver.image.words(info->family);
        for (int i = 0; i < elements; ++i) {
            const qint64 index = qint64(address) + i;
            if (inImage(*info, index))
                words[index] = quint16(in[2 * i] | (in[2 * i + 1] << 8));
        }
    }
}

} // namespace ordelin

extern "C" int GetRegisterData(QString registerName, int address, int /*station*/, QByteArray &data,
                               int count)
{
    ordelin::readImage(ordelin::driver(), registerName, address, data, count);
    return 1;
}
