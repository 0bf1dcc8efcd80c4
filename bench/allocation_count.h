// Counts the heap allocations of this process, the driver's and Qt's
// included: the benchmark binary replaces malloc and its relatives, and the
// dynamic linker binds every library's calls to the replacement.
#ifndef ORDELIN_BENCH_ALLOCATION_COUNT_H
#define ORDELIN_BENCH_ALLOCATION_COUNT_H

#include <cstdint>

namespace benchhost {

// Allocations (malloc, calloc, realloc) made so far by all threads.
std::uint64_t allocationCount();

} // namespace benchhost

#endif
