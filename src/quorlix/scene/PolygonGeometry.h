#pragma once
// Polygon meshes: SPolygonGeometry/TPolygonGeometry, the skinned mesh SSkinPolygonGeometry/
// TSkinPolygonGeometry and the metaball surface SMetaballs/TMetaballs, which share the mesh
// arrays and their validation.

#include "quorlix/core/Array.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Spheref.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Geometry.h"

#include <cstdint>

namespace Quorlix {

/// Primitive.TypeEnum (-3929): how a mesh's indices form primitives. The types after Quad take
/// their vertex counts from PrimLengthArray.
struct Primitive {
    enum Type : uint32_t {
        Point,
        Line,
        Triangle,
        Quad,
        Polygon,
        TriangleStrip,
        TriangleFan,
        QuadStrip,
        LineStrip,
        LineLoop,
        // One strip of PrimLengthArray[0] indices, then a triangle list of PrimLengthArray[1].
        TriangleStripAndTriangles,
    };
};

/// Shared polygon mesh (class SPolygonGeometry, -3978).
///
/// Besides its members it keeps three derived counts: the triangle count, the sum of
/// PrimLengthArray and the highest index plus one (the vertex count when IndexArray is empty).
/// The members they follow from (PrimType, PrimCount, PrimLengthArray, IndexArray, VertexArray)
/// are set only through the setters below, which recompute them, so they are always current;
/// the rows of those members call the setters too. Counts are 64-bit: no product or sum of
/// 32-bit members can wrap.
class QUORLIX_API SPolygonGeometry : public SGeometry {
public:
    static SPolygonGeometry* Create();
    static const TypeInfo* GetSPolygonGeometryTypeInfo() noexcept;

    SPolygonGeometry() noexcept = default;
    ~SPolygonGeometry() override;

    Primitive::Type GetPrimType() const noexcept { return m_PrimType; }
    void SetPrimType(Primitive::Type type);
    /// Number of primitives; a negative count is kept (files may carry one) and fails Validate.
    int32_t GetPrimCount() const noexcept { return m_PrimCount; }
    void SetPrimCount(int32_t count);
    /// Vertex count of each primitive, for the variable-length types.
    const Array<int32_t>& GetPrimLengthArray() const noexcept { return m_PrimLengthArray; }
    void SetPrimLengthArray(const Array<int32_t>& lengths);
    /// Indices into VertexArray; empty: the vertices are used in order.
    const Array<int32_t>& GetIndexArray() const noexcept { return m_IndexArray; }
    void SetIndexArray(const Array<int32_t>& indices);
    /// Vertex positions.
    const Array<Vector3f>& GetVertexArray() const noexcept { return m_VertexArray; }
    void SetVertexArray(const Array<Vector3f>& vertices);
    /// A sphere around every vertex of VertexArray (Spheref::AroundPoints), computed on the
    /// first call after the array changed: empty without vertices, infinite when a vertex is
    /// not finite. The renderer culls placements of the mesh with it.
    const Spheref& GetVertexBoundingSphere() const noexcept;

    /// Triangles the mesh draws (primitives that fail validation count none; 0 for the types
    /// validation does not support).
    int64_t GetTriangleCount() const noexcept { return m_TriangleCount; }
    /// The sum of PrimLengthArray: the index count of the variable-length types.
    int64_t GetPrimLengthTotal() const noexcept { return m_PrimLengthTotal; }
    /// The highest index plus one (0 without indices); the vertex count when IndexArray is empty.
    int64_t GetIndexLimit() const noexcept { return m_IndexLimit; }
    /// Whether IndexArray holds a negative index.
    bool HasNegativeIndex() const noexcept { return m_NegativeIndex; }

    /// Whether the mesh is consistent: primitive lengths, index count, index range, normals and
    /// the length of every vertex-data pass. Logs the first failure at error level (an unusable
    /// pass class at fatal level) and returns false; changes nothing.
    virtual bool Validate() const;

