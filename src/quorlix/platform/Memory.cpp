#include "quorlix/platform/Memory.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace Quorlix::Platform {

void* HeapAllocate(size_t bytes) noexcept {
    return std::malloc(bytes);
}

void HeapFree(void* block) noexcept {
    std::free(block);
}

size_t PageSize() noexcept {
    static const size_t s_PageSize = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    return s_PageSize;
}

static size_t RoundToPages(size_t bytes) noexcept {
    const size_t page = PageSize();
    return (bytes + page - 1) / page * page;
}

void* AllocatePages(size_t bytes) noexcept {
    if (bytes == 0 || bytes > SIZE_MAX - PageSize())
        return nullptr;
    void* pages = ::mmap(nullptr, RoundToPages(bytes), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return pages == MAP_FAILED ? nullptr : pages;
}

void FreePages(void* pages, size_t bytes) noexcept {
    if (pages != nullptr)
        ::munmap(pages, RoundToPages(bytes));
}

HeapState CheckHeap() noexcept {
    // glibc keeps its own consistency checks on every call and aborts on a damaged chunk, so
    // the only outcomes left to tell apart are "in use" and "empty".
    struct mallinfo2 info = ::mallinfo2();
    return info.uordblks == 0 ? HeapState::Empty : HeapState::Ok;
}

size_t PeakResidentBytes() noexcept {
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0 || usage.ru_maxrss < 0)
        return 0;
    return static_cast<size_t>(usage.ru_maxrss) * 1024; // Linux counts KiB
}

uint64_t PhysicalMemoryBytes() noexcept {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long size = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
}

uint64_t AvailablePhysicalMemoryBytes() noexcept {
    const long pages = ::sysconf(_SC_AVPHYS_PAGES);
    const long size = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
}

} // namespace Quorlix::Platform
