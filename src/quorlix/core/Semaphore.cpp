#include "quorlix/core/Semaphore.h"

#include "quorlix/platform/Threading.h"

namespace Quorlix {

Semaphore::Semaphore(int initial) : m_Semaphore(Platform::CreateCountingSemaphore(initial)) {}

Semaphore::~Semaphore() {
    Platform::DestroyCountingSemaphore(m_Semaphore);
}

void Semaphore::Lock() {
    Platform::WaitCountingSemaphore(m_Semaphore);
}

bool Semaphore::TryLock(int milliseconds) {
    return Platform::TimedWaitCountingSemaphore(m_Semaphore, milliseconds);
}

void Semaphore::Unlock() {
    Platform::PostCountingSemaphore(m_Semaphore, 1);
}

void Semaphore::Unlock(int n) {
    if (n > 0)
        Platform::PostCountingSemaphore(m_Semaphore, n);
}

} // namespace Quorlix
