#pragma once
// Re-parenting of scene nodes on request. A ParentControl (-3856) names a child T node and the
// id of the parent it should hang under, an index into its ParentManager's (-3855) ParentArray
// of T branches; SwapRange lets ParentIDSwap view the id with two id ranges exchanged.
//
// Requests are gathered and applied once per frame: a control whose ParentID changes is handed
// to its manager (MarkDirty), a change of the manager's ControlArray marks all its controls, and
// the manager's AdvanceFrame moves the children. The host calls AdvanceFrame before the scene
// update of the frame, so that the world matrices follow the new parents at once.
//
// A control holds its manager and the manager's ControlArray holds the control: the pair lives
// until one side lets go (ControlArray emptied, or the control's ParentManager cleared).

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/WeakObjTarget.h"

#include <cstdint>

namespace Quorlix {

class ParentControl;

class QUORLIX_API ParentManager : public Object {
public:
    static ParentManager* Create();
    static const TypeInfo* GetParentManagerTypeInfo() noexcept;

    ParentManager() noexcept = default;
    ~ParentManager() override;

    /// Control i; null outside the array or where none is set.
    ParentControl* GetControl(int i) const;
    /// Stores control i (null for none), growing the array to i + 1 with empty entries, and
    /// marks the whole manager dirty. Indices below 0, of 2^24 and above or growing by more
    /// than 65536 are refused with an error line and change nothing.
    void SetControl(int i, ParentControl* control);
    int GetControlCount() const;
    /// Grows (empty entries) or shrinks the array and marks the whole manager dirty; a count
    /// outside 0..2^24 is refused (logged).
    void SetControlCount(int n);

    /// Parent i; null outside the array or where none is set.
    TBranch* GetParent(int i) const;
    /// Stores parent i (null for none), growing the array like SetControl.
    void SetParent(int i, TBranch* parent);
    int GetParentCount() const { return m_ParentArray.Size(); }
    /// Grows (empty entries) or shrinks the array like SetControlCount.
    void SetParentCount(int n);

    /// Queues `control` for the next AdvanceFrame (once, however often it is handed over);
    /// null, and calls while the whole manager is dirty or being destroyed, change nothing.
    /// The queue does not keep the control alive: one that dies before the update is skipped.
    void MarkDirty(ParentControl* control);
    /// Whether ControlArray changed since the last AdvanceFrame.
    bool IsAllDirty() const noexcept { return m_AllDirty; }
    /// Applies every control of ControlArray when the whole manager is dirty (and clears that),
    /// else the queued controls in the order they were queued; then empties the queue.
    /// Applying a control with a ParentID of 0 or more:
    /// - an id beyond ParentArray or naming an empty entry logs the warning "ParentManager:
    ///   requested undefined ParentID <id> for "<control>".";
    /// - else, when the control has a Child and the id differs from the one it applied last,
    ///   the child moves under ParentArray[id] (TNode::SetParent) and the id is recorded;
    /// - a parent that is the child or lies below it is refused with the warning
    ///   "ParentManager: ParentID <id> for "<control>" would put "<child>" below itself;
    ///   ignored." and the id is not recorded, so a later update tries again.
    void AdvanceFrame();

private:
    void Apply(ParentControl& control);
    // Clears the queued mark of the live controls in `queue` that name this manager.
    void Unmark(const Array<Obj<WeakObjTarget>>& queue) const noexcept;

    Array<Obj<ParentControl>> m_ControlArray;
    Array<Obj<TBranch>> m_ParentArray;
    // Weak, so that a queued control neither stays alive nor closes a reference cycle.
    Array<Obj<WeakObjTarget>> m_Pending;
    bool m_AllDirty = false;
    bool m_Destroying = false;
};

class QUORLIX_API ParentControl : public Object {
public:
    static ParentControl* Create();
    static const TypeInfo* GetParentControlTypeInfo() noexcept;

    ParentControl() noexcept = default;
    ~ParentControl() override;

    /// `id` with the ranges [x0, x1) and [y0, y1) of `range` (x0, x1, y0, y1, each truncated
    /// toward zero; NaN counts as 0) exchanged: an id in [x0, x1) becomes id + (y0 - x0), one in
    /// [y0, y1) id + (x0 - y0); other ids stay. Results beyond the 32-bit range are clamped.
    static int32_t SwapID(int32_t id, const Vector4f& range) noexcept;

    /// The requested parent's index in the manager's ParentArray; negative: none.
    int32_t GetParentID() const noexcept { return m_ParentID; }
    /// Requests parent `id`: ignored when `id` is negative or the current id; otherwise the
    /// control is handed to its manager's MarkDirty (when it has one) and the id stored.
    void SetParentID(int32_t id);
    /// ParentID seen through SwapRange.
    int32_t GetParentIDSwap() const noexcept { return SwapID(m_ParentID, m_SwapRange); }
    /// SetParentID with `id` seen through SwapRange.
    void SetParentIDSwap(int32_t id) { SetParentID(SwapID(id, m_SwapRange)); }

    Obj<ParentManager> m_ParentManager;
    Obj<TNode> m_Child; // null when none
    Vector4f m_SwapRange{0, 0, 0, 0};

private:
    friend class ParentManager;

    int32_t m_ParentID = -1;                   // negative: no parent requested
    int32_t m_AppliedID = -1;                  // the id the child was last moved for
    const ParentManager* m_QueuedIn = nullptr; // the manager whose queue holds this control
};

} // namespace Quorlix
