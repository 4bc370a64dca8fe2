#pragma once
// Transform nodes. The S half holds the local transform's inputs and a cached LocalMatrix; the
// T half holds the per-placement results of the update (world and model-view matrices, the
// frame stamp) and the constraints acting on the placement.
//
// Every setter of an input of the local matrix marks the cache invalid and keeps the component
// word, which records the inputs that differ from their neutral values so that the rebuild can
// take shortcuts:
//   1 Translation != 0, 2 Rotation != 0, 4 Scaling != (1, 1, 1), 8 Shearing, 16 RotationPivot,
//   32 ScalingPivot, 64 RotationAxis, 128 RotationPivotTranslation, 256 ScalingPivotTranslation
//   (each != 0), 512 JointOrientation != 0, 1024 ParentScaling != (1, 1, 1).

#include "quorlix/math/Eulerf.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

/// S half of every transform node: the cached local matrix and its validity.
class QUORLIX_API SBaseTransform : public SBranch {
public:
    /// Validity of the cached LocalMatrix.
    enum LocalState : uint32_t { LocalInvalid = 0, LocalIdentity = 1, LocalValid = 2 };
    enum Component : uint32_t {
        ComponentTranslation = 1,
        ComponentRotation = 2,
        ComponentScaling = 4,
        ComponentShearing = 8,
        ComponentRotationPivot = 16,
        ComponentScalingPivot = 32,
        ComponentRotationAxis = 64,
        ComponentRotationPivotTranslation = 128,
        ComponentScalingPivotTranslation = 256,
        ComponentJointOrientation = 512,
        ComponentParentScaling = 1024,
    };

    static SBaseTransform* Create();
    static const TypeInfo* GetSBaseTransformTypeInfo() noexcept;
    SBaseTransform();
    ~SBaseTransform() override;
    SBaseTransform(const SBaseTransform&) = delete;
    SBaseTransform& operator=(const SBaseTransform&) = delete;

    /// The cached local matrix and its validity. It lives in a slot of its own, allocated in
    /// creation order beside the other transforms' (the update streams through them).
    struct LocalSlot {
        Matrix4f m_Matrix;
        LocalState m_State;
    };
    const LocalSlot& GetLocalSlot() const noexcept { return *m_Local; }

    /// The local matrix, rebuilt from the members when a setter invalidated it (identity for a
    /// base transform). A set through the `LocalMatrix` row is ignored.
    const Matrix4f& GetLocalMatrix() const {
        if (m_Local->m_State == LocalInvalid)
            RebuildLocal();
        return m_Local->m_Matrix;
    }
    void SetLocalMatrixIgnored(const Matrix4f&) noexcept {}
    LocalState GetLocalState() const noexcept { return m_Local->m_State; }
    uint32_t GetComponents() const noexcept { return m_Components; }

protected:
    /// Builds the local matrix from the members into `out`; true when it is the identity.
    virtual bool BuildLocal(Matrix4f& out) const;
    /// Every setter of an input of the local matrix calls this.
    void InvalidateLocal() noexcept { m_Local->m_State = LocalInvalid; }
    /// Sets `bit` of the component word when `on`, clears it otherwise.
    void SetComponent(uint32_t bit, bool on) noexcept {
        m_Components = on ? (m_Components | bit) : (m_Components & ~bit);
    }

    uint32_t m_Components = 0;

private:
    void RebuildLocal() const;

    // A cache: reads rebuild it. Fresh inputs give the identity.
    LocalSlot* const m_Local;
};

/// T half of every transform node. The matrices are results of the update and read-only to
/// scripts (flag 0x1), but their setters store as the update needs: `ModelViewMatrix` marks the
/// cached inverse invalid, `ModelViewMatrixInverse` is computed from it on demand (or taken as
/// given by its setter), `WorldMatrix` is stored as given.
class QUORLIX_API TBaseTransform : public TBranch {
public:
    static TBaseTransform* Create();
    static const TypeInfo* GetTBaseTransformTypeInfo() noexcept;
    TBaseTransform();
    ~TBaseTransform() override;
    TBaseTransform(const TBaseTransform&) = delete;
    TBaseTransform& operator=(const TBaseTransform&) = delete;

    /// The results every update writes, in a slot of their own like the S half's local matrix.
    struct ViewSlot {
        Matrix4f m_Matrix;   // ModelViewMatrix
        uint32_t m_Frame;    // MatrixFrame
        bool m_InverseValid; // whether m_ModelViewMatrixInverse belongs to m_Matrix
    };
    ViewSlot& GetViewSlot() const noexcept { return *m_View; }

