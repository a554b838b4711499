// Counts the heap allocations of the whole process, so a benchmark can
// report allocations per frame or per scan. Linking this in replaces the
// global operator new.
#ifndef QUILLON_BENCH_COMMON_ALLOCATION_COUNTER_H
#define QUILLON_BENCH_COMMON_ALLOCATION_COUNTER_H

namespace bench {

long long heapAllocations();

} // namespace bench

#endif
