#pragma once
// Counted handles to objects in counted blocks. A handle is one pointer; copying it costs one
// atomic increment. The pointee must be the start of its block's payload (objects derive from
// their counted base by single inheritance).

#include "quorlix/core/Memory.h"

#include <type_traits>

namespace Quorlix {

namespace Internal {

/// Shared body of Obj<T> and Ptr<T>. May be null.
template <class T>
class CountedHandle {
public:
    CountedHandle() noexcept = default;
    CountedHandle(T* object) noexcept : m_Ptr(object) { AddRef(object); }
    CountedHandle(const CountedHandle& other) noexcept : m_Ptr(other.m_Ptr) { AddRef(m_Ptr); }
    CountedHandle(CountedHandle&& other) noexcept : m_Ptr(other.m_Ptr) { other.m_Ptr = nullptr; }
    ~CountedHandle() { Release(m_Ptr); }

    /// Takes the new reference before dropping the old one, so assigning a handle the object
    /// it already holds is safe.
    CountedHandle& operator=(T* object) noexcept {
        AddRef(object);
        T* old = m_Ptr;
        m_Ptr = object;
        Release(old);
        return *this;
    }
    CountedHandle& operator=(const CountedHandle& other) noexcept { return *this = other.m_Ptr; }
    CountedHandle& operator=(CountedHandle&& other) noexcept {
        if (this != &other) {
            T* old = m_Ptr;
            m_Ptr = other.m_Ptr;
            other.m_Ptr = nullptr;
            Release(old);
        }
        return *this;
    }

    T* Get() const noexcept { return m_Ptr; }
    T* operator->() const noexcept { return m_Ptr; }
    T& operator*() const noexcept { return *m_Ptr; }
    operator T*() const noexcept { return m_Ptr; }
    explicit operator bool() const noexcept { return m_Ptr != nullptr; }

    /// Hands the pointer over without dropping its reference.
    T* Detach() noexcept {
        T* object = m_Ptr;
        m_Ptr = nullptr;
        return object;
    }
    /// Hands the object over as Create functions do: this handle's reference is dropped without
    /// destroying the object, so the receiver's first handle takes it. Only for objects no
    /// other handle holds.
    T* Handover() noexcept {
        T* object = m_Ptr;
        m_Ptr = nullptr;
        if (object != nullptr)
            BlockDropToZero(object);
        return object;
    }

private:
    static void AddRef(T* object) noexcept {
        if (object != nullptr)
            BlockAddRef(object);
    }
    static void Release(T* object) noexcept {
        if (object != nullptr)
            BlockRelease(object);
    }

    T* m_Ptr = nullptr;
};

} // namespace Internal

/// Counted handle to an object. When the last handle goes, the object is destroyed through the
/// type record in its block header.
template <class T>
class Obj : public Internal::CountedHandle<T> {
public:
    using Internal::CountedHandle<T>::CountedHandle;
    using Internal::CountedHandle<T>::operator=;
    Obj() noexcept = default;
    template <class U>
    requires std::is_convertible_v<U*, T*> Obj(const Obj<U>& other)
    noexcept : Internal::CountedHandle<T>(other.Get()) {}
};

/// Counted handle for global pointers (for example the log console); the same rules as Obj.
template <class T>
class Ptr : public Internal::CountedHandle<T> {
public:
    using Internal::CountedHandle<T>::CountedHandle;
    using Internal::CountedHandle<T>::operator=;
    Ptr() noexcept = default;
};

template <class T>
struct IsBytewiseRelocatable<Obj<T>> : std::true_type {};
template <class T>
struct IsBytewiseRelocatable<Ptr<T>> : std::true_type {};

} // namespace Quorlix
