// Geometry-side scene classes: polygon mesh validation with its exact log texts, the derived
// counts, the S object behind every T object, vertex-data passes and the lens flare's
// enumerators of an unregistered enumeration.

#include "quorlix/scene/Emitter.h"
#include "quorlix/scene/Field.h"
#include "quorlix/scene/Lensflare.h"
#include "quorlix/scene/Particles.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/VertexData.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

using QuorlixTest::ArrayOf;
using PolygonValidation = QuorlixTest::ScriptTest;
using GeometryClasses = QuorlixTest::ScriptTest;

Array<Vector3f> Vertices(int n) {
    Array<Vector3f> vertices;
    for (int i = 0; i < n; ++i)
        vertices.Add(Vector3f(static_cast<float>(i), 0.0f, 0.0f));
    return vertices;
}

Obj<SPolygonGeometry> Mesh(Primitive::Type type, int32_t count,
                           std::initializer_list<int32_t> lengths,
                           std::initializer_list<int32_t> indices, int vertices) {
    Obj<SPolygonGeometry> mesh = SPolygonGeometry::Create();
    mesh->SetPrimType(type);
    mesh->SetPrimCount(count);
    mesh->SetPrimLengthArray(ArrayOf(lengths));
    mesh->SetIndexArray(ArrayOf(indices));
    mesh->SetVertexArray(Vertices(vertices));
    return mesh;
}

using Outcome = std::pair<bool, std::vector<std::string>>;

Outcome Validated(const SPolygonGeometry& mesh) {
    LogCapture log;
    const bool valid = mesh.Validate();
    return {valid, log.Messages()};
}
Outcome Valid(std::vector<std::string> log = {}) {
    return {true, std::move(log)};
}
Outcome Fails(std::vector<std::string> log) {
    return {false, std::move(log)};
}

TEST_F(PolygonValidation, EveryCheckFailsWithItsMessage) {
    using P = Primitive;
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 2, {}, {0, 1, 2, 2, 1, 3}, 4)), Valid());
    EXPECT_EQ(Validated(*Mesh(P::Polygon, 2, {3, 2}, {0, 1, 2, 0, 1}, 3)),
              Fails({"[Error]Validate: primlength<3 detected."}));
    EXPECT_EQ(Validated(*Mesh(P::TriangleStripAndTriangles, 2, {3, 2}, {0, 1, 2, 0, 1}, 3)),
              Fails({"[Error]Validate: TriangleStripAnd<Triangles> primlength<3 detected."}));
    EXPECT_EQ(Validated(*Mesh(P::Polygon, 2, {3}, {0, 1, 2}, 3)),
              Fails({"[Error]Validate: primlengths missing (2/1)."}));
    // Lengths given to a fixed-length type must still be one per primitive.
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 1, {3, 3}, {0, 1, 2}, 3)),
              Fails({"[Error]Validate: primlengths missing (1/2)."}));
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 1, {}, {0, 1, 2, 0}, 3)),
              Fails({"[Error]Validate: index invalid"}));
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 1, {}, {0, 1, 3}, 3)),
              Fails({"[Error]Error: Validate: max index exceeds vertexarray"}));
    {
        Obj<SPolygonGeometry> mesh = Mesh(P::Triangle, 1, {}, {0, 1, 2}, 3);
        mesh->m_NormalArray = Vertices(2);
        EXPECT_EQ(Validated(*mesh), Fails({"[Error]Error: Validate: incorrect amount of normals"}));
        mesh->m_NormalArray = Vertices(3);
        EXPECT_EQ(Validated(*mesh), Valid());
    }
    {
        // Unsupported types are logged and validation goes on with no triangles.
        Obj<SPolygonGeometry> fan = Mesh(P::TriangleFan, 1, {3}, {}, 3);
        EXPECT_EQ(Validated(*fan),
                  Valid({"[Error]Validate: unsupported Primitive::Type (6) detected."}));
        EXPECT_EQ(fan->GetTriangleCount(), 0);
    }
    {
        // Passes are checked against the vertex count; nil passes are skipped.
        Obj<SPolygonGeometry> mesh = Mesh(P::Triangle, 1, {}, {}, 3);
        Obj<VertexDataVector2f> uv = VertexDataVector2f::Create();
        uv->m_DataArray = ArrayOf({Vector2f(0, 0), Vector2f(1, 0)});
        mesh->m_VertexData.Add(Obj<ScriptObject>(&G_NilObject));
        mesh->m_VertexData.Add(uv);
        EXPECT_EQ(Validated(*mesh), Fails({"[Error]Error: Validate: pass 1 length 2 != 3"}));
        uv->m_DataArray.Add(Vector2f(1, 1));
        EXPECT_EQ(Validated(*mesh), Valid());
    }
}

