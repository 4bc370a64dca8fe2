#include "quorlix/animation/ParentControl.h"

#include "quorlix/animation/internal/GrowingArray.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cmath>
#include <limits>

namespace Quorlix {

ParentManager* ParentManager::Create() {
    return NewObject<ParentManager>();
}
const TypeInfo* ParentManager::GetParentManagerTypeInfo() noexcept {
    return &TypeOf<ParentManager>();
}
ParentManager::~ParentManager() {
    // Releasing the arrays may end controls and nodes; nothing may queue on a dying manager.
    m_Destroying = true;
    Unmark(m_Pending);
}

ParentControl* ParentControl::Create() {
    return NewObject<ParentControl>();
}
const TypeInfo* ParentControl::GetParentControlTypeInfo() noexcept {
    return &TypeOf<ParentControl>();
}
ParentControl::~ParentControl() = default;

ParentControl* ParentManager::GetControl(int i) const {
    return Internal::ElementOr(m_ControlArray, i, Obj<ParentControl>()).Get();
}
void ParentManager::SetControl(int i, ParentControl* control) {
    if (Internal::GrowFor(m_ControlArray, i, Obj<ParentControl>(), "ParentManager.ControlArray")) {
        m_ControlArray[i] = control;
        m_AllDirty = true;
    }
}
int ParentManager::GetControlCount() const {
    return m_ControlArray.Size();
}
void ParentManager::SetControlCount(int n) {
    if (Internal::ResizeFilled(m_ControlArray, n, Obj<ParentControl>(),
                               "ParentManager.ControlArray"))
        m_AllDirty = true;
}

TBranch* ParentManager::GetParent(int i) const {
    return Internal::ElementOr(m_ParentArray, i, Obj<TBranch>()).Get();
}
void ParentManager::SetParent(int i, TBranch* parent) {
    if (Internal::GrowFor(m_ParentArray, i, Obj<TBranch>(), "ParentManager.ParentArray"))
        m_ParentArray[i] = parent;
}
void ParentManager::SetParentCount(int n) {
    Internal::ResizeFilled(m_ParentArray, n, Obj<TBranch>(), "ParentManager.ParentArray");
}

void ParentManager::MarkDirty(ParentControl* control) {
    // A dirty manager applies its whole array and drops the queue anyway.
    if (control == nullptr || m_AllDirty || m_Destroying || control->m_QueuedIn == this)
        return;
    auto* cell = const_cast<WeakObjTarget*>(control->GetWeakObjTarget());
    if (control->m_QueuedIn == nullptr) {
        control->m_QueuedIn = this;
    } else {
        // Queued in another manager as well (its manager changed): the mark belongs to that
        // one, so look here; each manager applies the control once.
        for (const Obj<WeakObjTarget>& queued : m_Pending) {
            if (queued.Get() == cell)
                return;
        }
    }
    m_Pending.Add(Obj<WeakObjTarget>(cell));
}

void ParentManager::Unmark(const Array<Obj<WeakObjTarget>>& queue) const noexcept {
    for (const Obj<WeakObjTarget>& cell : queue) {
        ScriptObject* target = cell->GetTarget();
        if (!target->IsNil() && static_cast<ParentControl*>(target)->m_QueuedIn == this)
            static_cast<ParentControl*>(target)->m_QueuedIn = nullptr;
    }
}

void ParentManager::AdvanceFrame() {
    // Both lists are taken first: applying moves nodes, and whatever that sets off (a control
    // queued again, the array changed) belongs to the next update.
    Array<Obj<WeakObjTarget>> pending;
    pending.Swap(m_Pending);
    Unmark(pending);
    if (m_AllDirty) {
        m_AllDirty = false;
        const Array<Obj<ParentControl>> controls = m_ControlArray; // shared until changed
        for (const Obj<ParentControl>& control : controls) {
            if (control != nullptr)
                Apply(*control);
        }
        return;
    }
    for (const Obj<WeakObjTarget>& cell : pending) {
        ScriptObject* target = cell->GetTarget();
        if (target->IsNil())
            continue;
        const Obj<ParentControl> control(static_cast<ParentControl*>(target));
        Apply(*control);
    }
}

void ParentManager::Apply(ParentControl& control) {
    const int32_t id = control.m_ParentID;
    if (id < 0)
        return;
    TBranch* parent = GetParent(id);
    if (parent == nullptr) {
        Internal::LogScriptWarn("ParentManager: requested undefined ParentID ", id, " for \"",
                                control.GetNameCPtr(), "\".");
        return;
    }
    TNode* child = control.m_Child.Get();
    if (child == nullptr || id == control.m_AppliedID)
        return;
    if (parent->IsSelfOrDescendantOf(child)) {
        Internal::LogScriptWarn("ParentManager: ParentID ", id, " for \"", control.GetNameCPtr(),
                                "\" would put \"", child->GetNameCPtr(),
                                "\" below itself; ignored.");
        return;
    }
    control.m_AppliedID = id;
    const Obj<TBranch> keep(parent); // the move may release the array that holds it
    child->SetParent(parent);
}

void ParentControl::SetParentID(int32_t id) {
    if (id < 0 || id == m_ParentID)
        return;
    if (m_ParentManager != nullptr)
        m_ParentManager->MarkDirty(this);
    m_ParentID = id;
}

namespace {

// A range bound as an integer: truncated toward zero, NaN as 0, clamped to 32 bits.
int64_t RangeBound(float v) noexcept {
    if (std::isnan(v))
        return 0;
    constexpr float k_Limit = 2147483648.0f;
    if (v >= k_Limit)
        return std::numeric_limits<int32_t>::max();
    if (v <= -k_Limit)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int64_t>(std::trunc(v));
}

} // namespace

int32_t ParentControl::SwapID(int32_t id, const Vector4f& range) noexcept {
    const int64_t x0 = RangeBound(range.GetX());
    const int64_t x1 = RangeBound(range.GetY());
    const int64_t y0 = RangeBound(range.GetZ());
    const int64_t y1 = RangeBound(range.GetW());
    int64_t swapped = id;
    if (id >= x0 && id < x1)
        swapped = id + (y0 - x0);
    else if (id >= y0 && id < y1)
        swapped = id + (x0 - y0);
    if (swapped > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (swapped < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(swapped);
}

} // namespace Quorlix
