#pragma once
// Counting semaphore (maximum count 0x7FFFFFFF) and its scoped guard. Not re-entrant: a
// thread that locks twice takes two units.

#include "quorlix/platform/Export.h"

namespace Quorlix {

namespace Platform {
struct CountingSemaphore;
}

class QUORLIX_API Semaphore {
public:
    explicit Semaphore(int initial = 1);
    ~Semaphore();
    Semaphore(const Semaphore&) = delete;
    Semaphore& operator=(const Semaphore&) = delete;

    /// Waits without time-out for one unit.
    void Lock();
    /// Waits at most `milliseconds` for one unit; true when one was taken.
    [[nodiscard]] bool TryLock(int milliseconds);
    /// Releases one unit.
    void Unlock();
    /// Releases `n` units (none when n <= 0).
    void Unlock(int n);

private:
    Platform::CountingSemaphore* m_Semaphore;
};

/// Waits on construction, releases one unit on destruction.
class QUORLIX_API SemaphoreLock {
public:
    explicit SemaphoreLock(Semaphore& semaphore) : m_Semaphore(semaphore) { m_Semaphore.Lock(); }
    ~SemaphoreLock() { m_Semaphore.Unlock(); }
    SemaphoreLock(const SemaphoreLock&) = delete;
    SemaphoreLock& operator=(const SemaphoreLock&) = delete;

private:
    Semaphore& m_Semaphore;
};

} // namespace Quorlix
