#include "quorlix/animation/PoseBlend.h"

#include "quorlix/animation/internal/GrowingArray.h"

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

} // namespace Quorlix
