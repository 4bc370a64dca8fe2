#pragma once
// A lock that its owning thread may enter again, and its scoped guard.

#include "quorlix/platform/Export.h"

namespace Quorlix {

namespace Platform {
struct RecursiveMutex;
}

class QUORLIX_API CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    /// Enters only when no other thread holds the section; true when entered.
    [[nodiscard]] bool TryEnter();
    void Leave();

private:
    Platform::RecursiveMutex* m_Section;
};

/// Enters on construction, leaves on destruction.
class QUORLIX_API CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) : m_Section(section) {
        m_Section.Enter();
    }
    ~CriticalSectionLock() { m_Section.Leave(); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CriticalSection& m_Section;
};

} // namespace Quorlix
