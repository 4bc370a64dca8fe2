// A scene written as a script equals the same scene built through the object interface.

#include "SceneTestSupport.h"

#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptEngine.h"
#include "support/LogCapture.h"
#include "support/ObjectCompare.h"

#include <string>

using namespace Quorlix;
using QuorlixTest::LinkedObjects;

namespace {

class SceneScript : public QuorlixTest::SceneTest {
protected:
    // Every member of both objects' class and its ancestors, values by Compare and owned
    // object links (single and arrays) by recursion.
    void ExpectSame(const ScriptObject* a, const ScriptObject* b, const std::string& path) {
        ASSERT_STREQ(a->GetObjectClassName(), b->GetObjectClassName()) << path;
        for (int c = ClassIndexOf(a->GetObjectClassID()); c != 0;) {
            const MVTBL* table = IsTableOf(c);
            ASSERT_NE(table, nullptr);
            for (int k = 1; k < TableHeader(table)->m_Count; ++k) {
                const MVTBL& entry = table[k];
                if (entry.m_Name == nullptr)
                    continue;
                const ClassType_MemberID* m = MemberIDOf(k, c);
                const std::string where = path + "." + entry.m_Name;
                if (TypeIDToKind(entry.m_Type) != Kind_Object) {
                    EXPECT_TRUE(a->Compare(m, b)) << where;
                    continue;
                }
                if ((entry.m_Flags & (MemberObjectLink | MemberNotOwned)) != MemberObjectLink)
                    continue;
                const Array<Obj<ScriptObject>> left = LinkedObjects(a, m, entry.m_Flags);
                const Array<Obj<ScriptObject>> right = LinkedObjects(b, m, entry.m_Flags);
                ASSERT_EQ(left.Size(), right.Size()) << where;
                for (int i = 0; i < left.Size(); ++i)
                    ExpectSame(left[i], right[i], where + "[" + std::to_string(i) + "]");
            }
            const ClassType_TypeID* base = TableHeader(table)->m_BaseID;
            c = base != nullptr ? ClassIndexOf(base) : 0;
        }
    }

    template <class V>
    static void Set(ScriptObject* o, int c, const char* name, const V& value) {
        o->Set(Member<V>(c, name), value);
    }
    template <class V>
    static void SetArray(ScriptObject* o, int c, const char* name,
                         const Array<typename ScriptValueTraits<V>::Element>& value) {
        ASSERT_TRUE(o->SetArray<V>(
            static_cast<const ClassMember*>(FindClassMember(BuiltinTypeID(c), name)), value))
            << name;
    }
    static Obj<ScriptObject> New(int c, const char* name) {
        Obj<ScriptObject> o(ScriptObject::Create(BuiltinTypeID(c)));
        static_cast<Object*>(o.Get())->SetName(name);
        return o;
    }
    static const ClassType_Enum* Enumerator(const char* scope, const char* name) {
        return static_cast<const ClassType_Enum*>(FindScopedMember(scope, name));
    }
};

TEST_F(SceneScript, ScriptAndObjectInterfaceBuildTheSameScene) {
    const char* script = R"(
STransform:s_root.{ .Translation (1, 2, 3); .Rotation (0, 45.5, 0); .Scaling (2, 2, 2);
                    .RotationPivot (0.5, 0, 0); .ScalingPivot (0, 1, 0); };
SPolygonGeometry:mesh.{ .PrimType Primitive.Triangle; .PrimCount 1;
    .VertexArray [(0, 0, 0), (1, 0, 0), (0, 1, 0)]; .IndexArray [0, 1, 2];
    .NormalArray [(0, 0, 1); (0, 0, 1); (0, 0, 1)];
    .VertexData [VertexDataVector2f:uv.{ .Usage 2u; .DataArray [(0, 0), (1, 0), (0, 1)]; }]; };
TPolygonGeometry:t_mesh.{ .SNode :mesh; };
SLight:light.{ .Color (1, 0.5, 0.25); .Type SLight.Point; };
TLight:t_light.{ .SNode :light; };
TTransform:root.{ .SNode :s_root; .Child [:t_mesh, :t_light]; };
)";
    const Obj<ScriptEngine> engine(ScriptEngine::Create());
    QuorlixTest::LogCapture err;
    const Obj<ScriptObject> result = engine->Execute(String(script), String("scene"), 1);
    EXPECT_TRUE(err.Messages().empty()) << err.Text();
    EXPECT_EQ(result.Get(), engine->FindObjectC("s_root"));

