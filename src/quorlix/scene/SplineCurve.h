#pragma once
// A curve node: knots and control vertices, used by spline IK handles.

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

class QUORLIX_API SSplineCurve : public SLeaf {
public:
    static SSplineCurve* Create();
    static const TypeInfo* GetSSplineCurveTypeInfo() noexcept;
    SSplineCurve() noexcept = default;
    ~SSplineCurve() override;

    const Array<float>& GetKnotArray() const noexcept { return m_KnotArray; }
    const Array<Vector3f>& GetCVArray() const noexcept { return m_CVArray; }

private:
    friend void BindSceneNodeClasses();
    Array<float> m_KnotArray;
    Array<Vector3f> m_CVArray;
};

class QUORLIX_API TSplineCurve : public TLeaf {
public:
    static TSplineCurve* Create();
    static const TypeInfo* GetTSplineCurveTypeInfo() noexcept;
    TSplineCurve();
    ~TSplineCurve() override;
};

} // namespace Quorlix
