#include "quorlix/animation/ParentControl.h"

#include "quorlix/animation/internal/GrowingArray.h"

#include <cmath>
#include <limits>

namespace Quorlix {

ParentManager* ParentManager::Create() {
    return NewObject<ParentManager>();
}
const TypeInfo* ParentManager::GetParentManagerTypeInfo() noexcept {
    return &TypeOf<ParentManager>();
}
ParentManager::~ParentManager() = default;

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
    if (Internal::GrowFor(m_ControlArray, i, Obj<ParentControl>(), "ParentManager.ControlArray"))
        m_ControlArray[i] = control;
}
int ParentManager::GetControlCount() const {
    return m_ControlArray.Size();
}
void ParentManager::SetControlCount(int n) {
    Internal::ResizeFilled(m_ControlArray, n, Obj<ParentControl>(), "ParentManager.ControlArray");
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
