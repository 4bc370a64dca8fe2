#pragma once
// Re-parenting of scene nodes on request. A ParentControl (-3856) names a child T node and the
// id of the parent it should hang under, an index into its ParentManager's (-3855) ParentArray
// of T branches; SwapRange lets ParentIDSwap view the id with two id ranges exchanged. The
// manager's update and the setters that hand changed controls to it come later; for now
// ParentID and the arrays store what they are given.

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"
#include "quorlix/script/Object.h"

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
    /// Stores control i (null for none), growing the array to i + 1 with empty entries. Indices
    /// below 0, of 2^24 and above or growing by more than 65536 are refused with an error line.
    void SetControl(int i, ParentControl* control);
    int GetControlCount() const;
    /// Grows (empty entries) or shrinks the array; a count outside 0..2^24 is refused (logged).
    void SetControlCount(int n);

    /// Parent i; null outside the array or where none is set.
    TBranch* GetParent(int i) const;
    /// Stores parent i (null for none), growing the array like SetControl.
    void SetParent(int i, TBranch* parent);
    int GetParentCount() const { return m_ParentArray.Size(); }
    /// Grows (empty entries) or shrinks the array like SetControlCount.
    void SetParentCount(int n);

private:
    Array<Obj<ParentControl>> m_ControlArray;
    Array<Obj<TBranch>> m_ParentArray;
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

    /// ParentID seen through SwapRange.
    int32_t GetParentIDSwap() const noexcept { return SwapID(m_ParentID, m_SwapRange); }
    /// Sets ParentID to `id` seen through SwapRange.
    void SetParentIDSwap(int32_t id) noexcept { m_ParentID = SwapID(id, m_SwapRange); }

    Obj<ParentManager> m_ParentManager;
    Obj<TNode> m_Child;      // null when none
    int32_t m_ParentID = -1; // negative: no parent requested
    Vector4f m_SwapRange{0, 0, 0, 0};
};

} // namespace Quorlix
