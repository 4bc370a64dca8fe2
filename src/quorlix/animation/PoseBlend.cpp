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

} // namespace Quorlix
