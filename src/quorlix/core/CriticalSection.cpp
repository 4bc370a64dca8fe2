#include "quorlix/core/CriticalSection.h"

#include "quorlix/platform/Threading.h"

namespace Quorlix {

CriticalSection::CriticalSection() : m_Section(Platform::CreateRecursiveMutex()) {}

CriticalSection::~CriticalSection() {
    Platform::DestroyRecursiveMutex(m_Section);
}

void CriticalSection::Enter() {
    Platform::LockRecursiveMutex(m_Section);
}

bool CriticalSection::TryEnter() {
    return Platform::TryLockRecursiveMutex(m_Section);
}

void CriticalSection::Leave() {
    Platform::UnlockRecursiveMutex(m_Section);
}

} // namespace Quorlix
