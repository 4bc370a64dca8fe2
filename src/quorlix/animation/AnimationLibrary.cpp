#include "quorlix/animation/AnimationLibrary.h"

#include "quorlix/animation/internal/GrowingArray.h"

#include <type_traits>
#include <utility>

namespace Quorlix {

AnimationLibrary* AnimationLibrary::Create() {
    return NewObject<AnimationLibrary>();
}
const TypeInfo* AnimationLibrary::GetAnimationLibraryTypeInfo() noexcept {
    return &TypeOf<AnimationLibrary>();
}
AnimationLibrary::~AnimationLibrary() = default;

SplineBase* AnimationLibrary::GetCurve(int i) const {
    return Internal::ElementOr(m_Curve, i, Obj<SplineBase>()).Get();
}
void AnimationLibrary::SetCurve(int i, SplineBase* curve) {
    if (!Internal::GrowFor(m_Curve, i, Obj<SplineBase>(), "AnimationLibrary.Curve"))
        return;
    Internal::GrowFor(m_GroupPort, i, int32_t{-1}, "AnimationLibrary.GroupPort");
    m_Curve[i] = curve;
}
void AnimationLibrary::SetCurveCount(int n) {
    if (Internal::ResizeFilled(m_Curve, n, Obj<SplineBase>(), "AnimationLibrary.Curve"))
        Internal::ResizeFilled(m_GroupPort, n, int32_t{-1}, "AnimationLibrary.GroupPort");
}

int32_t AnimationLibrary::GetGroupPort(int i) const {
    return Internal::ElementOr(m_GroupPort, i, int32_t{-1});
}
void AnimationLibrary::SetGroupPort(int i, int32_t port) {
    if (!Internal::GrowFor(m_GroupPort, i, int32_t{-1}, "AnimationLibrary.GroupPort"))
        return;
    Internal::GrowFor(m_Curve, i, Obj<SplineBase>(), "AnimationLibrary.Curve");
    m_GroupPort[i] = port;
}

namespace {

// The value types of the splines in a Vector4f, the components they lack zero.
void Widen(float v, Vector4f& out) {
    out[0] = v;
}
template <class V>
void Widen(const V& v, Vector4f& out) {
    for (int c = 0; c < static_cast<int>(sizeof(V) / sizeof(float)); ++c)
        out[c] = v[c];
}

template <class S>
using Value = std::remove_cvref_t<decltype(std::declval<S>().GetKeyValue(0))>;

// Evaluates `curve` when it is an S: the exact type from the block header first (what every
// spline made by Create or a script has), a cast for classes derived in C++.
template <class S>
bool EvaluateAs(const SplineBase* curve, float time, Vector4f& out) {
    const S* spline = curve->GetTypeInfo() == &TypeOf<S>() ? static_cast<const S*>(curve)
                                                           : dynamic_cast<const S*>(curve);
    if (spline == nullptr)
        return false;
    if constexpr (std::is_same_v<S, SplineQuaternionf>) {
        Widen(spline->Evaluate(time), out);
    } else {
        Value<S> v{};
        spline->Evaluate(time, v);
        Widen(v, out);
    }
    return true;
}

} // namespace

void AnimationLibrary::EvaluateCurve(int i, double time, Vector4f& out) const {
    out = Vector4f::Zero;
    // No handle copy: this runs for every curve of every clip each frame.
    const SplineBase* curve = i >= 0 && i < m_Curve.Size() ? m_Curve[i].Get() : nullptr;
    if (curve == nullptr) {
        Internal::LogScriptError("AnimationLibrary: index out of range / no curve at given index.");
        return;
    }
    const float t = static_cast<float>(time);
    // A plain SplineBase holds times only: it leaves the value zero.
    EvaluateAs<SplineVector3f>(curve, t, out) || EvaluateAs<SplineScalarf>(curve, t, out) ||
        EvaluateAs<SplineVector4f>(curve, t, out) || EvaluateAs<SplineVector2f>(curve, t, out) ||
        EvaluateAs<SplineQuaternionf>(curve, t, out);
}

} // namespace Quorlix
