#pragma once
// SGeometry/TGeometry: the base pair of everything the renderer draws. The S half holds the
// shared shape, the T half one placement of it with the shader that draws it there.

#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

/// Shared definition of a drawable shape (class SGeometry, -4000). No members of its own.
class QUORLIX_API SGeometry : public SLeaf {
public:
    /// A new geometry definition (count 0).
    static SGeometry* Create();
    static const TypeInfo* GetSGeometryTypeInfo() noexcept;

    SGeometry() noexcept = default;
    ~SGeometry() override;
};

/// A placed geometry (class TGeometry, -3999): a fresh one refers to a fresh SGeometry.
class QUORLIX_API TGeometry : public TLeaf {
public:
    /// A new placement with a new SGeometry attached (count 0).
    static TGeometry* Create();
    static const TypeInfo* GetTGeometryTypeInfo() noexcept;

    TGeometry() : TLeaf(SGeometry::Create()) {}
    ~TGeometry() override;

    /// Member 1 "Shader" (0x1200): the shader that draws this placement, null for none. Any
    /// object is accepted until the shader classes exist.
    Obj<ScriptObject> m_Shader;

protected:
    /// For derived T classes, which pass their own S object (count 0 or more; taken here).
    explicit TGeometry(SNode* s) : TLeaf(s) {}
};

} // namespace Quorlix
