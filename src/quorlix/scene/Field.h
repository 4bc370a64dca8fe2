#pragma once
// Fields that act on particles: the base pair SField/TField, gravity and radial fields.

#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

/// Shared field settings (class SField, -3990).
class QUORLIX_API SField : public SLeaf {
public:
    static SField* Create();
    static const TypeInfo* GetSFieldTypeInfo() noexcept;

    SField() noexcept = default;
    ~SField() override;

    float m_Magnitude = 1.0f;
    float m_Attenuation = 1.0f; // falloff exponent with distance
    float m_MaxDistance = 1.0f; // only when UseMaxDistance is set
    bool m_UseMaxDistance = false;
};

/// A placed field (class TField, -3989); a fresh one refers to a fresh SField.
class QUORLIX_API TField : public TLeaf {
public:
    static TField* Create();
    static const TypeInfo* GetTFieldTypeInfo() noexcept;

    TField() : TLeaf(SField::Create()) {}
    ~TField() override;

protected:
    explicit TField(SNode* s) : TLeaf(s) {}
};

/// Class SGravityField (-3988): a constant pull along Direction.
class QUORLIX_API SGravityField : public SField {
public:
    static SGravityField* Create();
    static const TypeInfo* GetSGravityFieldTypeInfo() noexcept;

    SGravityField() noexcept = default;
    ~SGravityField() override;

    Vector3f m_Direction{0.0f, -1.0f, 0.0f};
};

/// Class TGravityField (-3987); a fresh one refers to a fresh SGravityField.
class QUORLIX_API TGravityField : public TField {
public:
    static TGravityField* Create();
    static const TypeInfo* GetTGravityFieldTypeInfo() noexcept;

    TGravityField() : TField(SGravityField::Create()) {}
    ~TGravityField() override;

protected:
    explicit TGravityField(SNode* s) : TField(s) {}
};

/// Class SRadialField (-3986): a push away from (or pull towards) the field's origin.
class QUORLIX_API SRadialField : public SField {
public:
    static SRadialField* Create();
    static const TypeInfo* GetSRadialFieldTypeInfo() noexcept;

    SRadialField() noexcept = default;
    ~SRadialField() override;

    float m_RadialType = 0.0f; // blends the falloff shape: 0 follows Attenuation, 1 is linear
};

/// Class TRadialField (-3985); a fresh one refers to a fresh SRadialField.
class QUORLIX_API TRadialField : public TField {
public:
    static TRadialField* Create();
    static const TypeInfo* GetTRadialFieldTypeInfo() noexcept;

    TRadialField() : TField(SRadialField::Create()) {}
    ~TRadialField() override;

protected:
    explicit TRadialField(SNode* s) : TField(s) {}
};

} // namespace Quorlix
