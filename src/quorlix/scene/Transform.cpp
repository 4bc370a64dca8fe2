#include "quorlix/scene/Transform.h"

#include "quorlix/scene/internal/SceneStructure.h"
#include "quorlix/scene/internal/SlotPool.h"
#include "quorlix/scene/internal/TransformMath.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cmath>

namespace Quorlix {

// --- SBaseTransform / TBaseTransform ------------------------------------------------------------

SBaseTransform* SBaseTransform::Create() {
    return NewObject<SBaseTransform>();
}
const TypeInfo* SBaseTransform::GetSBaseTransformTypeInfo() noexcept {
    return &TypeOf<SBaseTransform>();
}
namespace {

// Never destroyed: objects may give their slots back after every static is gone.
Internal::SlotPool& LocalSlots() {
    static auto* pool = new Internal::SlotPool(sizeof(SBaseTransform::LocalSlot));
    return *pool;
}
Internal::SlotPool& ViewSlots() {
    static auto* pool = new Internal::SlotPool(sizeof(TBaseTransform::ViewSlot));
    return *pool;
}

constexpr int k_MaxConstraintGrowth = 65536;

} // namespace

SBaseTransform::SBaseTransform()
    : m_Local(new (LocalSlots().Acquire()) LocalSlot{Matrix4f::Identity, LocalIdentity}) {}

SBaseTransform::~SBaseTransform() {
    LocalSlots().Release(m_Local);
}

bool SBaseTransform::BuildLocal(Matrix4f& out) const {
    out = Matrix4f::Identity;
    return true;
}

void SBaseTransform::RebuildLocal() const {
    m_Local->m_State = BuildLocal(m_Local->m_Matrix) ? LocalIdentity : LocalValid;
}

TBaseTransform* TBaseTransform::Create() {
    return NewObject<TBaseTransform>();
}
const TypeInfo* TBaseTransform::GetTBaseTransformTypeInfo() noexcept {
    return &TypeOf<TBaseTransform>();
}
TBaseTransform::TBaseTransform() : TBaseTransform(SBaseTransform::Create()) {}
TBaseTransform::TBaseTransform(SNode* s)
    : TBranch(s), m_View(new (ViewSlots().Acquire()) ViewSlot{Matrix4f::Identity, 0, true}) {}
TBaseTransform::~TBaseTransform() {
    ViewSlots().Release(m_View);
}

void TBaseTransform::SetModelViewMatrix(const Matrix4f& m) noexcept {
    m_View->m_Matrix = m;
    m_View->m_InverseValid = false;
}

const Matrix4f& TBaseTransform::GetModelViewMatrixInverse() const noexcept {
    if (!m_View->m_InverseValid) {
        // A singular matrix leaves what the inversion wrote; the cache is valid either way.
        (void)m_ModelViewMatrixInverse.AssignInvertAffine(m_View->m_Matrix);
        m_View->m_InverseValid = true;
    }
    return m_ModelViewMatrixInverse;
}

void TBaseTransform::SetModelViewMatrixInverse(const Matrix4f& m) noexcept {
    m_ModelViewMatrixInverse = m;
    m_View->m_InverseValid = true;
}

ScriptObject* TBaseTransform::GetConstraint(int i) const noexcept {
    return i >= 0 && i < m_ConstraintArray.Size() && m_ConstraintArray[i]
               ? m_ConstraintArray[i].Get()
               : &G_NilObject;
}

void TBaseTransform::SetConstraint(int i, ScriptObject* constraint) {
    if (i < 0 || i - m_ConstraintArray.Size() >= k_MaxConstraintGrowth) {
        Internal::LogScriptError("TBaseTransform::SetConstraint: index ", i, " of \"",
                                 GetNameCPtr(), "\" is out of range.");
        return;
    }
    if (i >= m_ConstraintArray.Size())
        ResizeConstraintArray(i + 1);
    m_ConstraintArray[i] = constraint;
    Internal::SceneStructureChanged();
}

void TBaseTransform::ResizeConstraintArray(int count) {
    if (count < 0 || count - m_ConstraintArray.Size() > k_MaxConstraintGrowth) {
        Internal::LogScriptError("TBaseTransform::ResizeConstraintArray: count ", count, " of \"",
                                 GetNameCPtr(), "\" is out of range.");
        return;
    }
    const int old = m_ConstraintArray.Size();
    m_ConstraintArray.Resize(count);
    for (int i = old; i < count; ++i)
        m_ConstraintArray[i] = &G_NilObject;
    Internal::SceneStructureChanged();
}

// --- SSimpleTransform / TSimpleTransform --------------------------------------------------------

SSimpleTransform* SSimpleTransform::Create() {
    return NewObject<SSimpleTransform>();
}
const TypeInfo* SSimpleTransform::GetSSimpleTransformTypeInfo() noexcept {
    return &TypeOf<SSimpleTransform>();
}
SSimpleTransform::~SSimpleTransform() = default;

namespace {

// Matrices built from infinite or NaN inputs would spread NaN through every descendant.
bool Finite(const Vector3f& v, const char* member) {
    if (std::isfinite(v.GetX()) && std::isfinite(v.GetY()) && std::isfinite(v.GetZ()))
        return true;
    Internal::LogScriptError("SSimpleTransform: non-finite ", member, " refused.");
    return false;
}

} // namespace

void SSimpleTransform::SetTranslation(const Vector3f& t) noexcept {
    if (!Finite(t, "Translation"))
        return;
    m_Translation = Internal::ClampByLimits(t, m_TranslationLimitEnableMask, m_TranslationMin,
                                            m_TranslationMax);
    SetComponent(ComponentTranslation, m_Translation != Vector3f::Zero);
    InvalidateLocal();
}

void SSimpleTransform::SetRotation(const Vector3f& r) noexcept {
    if (!Finite(r, "Rotation"))
        return;
    m_Rotation =
        Internal::ClampByLimits(r, m_RotationLimitEnableMask, m_RotationMin, m_RotationMax);
    SetComponent(ComponentRotation, m_Rotation != Vector3f::Zero);
    InvalidateLocal();
}

void SSimpleTransform::SetRotationOrder(Eulerf::RotationOrder order) noexcept {
    m_RotationOrder = order;
    InvalidateLocal();
}

void SSimpleTransform::SetScaling(const Vector3f& s) noexcept {
    if (!Finite(s, "Scaling"))
        return;
    m_Scaling = Internal::ClampByLimits(s, m_ScalingLimitEnableMask, m_ScalingMin, m_ScalingMax);
    SetComponent(ComponentScaling, m_Scaling != Vector3f(1.0f, 1.0f, 1.0f));
    InvalidateLocal();
}

void Internal::GetSimpleValues(const SSimpleTransform& s, TransformValues& values) noexcept {
    values.m_Translation = s.GetTranslation();
    values.m_Rotation = s.GetRotation();
    values.m_Order = s.GetRotationOrder();
    values.m_Scaling = s.GetScaling();
}

bool SSimpleTransform::BuildLocal(Matrix4f& out) const {
    Internal::TransformValues values;
    Internal::GetSimpleValues(*this, values);
    return Internal::SimpleLocalMatrix(GetComponents(), values, out);
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

void STransform::Store(Vector3f& member, const Vector3f& v, uint32_t bit) noexcept {
    if (!Finite(v, "pivot, axis or shearing"))
        return;
    member = v;
    SetComponent(bit, v != Vector3f::Zero);
    InvalidateLocal();
}

bool STransform::BuildLocal(Matrix4f& out) const {
    Internal::TransformValues values;
    Internal::GetSimpleValues(*this, values);
    values.m_Shearing = m_Shearing;
    values.m_ScalingPivot = m_ScalingPivot;
    values.m_ScalingPivotTranslation = m_ScalingPivotTranslation;
    values.m_RotationAxis = m_RotationAxis;
    values.m_RotationPivot = m_RotationPivot;
    values.m_RotationPivotTranslation = m_RotationPivotTranslation;
    return Internal::TransformLocalMatrix(GetComponents(), values, out);
}

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
