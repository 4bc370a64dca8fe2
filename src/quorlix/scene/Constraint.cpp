#include "quorlix/scene/Constraint.h"

namespace Quorlix {

Constraint* Constraint::Create() {
    return NewObject<Constraint>();
}
const TypeInfo* Constraint::GetConstraintTypeInfo() noexcept {
    return &TypeOf<Constraint>();
}
Constraint::~Constraint() = default;

AimConstraint* AimConstraint::Create() {
    return NewObject<AimConstraint>();
}
const TypeInfo* AimConstraint::GetAimConstraintTypeInfo() noexcept {
    return &TypeOf<AimConstraint>();
}
AimConstraint::~AimConstraint() = default;

TransformConstraint* TransformConstraint::Create() {
    return NewObject<TransformConstraint>();
}
const TypeInfo* TransformConstraint::GetTransformConstraintTypeInfo() noexcept {
    return &TypeOf<TransformConstraint>();
}
TransformConstraint::~TransformConstraint() = default;

PoleVectorConstraint* PoleVectorConstraint::Create() {
    return NewObject<PoleVectorConstraint>();
}
const TypeInfo* PoleVectorConstraint::GetPoleVectorConstraintTypeInfo() noexcept {
    return &TypeOf<PoleVectorConstraint>();
}
PoleVectorConstraint::~PoleVectorConstraint() = default;

} // namespace Quorlix