    /// Member 5 "VertexData" (0x2600): per-vertex data passes, each a VertexData subclass whose
    /// DataArray has one element per vertex; the nil object marks an unused pass.
    Array<Obj<ScriptObject>> m_VertexData;
    /// Member 7 "NormalArray": empty, one normal for all vertices, or one per vertex.
    Array<Vector3f> m_NormalArray;

private:
    void UpdateCounts() noexcept;

    Primitive::Type m_PrimType = Primitive::Triangle;
    int32_t m_PrimCount = 0;
    Array<int32_t> m_PrimLengthArray;
    Array<int32_t> m_IndexArray;
    Array<Vector3f> m_VertexArray;
    int64_t m_TriangleCount = 0;
    int64_t m_PrimLengthTotal = 0;
    int64_t m_IndexLimit = 0;
    bool m_NegativeIndex = false;
    mutable bool m_VertexSphereValid = false; // a cache: SetVertexArray clears it
    mutable Spheref m_VertexSphere;
};

/// A placed polygon mesh (class TPolygonGeometry, -3977); a fresh one refers to a fresh
/// SPolygonGeometry.
class QUORLIX_API TPolygonGeometry : public TGeometry {
public:
    static TPolygonGeometry* Create();
    static const TypeInfo* GetTPolygonGeometryTypeInfo() noexcept;

    TPolygonGeometry() : TGeometry(SPolygonGeometry::Create()) {}
    ~TPolygonGeometry() override;

protected:
    explicit TPolygonGeometry(SNode* s) : TGeometry(s) {}
};

/// Shared skinned mesh (class SSkinPolygonGeometry, -3976): the mesh deformed by the joints of
/// its placement and by blend controls.
class QUORLIX_API SSkinPolygonGeometry : public SPolygonGeometry {
public:
    static SSkinPolygonGeometry* Create();
    static const TypeInfo* GetSSkinPolygonGeometryTypeInfo() noexcept;

    SSkinPolygonGeometry() noexcept = default;
    ~SSkinPolygonGeometry() override;

    Matrix4f m_GeometryMatrix = Matrix4f::Identity;  // the mesh's space at bind time
    Array<Matrix4f> m_BindMatrixInverse;             // 0x400: per joint, inverse bind matrix
    Array<Obj<ScriptObject>> m_BlendControl;         // 0x2600
    Array<Obj<ScriptObject>> m_BlendTexCoordControl; // 0x2600
};

/// A placed skinned mesh (class TSkinPolygonGeometry, -3975); a fresh one refers to a fresh
/// SSkinPolygonGeometry.
class QUORLIX_API TSkinPolygonGeometry : public TPolygonGeometry {
public:
    static TSkinPolygonGeometry* Create();
    static const TypeInfo* GetTSkinPolygonGeometryTypeInfo() noexcept;

    TSkinPolygonGeometry() : TPolygonGeometry(SSkinPolygonGeometry::Create()) {}
    ~TSkinPolygonGeometry() override;

    Array<Obj<ScriptObject>> m_Joint; // 0x2600: the joints, in BindMatrixInverse order

protected:
    explicit TSkinPolygonGeometry(SNode* s) : TPolygonGeometry(s) {}
};

/// Class SMetaballs (-3974): a surface whose mesh is generated; no members of its own.
class QUORLIX_API SMetaballs : public SPolygonGeometry {
public:
    static SMetaballs* Create();
    static const TypeInfo* GetSMetaballsTypeInfo() noexcept;

    SMetaballs() noexcept = default;
    ~SMetaballs() override;
};

/// Class TMetaballs (-3973); a fresh one refers to a fresh SMetaballs.
class QUORLIX_API TMetaballs : public TPolygonGeometry {
public:
    static TMetaballs* Create();
    static const TypeInfo* GetTMetaballsTypeInfo() noexcept;

    TMetaballs() : TPolygonGeometry(SMetaballs::Create()) {}
    ~TMetaballs() override;

protected:
    explicit TMetaballs(SNode* s) : TPolygonGeometry(s) {}
};

} // namespace Quorlix
