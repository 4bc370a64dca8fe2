#pragma once
// AnimationLibrary (class "AnimationLibrary", -3950): a recorded animation, a time range and a
// set of curves (splines), each tagged with the connection-group port it drives (GroupPort, one
// per curve). Curve evaluation and the setters that grow Curve and GroupPort together come with
// the animation scheduler; for now each array grows on its own.

#include "quorlix/animation/Spline.h"
#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API AnimationLibrary : public Object {
public:
    static AnimationLibrary* Create();
    static const TypeInfo* GetAnimationLibraryTypeInfo() noexcept;

    AnimationLibrary() noexcept = default;
    ~AnimationLibrary() override;

    /// Curve i; null outside the curves or where none is set.
    SplineBase* GetCurve(int i) const;
    /// Stores curve i (null for none), growing the curves to i + 1 with empty entries. Indices
    /// below 0, of 2^24 and above or growing by more than 65536 are refused with an error line.
    void SetCurve(int i, SplineBase* curve);
    int GetCurveCount() const { return m_Curve.Size(); }
    /// Grows (empty entries) or shrinks the curves; a count outside 0..2^24 is refused (logged).
    void SetCurveCount(int n);

    double m_StartTime = 0.0;
    double m_EndTime = 0.0;
    Array<int32_t> m_GroupPort;

private:
    Array<Obj<SplineBase>> m_Curve;
};

} // namespace Quorlix