    const Matrix4f& GetWorldMatrix() const noexcept { return m_WorldMatrix; }
    void SetWorldMatrix(const Matrix4f& m) noexcept { m_WorldMatrix = m; }
    const Matrix4f& GetModelViewMatrix() const noexcept { return m_View->m_Matrix; }
    void SetModelViewMatrix(const Matrix4f& m) noexcept;
    /// The affine inverse of ModelViewMatrix, computed when the cached one is invalid (a
    /// singular matrix gives what AssignInvertAffine leaves).
    const Matrix4f& GetModelViewMatrixInverse() const noexcept;
    void SetModelViewMatrixInverse(const Matrix4f& m) noexcept;
    /// The frame stamp of the last update of this node.
    uint32_t GetMatrixFrame() const noexcept { return m_View->m_Frame; }
    void SetMatrixFrame(uint32_t frame) noexcept { m_View->m_Frame = frame; }
    /// Whether a constraint of this node has logged a broken setup (no usable target, or a
    /// pole vector constraint on a node that is no IK handle): a broken rig says so once per
    /// node, not every frame.
    bool GetConstraintSetupReported() const noexcept { return m_ConstraintSetupReported; }
    void SetConstraintSetupReported() noexcept { m_ConstraintSetupReported = true; }

    /// The constraints acting on this placement (entries may be the nil object).
    const Array<Obj<ScriptObject>>& GetConstraintArray() const noexcept {
        return m_ConstraintArray;
    }
    /// Entry i of ConstraintArray; the nil object outside it.
    ScriptObject* GetConstraint(int i) const noexcept;
    int ConstraintCount() const noexcept { return m_ConstraintArray.Size(); }
    /// Stores entry i, growing the array with nil entries by at most 65536 at a time; a
    /// negative index or a larger growth is refused with a logged error.
    void SetConstraint(int i, ScriptObject* constraint);
    /// Shrinks or grows (with nil entries, by at most 65536) the array.
    void ResizeConstraintArray(int count);

protected:
    explicit TBaseTransform(SNode* s);

private:
    friend void BindSceneNodeClasses();

    ViewSlot* const m_View;
    bool m_ConstraintSetupReported = false;
    Array<Obj<ScriptObject>> m_ConstraintArray;
    mutable Matrix4f m_ModelViewMatrixInverse = Matrix4f::Identity;
    Matrix4f m_WorldMatrix = Matrix4f::Identity;
};

/// Translation, rotation (Euler angles in degrees, in RotationOrder) and scaling, with limits
/// per axis enabled by the three masks (bit 1 minimum x, 2 maximum x, 4 minimum y, 8 maximum y,
/// 16 minimum z, 32 maximum z).
class QUORLIX_API SSimpleTransform : public SBaseTransform {
public:
    static SSimpleTransform* Create();
    static const TypeInfo* GetSSimpleTransformTypeInfo() noexcept;
    SSimpleTransform() noexcept = default;
    ~SSimpleTransform() override;

    /// The three setters clamp by the enabled limits, store, keep the component word and
    /// invalidate the local matrix. Values that are not finite are refused with the error
    /// "SSimpleTransform: non-finite <Member> refused." and change nothing.
    const Vector3f& GetTranslation() const noexcept { return m_Translation; }
    void SetTranslation(const Vector3f& t) noexcept;
    const Vector3f& GetRotation() const noexcept { return m_Rotation; }
    void SetRotation(const Vector3f& r) noexcept;
    Eulerf::RotationOrder GetRotationOrder() const noexcept { return m_RotationOrder; }
    void SetRotationOrder(Eulerf::RotationOrder order) noexcept;
    const Vector3f& GetScaling() const noexcept { return m_Scaling; }
    void SetScaling(const Vector3f& s) noexcept;

protected:
    bool BuildLocal(Matrix4f& out) const override;

    Vector3f m_Translation = Vector3f::Zero;
    Vector3f m_Rotation = Vector3f::Zero;
    Eulerf::RotationOrder m_RotationOrder = Eulerf::XYZ;
    Vector3f m_Scaling{1.0f, 1.0f, 1.0f};

private:
    friend void BindSceneNodeClasses();

