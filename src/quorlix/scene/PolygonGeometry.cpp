#include "quorlix/scene/PolygonGeometry.h"

#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/VertexData.h"
#include "quorlix/scene/internal/GeometryClassDefinition.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <cmath>

namespace Quorlix {

using Internal::LogScriptError;
using Internal::LogScriptFatal;

QUORLIX_GEOMETRY_NATIVE_CLASS(SPolygonGeometry)
QUORLIX_GEOMETRY_NATIVE_CLASS(TPolygonGeometry)
QUORLIX_GEOMETRY_NATIVE_CLASS(SSkinPolygonGeometry)
QUORLIX_GEOMETRY_NATIVE_CLASS(TSkinPolygonGeometry)
QUORLIX_GEOMETRY_NATIVE_CLASS(SMetaballs)
QUORLIX_GEOMETRY_NATIVE_CLASS(TMetaballs)

namespace {

// Triangles of `n` primitives of `type` with vertex counts `lengths`, and in `failure` the first
// reason the lengths are unusable (null when none). Entries that fail count no triangles, so the
// count is never negative. `unsupported` tells the types that draw no triangles we know of.
int64_t CountTriangles(Primitive::Type type, int64_t n, const Array<int32_t>& lengths,
                       const char*& failure, bool& unsupported) {
    failure = nullptr;
    unsupported = false;
    auto fail = [&](const char* reason) {
        if (failure == nullptr)
            failure = reason;
    };
    int64_t triangles = 0;
    switch (type) {
    case Primitive::Point:
    case Primitive::Line:
    case Primitive::Quad:
        return 2 * n;
    case Primitive::Triangle:
        return n;
    case Primitive::Polygon:
    case Primitive::TriangleStrip:
    case Primitive::QuadStrip:
        for (const int32_t length : lengths) {
            if (length < 3)
                fail("Validate: primlength<3 detected.");
            else
                triangles += length - 2;
        }
        return triangles;
    case Primitive::TriangleStripAndTriangles:
        // A zero entry means that part is absent.
        if (lengths.Size() > 0) {
            if (lengths[0] != 0 && lengths[0] < 3)
                fail("Validate: <TriangleStrip>AndTriangles primlength<3 detected.");
            else if (lengths[0] != 0)
                triangles += lengths[0] - 2;
        }
        if (lengths.Size() > 1) {
            if (lengths[1] != 0 && lengths[1] < 3)
                fail("Validate: TriangleStripAnd<Triangles> primlength<3 detected.");
            else
                triangles += lengths[1] / 3;
        }
        return triangles;
    default:
        unsupported = true;
        return 0;
    }
}

} // namespace

void SPolygonGeometry::SetPrimType(Primitive::Type type) {
    m_PrimType = type;
    UpdateCounts();
}

void SPolygonGeometry::SetPrimCount(int32_t count) {
    m_PrimCount = count;
    UpdateCounts();
}

void SPolygonGeometry::SetPrimLengthArray(const Array<int32_t>& lengths) {
    m_PrimLengthArray = lengths;
    UpdateCounts();
}

void SPolygonGeometry::SetIndexArray(const Array<int32_t>& indices) {
    m_IndexArray = indices;
    UpdateCounts();
}

void SPolygonGeometry::SetVertexArray(const Array<Vector3f>& vertices) {
    m_VertexArray = vertices;
    m_VertexSphereValid = false;
    UpdateCounts();
}

const Spheref& SPolygonGeometry::GetVertexBoundingSphere() const noexcept {
    if (!m_VertexSphereValid) {
        m_VertexSphere.AroundPoints(m_VertexArray.Data(), m_VertexArray.Size());
        const Vector3f& c = m_VertexSphere.GetCentre();
        // A vertex from a file may be NaN or huge: such a mesh is never culled.
        if (!std::isfinite(c.GetX()) || !std::isfinite(c.GetY()) || !std::isfinite(c.GetZ()) ||
            !std::isfinite(m_VertexSphere.GetRadius()))
            m_VertexSphere.MakeInfinite();
        m_VertexSphereValid = true;
    }
    return m_VertexSphere;
}

void SPolygonGeometry::UpdateCounts() noexcept {
    const char* failure = nullptr;
    bool unsupported = false;
    m_TriangleCount =
        CountTriangles(m_PrimType, m_PrimCount, m_PrimLengthArray, failure, unsupported);
    m_PrimLengthTotal = 0;
    for (const int32_t length : m_PrimLengthArray)
        m_PrimLengthTotal += length;
    m_NegativeIndex = false;
    if (m_IndexArray.IsEmpty()) {
        m_IndexLimit = m_VertexArray.Size();
        return;
    }
    int64_t highest = -1;
    for (const int32_t index : m_IndexArray) {
        highest = std::max<int64_t>(highest, index);
        m_NegativeIndex = m_NegativeIndex || index < 0;
    }
    m_IndexLimit = highest + 1;
}

bool SPolygonGeometry::Validate() const {
    const int64_t n = m_PrimCount;
    if (n < 0) {
        LogScriptError("Error: Validate: negative primcount (", n, ").");
        return false;
    }
    const char* failure = nullptr;
    bool unsupported = false;
    CountTriangles(m_PrimType, n, m_PrimLengthArray, failure, unsupported);
    if (unsupported) {
        // Not fatal: the mesh may still be drawn by other means; the count stays 0.
        LogScriptError("Validate: unsupported Primitive::Type (", static_cast<uint32_t>(m_PrimType),
                       ") detected.");
    }
    if (failure != nullptr) {
        LogScriptError(failure);
        return false;
    }

    int64_t expected = 0;
    switch (m_PrimType) {
    case Primitive::Point:
        expected = n;
        break;
    case Primitive::Line:
        expected = 2 * n;
        break;
    case Primitive::Triangle:
        expected = 3 * n;
        break;
    case Primitive::Quad:
        expected = 4 * n;
        break;
    default:
        expected = m_PrimLengthTotal;
        break;
    }
    const int64_t actual = m_IndexArray.IsEmpty() ? m_VertexArray.Size() : m_IndexArray.Size();

    const bool variable = static_cast<uint32_t>(m_PrimType) > Primitive::Quad;
    if (variable || !m_PrimLengthArray.IsEmpty()) {
        if (m_PrimLengthArray.Size() != n) {
            LogScriptError("Validate: primlengths missing (", n, "/", m_PrimLengthArray.Size(),
                           ").");
            return false;
        }
        // Whatever draws the unsupported types walks these lengths.
        for (const int32_t length : m_PrimLengthArray) {
            if (length < 0) {
                LogScriptError("Error: Validate: negative primlength detected.");
                return false;
            }
        }
    }
    if (expected != actual) {
        LogScriptError("Validate: index invalid");
        return false;
    }
    if (m_NegativeIndex) {
        LogScriptError("Error: Validate: negative index detected.");
        return false;
    }
    const int64_t vertexCount = m_VertexArray.Size();
    if (m_IndexLimit > vertexCount) {
        LogScriptError("Error: Validate: max index exceeds vertexarray");
        return false;
    }
    if (m_NormalArray.Size() > 1 && m_NormalArray.Size() < m_IndexLimit) {
        LogScriptError("Error: Validate: incorrect amount of normals");
        return false;
    }
    const ClassType_TypeID* vertexDataClass = BuiltinTypeID(k_ClassVertexData);
    for (int i = 0; i < m_VertexData.Size(); ++i) {
        const ScriptObject* pass = m_VertexData[i].Get();
        if (pass == nullptr || pass->IsNil())
            continue;
        // Only the typed subclasses have a DataArray to check; the base and foreign classes
        // would leave the drawing side reading data that is not there.
        const int length =
            pass->IsA(vertexDataClass) ? static_cast<const VertexData*>(pass)->GetDataCount() : -1;
        if (length < 0) {
            LogScriptFatal("SPolygonGeometry::Validate(): unsupported VertexData type.");
            return false;
        }
        if (length != vertexCount) {
            LogScriptError("Error: Validate: pass ", i, " length ", length, " != ", vertexCount);
            return false;
        }
    }
    return true;
}

} // namespace Quorlix
