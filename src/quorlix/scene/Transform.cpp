#include "quorlix/scene/Transform.h"

namespace Quorlix {

// --- SBaseTransform / TBaseTransform ------------------------------------------------------------

SBaseTransform* SBaseTransform::Create() {
    return NewObject<SBaseTransform>();
}
const TypeInfo* SBaseTransform::GetSBaseTransformTypeInfo() noexcept {
    return &TypeOf<SBaseTransform>();
}
SBaseTransform::~SBaseTransform() = default;

TBaseTransform* TBaseTransform::Create() {
    return NewObject<TBaseTransform>();
}
const TypeInfo* TBaseTransform::GetTBaseTransformTypeInfo() noexcept {
    return &TypeOf<TBaseTransform>();
}
TBaseTransform::TBaseTransform() : TBranch(SBaseTransform::Create()) {}
TBaseTransform::~TBaseTransform() = default;

void TBaseTransform::SetModelViewMatrix(const Matrix4f& m) noexcept {
    m_ModelViewMatrix = m;
    m_InverseValid = false;
}

const Matrix4f& TBaseTransform::GetModelViewMatrixInverse() const noexcept {
    if (!m_InverseValid) {
        // A singular matrix leaves what the inversion wrote; the cache is valid either way.
        (void)m_ModelViewMatrixInverse.AssignInvertAffine(m_ModelViewMatrix);
        m_InverseValid = true;
    }
    return m_ModelViewMatrixInverse;
}

void TBaseTransform::SetModelViewMatrixInverse(const Matrix4f& m) noexcept {
    m_ModelViewMatrixInverse = m;
    m_InverseValid = true;
}

// --- SSimpleTransform / TSimpleTransform --------------------------------------------------------

SSimpleTransform* SSimpleTransform::Create() {
    return NewObject<SSimpleTransform>();
}
const TypeInfo* SSimpleTransform::GetSSimpleTransformTypeInfo() noexcept {
    return &TypeOf<SSimpleTransform>();
}
SSimpleTransform::~SSimpleTransform() = default;

// Limits are not applied here yet: the setters store, keep the component word and invalidate.
void SSimpleTransform::SetTranslation(const Vector3f& t) noexcept {
    m_Translation = t;
    SetComponent(ComponentTranslation, t != Vector3f::Zero);
    InvalidateLocal();
}

void SSimpleTransform::SetRotation(const Vector3f& r) noexcept {
    m_Rotation = r;
    SetComponent(ComponentRotation, r != Vector3f::Zero);
    InvalidateLocal();
}

void SSimpleTransform::SetRotationOrder(Eulerf::RotationOrder order) noexcept {
    m_RotationOrder = order;
    InvalidateLocal();
}

void SSimpleTransform::SetScaling(const Vector3f& s) noexcept {
    m_Scaling = s;
    SetComponent(ComponentScaling, s != Vector3f(1.0f, 1.0f, 1.0f));
    InvalidateLocal();
}

TSimpleTransform* TSimpleTransform::Create() {
    return NewObject<TSimpleTransform>();
}
const TypeInfo* TSimpleTransform::GetTSimpleTransformTypeInfo() noexcept {
    return &TypeOf<TSimpleTransform>();
}
TSimpleTransform::TSimpleTransform() : TBaseTransform(SSimpleTransform::Create()) {}
TSimpleTransform::~TSimpleTransform() = default;

// --- STransform / TTransform --------------------------------------------------------------------

STransform* STransform::Create() {
    return NewObject<STransform>();
}
const TypeInfo* STransform::GetSTransformTypeInfo() noexcept {
    return &TypeOf<STransform>();
}
STransform::~STransform() = default;

TTransform* TTransform::Create() {
    return NewObject<TTransform>();
}
const TypeInfo* TTransform::GetTTransformTypeInfo() noexcept {
    return &TypeOf<TTransform>();
}
TTransform::TTransform() : TSimpleTransform(STransform::Create()) {}
TTransform::~TTransform() = default;

// --- SClusterHandle / TClusterHandle ------------------------------------------------------------

SClusterHandle* SClusterHandle::Create() {
    return NewObject<SClusterHandle>();
}
const TypeInfo* SClusterHandle::GetSClusterHandleTypeInfo() noexcept {
    return &TypeOf<SClusterHandle>();
}
SClusterHandle::~SClusterHandle() = default;

TClusterHandle* TClusterHandle::Create() {
    return NewObject<TClusterHandle>();
}
const TypeInfo* TClusterHandle::GetTClusterHandleTypeInfo() noexcept {
    return &TypeOf<TClusterHandle>();
}
TClusterHandle::TClusterHandle() : TTransform(SClusterHandle::Create()) {}
TClusterHandle::~TClusterHandle() = default;

} // namespace Quorlix