    uint32_t m_TranslationLimitEnableMask = 0;
    uint32_t m_RotationLimitEnableMask = 0;
    uint32_t m_ScalingLimitEnableMask = 0;
    Vector3f m_TranslationMin{-1.0f, -1.0f, -1.0f};
    Vector3f m_TranslationMax{1.0f, 1.0f, 1.0f};
    Vector3f m_RotationMin{-45.0f, -45.0f, -45.0f};
    Vector3f m_RotationMax{45.0f, 45.0f, 45.0f};
    Vector3f m_ScalingMin{-1.0f, -1.0f, -1.0f};
    Vector3f m_ScalingMax{1.0f, 1.0f, 1.0f};
};

class QUORLIX_API TSimpleTransform : public TBaseTransform {
public:
    static TSimpleTransform* Create();
    static const TypeInfo* GetTSimpleTransformTypeInfo() noexcept;
    TSimpleTransform();
    ~TSimpleTransform() override;

protected:
    explicit TSimpleTransform(SNode* s) : TBaseTransform(s) {}
};

/// A simple transform with shearing, pivots and a rotation axis (no limits on these).
class QUORLIX_API STransform : public SSimpleTransform {
public:
    static STransform* Create();
    static const TypeInfo* GetSTransformTypeInfo() noexcept;
    STransform() noexcept = default;
    ~STransform() override;

    const Vector3f& GetShearing() const noexcept { return m_Shearing; }
    void SetShearing(const Vector3f& v) noexcept { Store(m_Shearing, v, ComponentShearing); }
    const Vector3f& GetScalingPivot() const noexcept { return m_ScalingPivot; }
    void SetScalingPivot(const Vector3f& v) noexcept {
        Store(m_ScalingPivot, v, ComponentScalingPivot);
    }
    const Vector3f& GetScalingPivotTranslation() const noexcept {
        return m_ScalingPivotTranslation;
    }
    void SetScalingPivotTranslation(const Vector3f& v) noexcept {
        Store(m_ScalingPivotTranslation, v, ComponentScalingPivotTranslation);
    }
    const Vector3f& GetRotationAxis() const noexcept { return m_RotationAxis; }
    void SetRotationAxis(const Vector3f& v) noexcept {
        Store(m_RotationAxis, v, ComponentRotationAxis);
    }
    const Vector3f& GetRotationPivot() const noexcept { return m_RotationPivot; }
    void SetRotationPivot(const Vector3f& v) noexcept {
        Store(m_RotationPivot, v, ComponentRotationPivot);
    }
    const Vector3f& GetRotationPivotTranslation() const noexcept {
        return m_RotationPivotTranslation;
    }
    void SetRotationPivotTranslation(const Vector3f& v) noexcept {
        Store(m_RotationPivotTranslation, v, ComponentRotationPivotTranslation);
    }

protected:
    bool BuildLocal(Matrix4f& out) const override;

private:
    void Store(Vector3f& member, const Vector3f& v, uint32_t bit) noexcept;

    Vector3f m_Shearing = Vector3f::Zero;
    Vector3f m_ScalingPivot = Vector3f::Zero;
    Vector3f m_ScalingPivotTranslation = Vector3f::Zero;
    Vector3f m_RotationAxis = Vector3f::Zero;
    Vector3f m_RotationPivot = Vector3f::Zero;
    Vector3f m_RotationPivotTranslation = Vector3f::Zero;
};

class QUORLIX_API TTransform : public TSimpleTransform {
public:
    static TTransform* Create();
    static const TypeInfo* GetTTransformTypeInfo() noexcept;
    TTransform();
    ~TTransform() override;

protected:
    explicit TTransform(SNode* s) : TSimpleTransform(s) {}
};

/// A transform whose placements deform geometry around `Origin`.
class QUORLIX_API SClusterHandle : public STransform {
public:
    static SClusterHandle* Create();
    static const TypeInfo* GetSClusterHandleTypeInfo() noexcept;
    SClusterHandle() noexcept = default;
    ~SClusterHandle() override;

    const Vector3f& GetOrigin() const noexcept { return m_Origin; }
    void SetOrigin(const Vector3f& origin) noexcept { m_Origin = origin; }

private:
    friend void BindSceneNodeClasses();
    Vector3f m_Origin = Vector3f::Zero;
};

class QUORLIX_API TClusterHandle : public TTransform {
public:
    static TClusterHandle* Create();
    static const TypeInfo* GetTClusterHandleTypeInfo() noexcept;
    TClusterHandle();
    ~TClusterHandle() override;
};

} // namespace Quorlix
