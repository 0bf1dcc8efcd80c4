// Access to the host's ComInfo words. Each word is written by one side and
// read by the other with no lock, so every access is a relaxed atomic one.
// Before SetComInfo every word reads 0 and writes go nowhere.
#ifndef ORDELIN_CORE_SETTINGS_H
#define ORDELIN_CORE_SETTINGS_H

#include "driver.h"

namespace ordelin {

using ComWord = qint32 ComInfo::*;

inline int setting(ComWord word)
{
    ComInfo *info = driver().comInfo.load(std::memory_order_acquire);
    return info ? __atomic_load_n(&(info->*word), __ATOMIC_RELAXED) : 0;
}

inline void setSetting(ComWord word, int value)
{
    ComInfo *info = driver().comInfo.load(std::memory_order_acquire);
    if (info)
        __atomic_store_n(&(info->*word), value, __ATOMIC_RELAXED);
}

// Every frame producer starts a one-frame batch.
inline void startBatch()
{
    setSetting(&ComInfo::framesAnswered, 0);
    setSetting(&ComInfo::framesInBatch, 1);
}

} // namespace ordelin

#endif
