#pragma once
// Raw memory from the operating system: the process heap and whole pages.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>

namespace Quorlix::Platform {

/// Heap block of `bytes` bytes, 16-byte aligned; null when the heap is exhausted.
QUORLIX_API void* HeapAllocate(size_t bytes) noexcept;
QUORLIX_API void HeapFree(void* block) noexcept;

/// The size of one page of memory.
QUORLIX_API size_t PageSize() noexcept;

/// Whole pages covering at least `bytes` bytes, zero-filled; null on failure or for 0 bytes.
QUORLIX_API void* AllocatePages(size_t bytes) noexcept;
/// Returns pages from AllocatePages; `bytes` is the size that was asked for.
QUORLIX_API void FreePages(void* pages, size_t bytes) noexcept;

/// Outcome of the runtime library's heap check.
enum class HeapState { Ok, Empty, BadNode, BadBegin, Unknown };
QUORLIX_API HeapState CheckHeap() noexcept;

/// The most memory the process has held resident at once since it started, in bytes; 0 when
/// the system does not tell.
QUORLIX_API size_t PeakResidentBytes() noexcept;

/// The machine's physical memory and the part of it now available, in bytes; 0 when the
/// system does not tell.
QUORLIX_API uint64_t PhysicalMemoryBytes() noexcept;
QUORLIX_API uint64_t AvailablePhysicalMemoryBytes() noexcept;

} // namespace Quorlix::Platform
