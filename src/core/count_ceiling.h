// The one ceiling on the counts a host passes: GetRegisterData,
// SetRegisterData, ReCreatReadVarList (per definition), AddListOnceReadVar,
// AddrMutilCopy and the store of written values into the image. No register
// family holds more than 16,000 elements, so no valid call comes near it; it
// is there so that a corrupt count such as INT_MAX costs a bounded amount of
// memory and time instead of gigabytes.
#ifndef ORDELIN_CORE_COUNT_CEILING_H
#define ORDELIN_CORE_COUNT_CEILING_H

namespace ordelin {

constexpr int countCeiling = 1048576; // 2^20 elements

// The number of elements a call works on: the host's count, exactly, up to
// the ceiling, and the first countCeiling elements above it. Counts below 1
// pass unchanged, since each export gives them a meaning of its own.
constexpr int boundedCount(int count)
{
    return count < countCeiling ? count : countCeiling;
}

} // namespace ordelin

#endif
