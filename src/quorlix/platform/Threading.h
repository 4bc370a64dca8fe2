#pragma once
// Operating-system synchronisation objects and thread identity, behind opaque handles so that
// no system header leaks into the rest of the library.

#include <cstdint>

namespace Quorlix::Platform {

struct RecursiveMutex;
struct CountingSemaphore;

/// Creates a mutex that its owning thread may enter again. Never returns null.
RecursiveMutex* CreateRecursiveMutex();
void DestroyRecursiveMutex(RecursiveMutex* mutex);
void LockRecursiveMutex(RecursiveMutex* mutex);
/// Returns true when the mutex was taken without waiting.
bool TryLockRecursiveMutex(RecursiveMutex* mutex);
void UnlockRecursiveMutex(RecursiveMutex* mutex);

/// The largest count a semaphore can hold.
constexpr int32_t k_SemaphoreMaximum = 0x7FFFFFFF;

/// Creates a counting semaphore with `initial` units (clamped to 0..k_SemaphoreMaximum).
CountingSemaphore* CreateCountingSemaphore(int32_t initial);
void DestroyCountingSemaphore(CountingSemaphore* semaphore);
/// Waits without time-out for one unit.
void WaitCountingSemaphore(CountingSemaphore* semaphore);
/// Waits at most `milliseconds` for one unit; returns true when one was taken.
bool TimedWaitCountingSemaphore(CountingSemaphore* semaphore, int32_t milliseconds);
/// Releases `units` units. Returns false (and releases none past the limit) when the count
/// would pass k_SemaphoreMaximum.
bool PostCountingSemaphore(CountingSemaphore* semaphore, int32_t units);

/// The kernel's id of the calling thread (cached per thread; no system call after the first).
uint32_t CurrentThreadId();
/// The same without the per-thread cache, whose first use in a loaded library may allocate:
/// for signal handlers.
uint32_t CurrentThreadIdUncached() noexcept;

/// Suspends the calling thread for at least `milliseconds` (nothing for 0 or less).
void SleepMilliseconds(int32_t milliseconds);

} // namespace Quorlix::Platform
