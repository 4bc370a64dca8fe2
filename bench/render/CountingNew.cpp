// The replaced global operator new of the frame benchmark. In a file of its own, so that no call
// site sees malloc behind a new expression.

#include "CountingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<uint64_t> g_NewCount{0};
}

uint64_t QuorlixBench::GlobalNewCount() noexcept {
    return g_NewCount.load(std::memory_order_relaxed);
}

void* operator new(std::size_t size) {
    g_NewCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size != 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
