// One allocation that fails on purpose, for the paths that must survive
// std::bad_alloc. Replaces the global operator new of the test program that
// includes it: include it in one source file of that program only.
#ifndef QUILLON_TESTS_DATACONTROL_FAILING_ALLOCATION_H
#define QUILLON_TESTS_DATACONTROL_FAILING_ALLOCATION_H

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace quillon::test {

// The next allocation of exactly this many bytes fails (0: none).
inline std::atomic<std::size_t> failingAllocation{0};

} // namespace quillon::test

void *operator new(std::size_t size) {
    std::size_t expected = size;
    if (size != 0 && quillon::test::failingAllocation.compare_exchange_strong(expected, 0)) {
        throw std::bad_alloc();
    }
    if (void *p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void *p) noexcept {
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept {
    std::free(p);
}

#endif
