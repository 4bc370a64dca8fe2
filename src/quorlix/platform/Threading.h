#pragma once
// Operating-system synchronisation objects and thread identity, behind opaque handles so that
// no system header leaks into the rest of the library.

#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix::Platform {

struct RecursiveMutex;
struct CountingSemaphore;

/// Creates a mutex that its owning thread may enter again. Never returns null.
QUORLIX_API RecursiveMutex* CreateRecursiveMutex();
QUORLIX_API void DestroyRecursiveMutex(RecursiveMutex* mutex);
QUORLIX_API void LockRecursiveMutex(RecursiveMutex* mutex);
/// Returns true when the mutex was taken without waiting.
QUORLIX_API bool TryLockRecursiveMutex(RecursiveMutex* mutex);
QUORLIX_API void UnlockRecursiveMutex(RecursiveMutex* mutex);

/// The largest count a semaphore can hold.
constexpr int32_t k_SemaphoreMaximum = 0x7FFFFFFF;

/// Creates a counting semaphore with `initial` units (clamped to 0..k_SemaphoreMaximum).
QUORLIX_API CountingSemaphore* CreateCountingSemaphore(int32_t initial);
QUORLIX_API void DestroyCountingSemaphore(CountingSemaphore* semaphore);
/// Waits without time-out for one unit.
QUORLIX_API void WaitCountingSemaphore(CountingSemaphore* semaphore);
/// Waits at most `milliseconds` for one unit; returns true when one was taken.
QUORLIX_API bool TimedWaitCountingSemaphore(CountingSemaphore* semaphore, int32_t milliseconds);
/// Releases `units` units. Returns false (and releases none past the limit) when the count
/// would pass k_SemaphoreMaximum.
QUORLIX_API bool PostCountingSemaphore(CountingSemaphore* semaphore, int32_t units);

/// The kernel's id of the calling thread (cached per thread; no system call after the first).
QUORLIX_API uint32_t CurrentThreadId();
/// The same without the per-thread cache, whose first use in a loaded library may allocate:
/// for signal handlers.
QUORLIX_API uint32_t CurrentThreadIdUncached() noexcept;

/// Suspends the calling thread for at least `milliseconds` (nothing for 0 or less).
QUORLIX_API void SleepMilliseconds(int32_t milliseconds);

} // namespace Quorlix::Platform
