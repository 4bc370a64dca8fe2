#include "quorlix/animation/PoseBlend.h"

#include "quorlix/animation/internal/GrowingArray.h"
#include "quorlix/animation/internal/MemberPort.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <cmath>

namespace Quorlix {

PoseBlend* PoseBlend::Create() {
    return NewObject<PoseBlend>();
}
const TypeInfo* PoseBlend::GetPoseBlendTypeInfo() noexcept {
    return &TypeOf<PoseBlend>();
}
PoseBlend::~PoseBlend() = default;

PoseBlend::Operator PoseBlend::GetOperator(int i) const {
    return Internal::ElementOr(m_OperatorArray, i, Operator::Add);
}
void PoseBlend::SetOperator(int i, Operator op) {
    if (Internal::GrowFor(m_OperatorArray, i, Operator::Add, "PoseBlend.OperatorArray"))
        m_OperatorArray[i] = op;
}
void PoseBlend::SetOperatorCount(int n) {
    Internal::ResizeFilled(m_OperatorArray, n, Operator::Add, "PoseBlend.OperatorArray");
}

BlendControl* PoseBlend::GetBlendControl(int i) const {
    return Internal::ElementOr(m_BlendControl, i, Obj<BlendControl>()).Get();
}
void PoseBlend::SetBlendControl(int i, BlendControl* control) {
    if (Internal::GrowFor(m_BlendControl, i, Obj<BlendControl>(), "PoseBlend.BlendControl"))
        m_BlendControl[i] = control;
}
void PoseBlend::SetBlendControlCount(int n) {
    Internal::ResizeFilled(m_BlendControl, n, Obj<BlendControl>(), "PoseBlend.BlendControl");
}

VertexDataF32* PoseBlend::GetValue(int i) const {
    return Internal::ElementOr(m_ValueArray, i, Obj<VertexDataF32>()).Get();
}
void PoseBlend::SetValue(int i, VertexDataF32* values) {
    if (Internal::GrowFor(m_ValueArray, i, Obj<VertexDataF32>(), "PoseBlend.ValueArray"))
        m_ValueArray[i] = values;
}
void PoseBlend::SetValueCount(int n) {
    Internal::ResizeFilled(m_ValueArray, n, Obj<VertexDataF32>(), "PoseBlend.ValueArray");
}

namespace {

constexpr float k_MinWeight = 0.0009765625f; // 2^-10: smaller weights are noise
constexpr float k_MulCeiling = 1e10f;        // Mul values above it leave the channel alone

// Applies one pose to the first `n` channels of `acc`; false for an unknown operator.
bool ApplyPose(PoseBlend::Operator op, float w, const float* v, float* acc, int n) {
    switch (op) {
    case PoseBlend::Operator::Add:
        for (int k = 0; k < n; ++k)
            acc[k] += w * v[k];
        return true;
    case PoseBlend::Operator::Blend:
        for (int k = 0; k < n; ++k)
            acc[k] = (1.0f - w) * acc[k] + w * v[k];
        return true;
    case PoseBlend::Operator::Min:
        for (int k = 0; k < n; ++k) {
            if (acc[k] < v[k])
                acc[k] = w * v[k] + (1.0f - w) * acc[k];
        }
        return true;
    case PoseBlend::Operator::Max:
        for (int k = 0; k < n; ++k) {
            if (v[k] < acc[k])
                acc[k] = w * v[k] + (1.0f - w) * acc[k];
        }
        return true;
    case PoseBlend::Operator::Mul:
        for (int k = 0; k < n; ++k) {
            if (v[k] <= k_MulCeiling)
                acc[k] = w * v[k] * acc[k];
        }
        return true;
    }
    return false;
}

// Writes `value` to the port member `m` of `object`.
void WritePort(ScriptObject* object, const ClassType_MemberID* m, uint32_t mask, float value,
               int port) {
    const MVTBL* entry = nullptr;
    if (Internal::FindPortMember(object, m, entry) != Internal::MemberPortLookup::Found) {
        Internal::LogScriptError("PoseBlend: port ", port,
                                 " names a member its object does not have.");
        return;
    }
    if ((entry->m_Flags & (MemberIsIndex | MemberIsArray)) != 0)
        return;
    switch (ClassIndexOf(entry->m_Type)) {
    case k_ClassF32:
        object->Set(static_cast<const ClassMember_F32*>(m), value);
        return;
    case k_ClassVector3f: {
        const auto* vector = static_cast<const ClassMember_Vector3f*>(m);
        Vector3f v = object->Get(vector);
        if ((mask & 1u) != 0)
            v.SetX(value);
        if ((mask & 2u) != 0)
            v.SetY(value);
        if ((mask & 4u) != 0)
            v.SetZ(value);
        object->Set(vector, v);
        return;
    }
    default:
        Internal::LogScriptWarn("PoseBlend: unsupported attribute type.");
        return;
    }
}

} // namespace

void PoseBlend::AdvanceFrame() {
    const int channels = m_PoseDefault.Size();
    Array<float> acc;
    acc.Resize(channels);
    float* sum = channels > 0 ? &acc[0] : nullptr;

    const int poses =
        std::min({m_ValueArray.Size(), m_BlendControl.Size(), m_OperatorArray.Size()});
    for (int i = 0; i < poses; ++i) {
        const BlendControl* control = m_BlendControl.Data()[i].Get();
        const VertexDataF32* values = m_ValueArray.Data()[i].Get();
        if (control == nullptr || values == nullptr)
            continue;
        const float w = control->m_Weight;
        if (!(std::fabs(w) >= k_MinWeight))
            continue;
        const Operator op = m_OperatorArray.Data()[i];
        const int n = std::min(channels, values->m_DataArray.Size());
        if (!ApplyPose(op, w, values->m_DataArray.Data(), sum, n))
            Internal::LogScriptWarn("PoseBlend: unsupported operator ", static_cast<uint32_t>(op),
                                    ".");
    }
    for (int k = 0; k < channels; ++k)
        sum[k] += m_PoseDefault.Data()[k];

    // Setters may change the group (or drop this pose): hold the group and re-check its
    // arrays before each port.
    const Obj<ConnectionGroup> group = m_ConnectionGroup;
    if (group == nullptr)
        return;
    const auto reach = [&group, channels] {
        return std::min(
            {group->m_Object.Size(), group->m_Member.Size(), group->m_MemberMask.Size(), channels});
    };
    for (int k = reach() - 1; k >= 0; --k) {
        if (k >= reach())
            continue;
        const Obj<ScriptObject> object = group->m_Object.Data()[k];
        if (object == nullptr || object->IsNil())
            continue;
        WritePort(object, group->m_Member.Data()[k], group->m_MemberMask.Data()[k], sum[k], k);
    }
}

} // namespace Quorlix
