// The replaced global operator new of the programs that count allocations. In a file of its own,
// so that no call site sees malloc behind a new expression.

#include "CountingNew.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<uint64_t> g_NewCount{0};
}

uint64_t QuorlixTest::GlobalNewCount() noexcept {
    return g_NewCount.load(std::memory_order_relaxed);
}

// Every form that a plain delete may free is replaced, so that allocation and release always
// meet in malloc and free (the aligned forms pair among themselves and stay as they are).
namespace {
void* Counted(std::size_t size) noexcept {
    g_NewCount.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size != 0 ? size : 1);
}
} // namespace

void* operator new(std::size_t size) {
    if (void* p = Counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Counted(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
