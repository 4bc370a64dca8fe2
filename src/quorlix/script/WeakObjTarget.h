#pragma once
// The cell through which weak holders reach an object. The object creates its cell on first
// request and holds one reference to it; when the object dies it points the cell at the nil
// object, so holders see the nil object afterwards instead of a dangling pointer.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class ScriptObject;

class QUORLIX_API WeakObjTarget {
public:
    /// A new cell (reference count 0) pointing at `target`.
    static WeakObjTarget* Create(ScriptObject* target);

    ScriptObject* GetTarget() const noexcept { return m_Target; }
    /// Points the cell at another object (the nil object when the target dies).
    void SetTarget(ScriptObject* target) noexcept { m_Target = target; }

private:
    constexpr explicit WeakObjTarget(ScriptObject* target) noexcept : m_Target(target) {}
    template <class T, class... Args>
    friend T* NewObject(Args&&... args);
    friend struct NilWeakObjTargetBlock; // the static target of the nil object

    ScriptObject* m_Target;
};

} // namespace Quorlix