TEST_F(PolygonValidation, TriangleStripAndTriangles) {
    using P = Primitive;
    // A zero strip length means no strip: six indices of triangle list, two triangles.
    Obj<SPolygonGeometry> mesh =
        Mesh(P::TriangleStripAndTriangles, 2, {0, 6}, {0, 1, 2, 2, 1, 3}, 4);
    EXPECT_EQ(Validated(*mesh), Valid());
    EXPECT_EQ(mesh->GetTriangleCount(), 2);
    EXPECT_EQ(
        Validated(*Mesh(P::TriangleStripAndTriangles, 2, {2, 6}, {0, 1, 0, 1, 2, 2, 1, 3}, 4)),
        Fails({"[Error]Validate: <TriangleStrip>AndTriangles primlength<3 detected."}));
    EXPECT_EQ(Validated(*Mesh(P::TriangleStripAndTriangles, 2, {4, 0}, {0, 1, 2, 3}, 4)), Valid());
}

TEST_F(PolygonValidation, IndexAndNormalCountsWithoutIndices) {
    using P = Primitive;
    // Without indices the vertices are used in order: two triangles need exactly six.
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 2, {}, {}, 6)), Valid());
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 2, {}, {}, 5)),
              Fails({"[Error]Validate: index invalid"}));
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 2, {}, {}, 7)),
              Fails({"[Error]Validate: index invalid"}));
    // One normal stands for all vertices, however many.
    for (int n : {1, 2, 1000}) {
        Obj<SPolygonGeometry> mesh = Mesh(P::Point, n, {}, {}, n);
        mesh->m_NormalArray = Vertices(1);
        EXPECT_EQ(Validated(*mesh), Valid()) << n;
    }
    // Without indices every vertex needs its normal.
    Obj<SPolygonGeometry> mesh = Mesh(P::Triangle, 2, {}, {}, 6);
    mesh->m_NormalArray = Vertices(5);
    EXPECT_EQ(Validated(*mesh), Fails({"[Error]Error: Validate: incorrect amount of normals"}));
}

TEST_F(PolygonValidation, TriangleCountsOfEverySupportedType) {
    using P = Primitive;
    EXPECT_EQ(Mesh(P::Point, 3, {}, {}, 0)->GetTriangleCount(), 6);
    EXPECT_EQ(Mesh(P::Line, 3, {}, {}, 0)->GetTriangleCount(), 6);
    EXPECT_EQ(Mesh(P::Triangle, 3, {}, {}, 0)->GetTriangleCount(), 3);
    EXPECT_EQ(Mesh(P::Quad, 3, {}, {}, 0)->GetTriangleCount(), 6);
    EXPECT_EQ(Mesh(P::Polygon, 3, {3, 4, 5}, {}, 0)->GetTriangleCount(), 6);
    EXPECT_EQ(Mesh(P::TriangleStrip, 1, {5}, {}, 0)->GetTriangleCount(), 3);
    EXPECT_EQ(Mesh(P::QuadStrip, 1, {6}, {}, 0)->GetTriangleCount(), 4);
    EXPECT_EQ(Mesh(P::TriangleStripAndTriangles, 2, {4, 9}, {}, 0)->GetTriangleCount(), 5);
    Obj<SPolygonGeometry> polygon = Mesh(P::Polygon, 3, {3, 4, 5}, {0, 7, 2}, 0);
    EXPECT_EQ(polygon->GetPrimLengthTotal(), 12);
    EXPECT_EQ(polygon->GetIndexLimit(), 8);
}