    using QuorlixTest::ArrayOf;
    const Obj<ScriptObject> sRoot = New(k_ClassSTransform, "s_root");
    Set(sRoot.Get(), k_ClassSSimpleTransform, "Translation", Vector3f(1, 2, 3));
    Set(sRoot.Get(), k_ClassSSimpleTransform, "Rotation", Vector3f(0, 45.5f, 0));
    Set(sRoot.Get(), k_ClassSSimpleTransform, "Scaling", Vector3f(2, 2, 2));
    Set(sRoot.Get(), k_ClassSTransform, "RotationPivot", Vector3f(0.5f, 0, 0));
    Set(sRoot.Get(), k_ClassSTransform, "ScalingPivot", Vector3f(0, 1, 0));

    const Obj<ScriptObject> uv = New(k_ClassVertexDataVector2f, "uv");
    Set(uv.Get(), k_ClassVertexData, "Usage", 2u);
    SetArray<Vector2f>(uv.Get(), k_ClassVertexDataVector2f, "DataArray",
                       ArrayOf({Vector2f(0, 0), Vector2f(1, 0), Vector2f(0, 1)}));

    const Obj<ScriptObject> mesh = New(k_ClassSPolygonGeometry, "mesh");
    mesh->Set(Member<const ClassType_Enum*>(k_ClassSPolygonGeometry, "PrimType"),
              Enumerator("Primitive", "Triangle"));
    Set(mesh.Get(), k_ClassSPolygonGeometry, "PrimCount", 1);
    SetArray<Vector3f>(mesh.Get(), k_ClassSPolygonGeometry, "VertexArray",
                       ArrayOf({Vector3f(0, 0, 0), Vector3f(1, 0, 0), Vector3f(0, 1, 0)}));
    SetArray<int32_t>(mesh.Get(), k_ClassSPolygonGeometry, "IndexArray", ArrayOf({0, 1, 2}));
    SetArray<Vector3f>(mesh.Get(), k_ClassSPolygonGeometry, "NormalArray",
                       ArrayOf({Vector3f(0, 0, 1), Vector3f(0, 0, 1), Vector3f(0, 0, 1)}));
    SetArray<ScriptObject*>(mesh.Get(), k_ClassSPolygonGeometry, "VertexData", ArrayOf({uv}));
    const Obj<ScriptObject> tMesh = New(k_ClassTPolygonGeometry, "t_mesh");
    Set<ScriptObject*>(tMesh.Get(), k_ClassTNode, "SNode", mesh.Get());

    const Obj<ScriptObject> light = New(k_ClassSLight, "light");
    Set(light.Get(), k_ClassSLight, "Color", Vector3f(1, 0.5f, 0.25f));
    light->Set(Member<const ClassType_Enum*>(k_ClassSLight, "Type"), Enumerator("SLight", "Point"));
    const Obj<ScriptObject> tLight = New(k_ClassTLight, "t_light");
    Set<ScriptObject*>(tLight.Get(), k_ClassTNode, "SNode", light.Get());

    const Obj<ScriptObject> root = New(k_ClassTTransform, "root");
    Set<ScriptObject*>(root.Get(), k_ClassTNode, "SNode", sRoot.Get());
    SetArray<ScriptObject*>(root.Get(), k_ClassTBranch, "Child", ArrayOf({tMesh, tLight}));

    ExpectSame(engine->FindObjectC("root"), root.Get(), "root");
    {
        // Enumeration members take enumerators of their own enumeration only.
        QuorlixTest::LogCapture refused;
        engine->Execute(String("SLight:light.Type Euler.XYZ;"), String("scene"), 1);
        ASSERT_GE(refused.Messages().size(), 2u);
        EXPECT_EQ(refused.Messages()[1],
                  "[Error]File: scene(1) x=29 :\n    MemberSet: argument type error, expected "
                  "SLight.TypeEnum but found Euler.RotationOrderEnum.");
    }
    // The script's objects are the ones its names define.
    EXPECT_EQ(engine->FindObjectC("root")->Get(Member<ScriptObject*>(k_ClassTNode, "SNode")),
              engine->FindObjectC("s_root"));
}

} // namespace
