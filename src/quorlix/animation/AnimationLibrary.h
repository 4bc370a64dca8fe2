#pragma once
// AnimationLibrary (class "AnimationLibrary", -3950): a recorded animation, a time range and a
// set of curves (splines), each tagged with the connection-group port it drives (GroupPort, one
// per curve). Curve and GroupPort stay parallel: writing an element of either grows both, new
// ports -1 (none).

#include "quorlix/animation/Spline.h"
#include "quorlix/core/Array.h"
#include "quorlix/math/Vector4f.h"
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
    /// Stores curve i (null for none), growing both arrays to i + 1 (empty curves, ports -1).
    /// Indices below 0, of 2^24 and above or growing by more than 65536 are refused with an
    /// error line.
    void SetCurve(int i, SplineBase* curve);
    int GetCurveCount() const { return m_Curve.Size(); }
    /// Sets the count of both arrays (new curves empty, new ports -1); a count outside 0..2^24
    /// is refused (logged).
    void SetCurveCount(int n);

    /// The port curve i drives; -1 outside the curves.
    int32_t GetGroupPort(int i) const;
    /// Stores the port of curve i, growing both arrays as SetCurve does.
    void SetGroupPort(int i, int32_t port);
    int GetGroupPortCount() const { return m_GroupPort.Size(); }
    void SetGroupPortCount(int n) { SetCurveCount(n); }

    /// The curves and their ports as stored, for drivers that walk them every frame.
    const Array<Obj<SplineBase>>& GetCurves() const noexcept { return m_Curve; }
    const Array<int32_t>& GetGroupPorts() const noexcept { return m_GroupPort; }

    /// Curve i at `time` (converted to F32) into `out`, which is zeroed first: a scalar curve
    /// fills x, a Vector2f curve x and y, and so on; a rotation curve fills (x, y, z, w). An
    /// index outside the curves or a missing curve logs an error and leaves `out` zero.
    void EvaluateCurve(int i, double time, Vector4f& out) const;

    double m_StartTime = 0.0;
    double m_EndTime = 0.0;

private:
    Array<Obj<SplineBase>> m_Curve;
    Array<int32_t> m_GroupPort;
};

} // namespace Quorlix