TEST_F(PolygonValidation, MendedFaults) {
    using P = Primitive;
    // A negative index would pass the range check on the highest index.
    EXPECT_EQ(Validated(*Mesh(P::Triangle, 1, {}, {0, -1, 2}, 3)),
              Fails({"[Error]Error: Validate: negative index detected."}));
    {
        // 3n and 4n wrap to 2 and 4 in 32 bits; counted in 64 they do not match.
        Obj<SPolygonGeometry> mesh = Mesh(P::Triangle, 0x55555556, {}, {0, 1}, 2);
        EXPECT_EQ(Validated(*mesh), Fails({"[Error]Validate: index invalid"}));
        EXPECT_EQ(mesh->GetTriangleCount(), 0x55555556);
        EXPECT_EQ(Validated(*Mesh(P::Quad, 0x40000001, {}, {0, 1, 2, 3}, 4)),
                  Fails({"[Error]Validate: index invalid"}));
        EXPECT_EQ(Mesh(P::Quad, 0x7FFFFFFF, {}, {}, 0)->GetTriangleCount(), 0xFFFFFFFEll);
    }
    EXPECT_EQ(Validated(*Mesh(P::Triangle, -1, {}, {}, 0)),
              Fails({"[Error]Error: Validate: negative primcount (-1)."}));
    // Negative lengths of a type drawn elsewhere: their sum could match the index count.
    EXPECT_EQ(Validated(*Mesh(P::LineStrip, 2, {-1, 4}, {}, 3)),
              Fails({"[Error]Validate: unsupported Primitive::Type (8) detected.",
                     "[Error]Error: Validate: negative primlength detected."}));
    {
        // Passes without a typed DataArray: the base class and classes outside the family.
        Obj<SPolygonGeometry> mesh = Mesh(P::Triangle, 1, {}, {}, 3);
        mesh->m_VertexData.Add(VertexData::Create());
        const Outcome fatal =
            Fails({"[FATAL]SPolygonGeometry::Validate(): unsupported VertexData type."});
        EXPECT_EQ(Validated(*mesh), fatal);
        mesh->m_VertexData[0] = SPolygonGeometry::Create();
        EXPECT_EQ(Validated(*mesh), fatal);
        // A short DataArray of any typed class.
        Obj<VertexDataMatrix4f> matrices = VertexDataMatrix4f::Create();
        matrices->m_DataArray.Add(Matrix4f::Identity);
        mesh->m_VertexData[0] = matrices.Get();
        EXPECT_EQ(Validated(*mesh), Fails({"[Error]Error: Validate: pass 0 length 1 != 3"}));
    }
}

TEST_F(PolygonValidation, DerivedCountsFollowTheRows) {
    // Set through the member rows, as a script does: the counts follow every change.
    Obj<ScriptObject> object = ScriptObject::Create(BuiltinTypeID(k_ClassSPolygonGeometry));
    ASSERT_FALSE(object->IsNil());
    auto* mesh = static_cast<SPolygonGeometry*>(object.Get());
    const auto member = [](int k) { return MemberIDOf<ClassMember>(k, k_ClassSPolygonGeometry); };
    object->Set(MemberIDOf<ClassMember_Enum>(1, k_ClassSPolygonGeometry),
                MemberIDOf<ClassType_Enum>(6, k_ClassPrimitiveTypeEnum)); // TriangleStrip
    object->Set(MemberIDOf<ClassMemberOf<int32_t, false>>(2, k_ClassSPolygonGeometry), 1);
    EXPECT_TRUE(object->SetArray<int32_t>(member(3), ArrayOf({5})));
    EXPECT_EQ(mesh->GetTriangleCount(), 3);
    EXPECT_EQ(mesh->GetPrimLengthTotal(), 5);
    EXPECT_TRUE(object->SetArray<Vector3f>(member(6), Vertices(4)));
    EXPECT_EQ(mesh->GetIndexLimit(), 4);
    EXPECT_TRUE(object->SetArray<int32_t>(member(4), ArrayOf({0, 1, 2, 3, 1})));
    EXPECT_EQ(mesh->GetIndexLimit(), 4);
    EXPECT_EQ(Validated(*mesh), Valid());
    EXPECT_TRUE(object->SetArray<int32_t>(member(4), ArrayOf({0, 1, 2, 9, 1})));
    EXPECT_EQ(mesh->GetIndexLimit(), 10);
    object->Set(MemberIDOf<ClassMember_Enum>(1, k_ClassSPolygonGeometry),
                MemberIDOf<ClassType_Enum>(3, k_ClassPrimitiveTypeEnum)); // Triangle
    EXPECT_EQ(mesh->GetTriangleCount(), 1);
    EXPECT_EQ(mesh->GetPrimType(), Primitive::Triangle);
}

