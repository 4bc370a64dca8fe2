#pragma once
// VertexData and its five typed subclasses: one per-vertex data pass of a polygon mesh
// (texture coordinates, colours, weights), one DataArray element per vertex.

#include "quorlix/core/Array.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

/// Class VertexData (-3936): the untyped base. Usage says what the pass feeds; its bits are the
/// drawing side's business, the scene only carries them.
class QUORLIX_API VertexData : public Object {
public:
    static VertexData* Create();
    static const TypeInfo* GetVertexDataTypeInfo() noexcept;

    VertexData() noexcept = default;
    ~VertexData() override;

    /// Number of elements in the pass's DataArray; -1 for the base class, which has none.
    virtual int GetDataCount() const noexcept;

    uint32_t m_Usage = 0;
};

/// Class VertexDataF32 (-3935).
class QUORLIX_API VertexDataF32 : public VertexData {
public:
    static VertexDataF32* Create();
    static const TypeInfo* GetVertexDataF32TypeInfo() noexcept;
    ~VertexDataF32() override;
    int GetDataCount() const noexcept override { return m_DataArray.Size(); }

    Array<float> m_DataArray;
};

/// Class VertexDataVector2f (-3934).
class QUORLIX_API VertexDataVector2f : public VertexData {
public:
    static VertexDataVector2f* Create();
    static const TypeInfo* GetVertexDataVector2fTypeInfo() noexcept;
    ~VertexDataVector2f() override;
    int GetDataCount() const noexcept override { return m_DataArray.Size(); }

    Array<Vector2f> m_DataArray;
};

/// Class VertexDataVector3f (-3933).
class QUORLIX_API VertexDataVector3f : public VertexData {
public:
    static VertexDataVector3f* Create();
    static const TypeInfo* GetVertexDataVector3fTypeInfo() noexcept;
    ~VertexDataVector3f() override;
    int GetDataCount() const noexcept override { return m_DataArray.Size(); }

    Array<Vector3f> m_DataArray;
};

/// Class VertexDataVector4f (-3932).
class QUORLIX_API VertexDataVector4f : public VertexData {
public:
    static VertexDataVector4f* Create();
    static const TypeInfo* GetVertexDataVector4fTypeInfo() noexcept;
    ~VertexDataVector4f() override;
    int GetDataCount() const noexcept override { return m_DataArray.Size(); }

    Array<Vector4f> m_DataArray;
};

/// Class VertexDataMatrix4f (-3931).
class QUORLIX_API VertexDataMatrix4f : public VertexData {
public:
    static VertexDataMatrix4f* Create();
    static const TypeInfo* GetVertexDataMatrix4fTypeInfo() noexcept;
    ~VertexDataMatrix4f() override;
    int GetDataCount() const noexcept override { return m_DataArray.Size(); }

    Array<Matrix4f> m_DataArray;
};

} // namespace Quorlix