TEST_F(GeometryClasses, VertexDataSubclassesHoldTheirArrays) {
    const auto check = [](auto* object, int c, const auto& values) {
        using V = std::remove_cvref_t<decltype(values[0])>;
        Obj<ScriptObject> keep(object);
        const auto* dataArray = MemberIDOf<ClassMember>(1, c);
        EXPECT_EQ(object->GetDataCount(), 0);
        EXPECT_TRUE(object->template SetArray<V>(dataArray, values));
        EXPECT_EQ(object->GetDataCount(), values.Size());
        EXPECT_EQ(object->m_DataArray.Size(), values.Size());
        Array<V> back;
        EXPECT_TRUE(object->template GetArray<V>(dataArray, back));
        EXPECT_EQ(back.Size(), values.Size());
        EXPECT_TRUE(back[values.Size() - 1] == values[values.Size() - 1]);
    };
    check(VertexDataF32::Create(), k_ClassVertexDataF32, ArrayOf({1.0f, 2.0f}));
    check(VertexDataVector2f::Create(), k_ClassVertexDataVector2f, ArrayOf({Vector2f(1, 2)}));
    check(VertexDataVector3f::Create(), k_ClassVertexDataVector3f, Vertices(3));
    check(VertexDataVector4f::Create(), k_ClassVertexDataVector4f,
          ArrayOf({Vector4f(1, 2, 3, 4), Vector4f(5, 6, 7, 8)}));
    check(VertexDataMatrix4f::Create(), k_ClassVertexDataMatrix4f, ArrayOf({Matrix4f::Identity}));
    Obj<VertexData> base = VertexData::Create();
    EXPECT_EQ(base->GetDataCount(), -1);
}

TEST_F(GeometryClasses, LensflareVisibilityModeKeepsIdentifiersOfItsEnumeration) {
    Obj<ScriptObject> flare = ScriptObject::Create(BuiltinTypeID(k_ClassSLensflare));
    ASSERT_FALSE(flare->IsNil());
    const auto* mode = MemberIDOf<ClassMember_Enum>(1, k_ClassSLensflare);
    // The second enumerator of -3971.
    EXPECT_EQ(IDValue(flare->Get(mode)), 0x02FFF07Du);
    flare->Set(mode, MemberIDOf<ClassType_Enum>(3, k_ClassSLensflareVisibilityModeEnum));
    EXPECT_EQ(IDValue(flare->Get(mode)), 0x03FFF07Du);
    LogCapture log;
    flare->Set(mode, MemberIDOf<ClassType_Enum>(1, k_ClassPrimitiveTypeEnum));
    flare->Set(mode, nullptr);
    EXPECT_EQ(IDValue(flare->Get(mode)), 0x03FFF07Du);
    const std::vector<std::string> expected = {
        "[Error]SLensflare.VisibilityMode: enumerator of another enumeration refused.",
        "[Error]SLensflare.VisibilityMode: not an enumerator.",
    };
    EXPECT_EQ(log.Messages(), expected);
}

TEST_F(GeometryClasses, ParticlesDrawWithSpriteGeometryOnly) {
    Obj<TParticles> particles = TParticles::Create();
    const auto* sprites = MemberIDOf<ClassMember_Object>(1, k_ClassTParticles);
    Obj<TLensflare> flare = TLensflare::Create();
    particles->Set(sprites, flare.Get());
    EXPECT_EQ(particles->m_SpriteGeometry.Get(), flare.Get());
    LogCapture log;
    Obj<TGeometry> plain = TGeometry::Create();
    particles->Set(sprites, plain.Get());
    particles->Set(sprites, flare->GetSNode());
    EXPECT_EQ(particles->m_SpriteGeometry.Get(), flare.Get());
    const std::vector<std::string> expected(
        2, "[Error]TParticles.SpriteGeometry: object of the wrong class refused.");
    EXPECT_EQ(log.Messages(), expected);
}

} // namespace
