// The scene registry as listed for files and peers: every class with its
// identifier, base and members (index, name, type, flags), and every
// enumeration with its enumerators. Identifiers are stored in files, so any
// difference here breaks files already written.

#include "quorlix/library/Library.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptObject.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Quorlix;

namespace {

struct MemberSpec {
    int m_Index;
    const char* m_Name;
    int m_Type; // built-in class index of the value type
    unsigned m_Flags;
};

struct ClassSpec {
    const char* m_Name;
    int m_Id;
    const char* m_Base;
    std::vector<MemberSpec> m_Members;
};

struct EnumerationSpec {
    const char* m_Name;
    int m_Id;
    std::vector<const char*> m_Enumerators; // member 1, 2, ...
};

class SceneRegistry : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
};

TEST_F(SceneRegistry, EveryClassHasItsIdentifierBaseAndMembers) {
    const std::vector<ClassSpec> classes = {
        {"Object", -4032, "ScriptObject", {{1, "Name", k_ClassString, 0}}},
        {"FileObject", -4031, "Object", {{1, "FileName", k_ClassString, 0}}},
        {"SNode",
         -4030,
         "Object",
         {{1, "Visibility", k_ClassU32, 0}, {2, "VisibilityF32", k_ClassF32, 0x1}}},
        {"TNode",
         -4029,
         "Object",
         {{1, "SNode", k_ClassScriptObject, 0x1200},
          {2, "Parent", k_ClassScriptObject, 0x1202},
          {3, "ParentTransform", k_ClassScriptObject, 0x1203},
          {4, "BoundingMode", k_ClassEnum, 0},
          {5, "BoundingSphere", k_ClassSpheref, 0}}},
        {"SLeaf", -4028, "SNode", {}},
        {"TLeaf", -4027, "TNode", {}},
        {"SBranch", -4026, "SNode", {}},
        {"TBranch", -4025, "TNode", {{1, "Child", k_ClassScriptObject, 0x2601}}},
        {"SBaseTransform", -4024, "SBranch", {{1, "LocalMatrix", k_ClassMatrix4f, 0x1}}},
        {"TBaseTransform",
         -4023,
         "TBranch",
         {{1, "WorldMatrix", k_ClassMatrix4f, 0x1},
          {2, "ModelViewMatrix", k_ClassMatrix4f, 0x1},
          {3, "ConstraintArray", k_ClassScriptObject, 0x2600},
          {4, "ModelViewMatrixInverse", k_ClassMatrix4f, 0x1},
          {5, "MatrixFrame", k_ClassU32, 0x1}}},
        {"SSimpleTransform",
         -4022,
         "SBaseTransform",
         {{1, "Translation", k_ClassVector3f, 0},
          {2, "Rotation", k_ClassVector3f, 0},
          {3, "RotationOrder", k_ClassEnum, 0},
          {4, "Scaling", k_ClassVector3f, 0},
          {5, "TranslationLimitEnableMask", k_ClassU32, 0},
          {6, "RotationLimitEnableMask", k_ClassU32, 0},
          {7, "ScalingLimitEnableMask", k_ClassU32, 0},
          {8, "TranslationMin", k_ClassVector3f, 0},
          {9, "TranslationMax", k_ClassVector3f, 0},
          {10, "RotationMin", k_ClassVector3f, 0},
          {11, "RotationMax", k_ClassVector3f, 0},
          {12, "ScalingMin", k_ClassVector3f, 0},
          {13, "ScalingMax", k_ClassVector3f, 0}}},
        {"TSimpleTransform", -4021, "TBaseTransform", {}},
        {"STransform",
         -4020,
         "SSimpleTransform",
         {{1, "Shearing", k_ClassVector3f, 0},
          {2, "ScalingPivot", k_ClassVector3f, 0},
          {3, "ScalingPivotTranslation", k_ClassVector3f, 0},
          {4, "RotationAxis", k_ClassVector3f, 0},
          {5, "RotationPivot", k_ClassVector3f, 0},
          {6, "RotationPivotTranslation", k_ClassVector3f, 0}}},
        {"TTransform", -4019, "TSimpleTransform", {}},
        {"SClusterHandle", -3903, "STransform", {{1, "Origin", k_ClassVector3f, 0}}},
        {"TClusterHandle", -3904, "TTransform", {}},
        {"SJoint",
         -4018,
         "SSimpleTransform",
         {{1, "RotationAxis", k_ClassVector3f, 0},
          {2, "JointOrientation", k_ClassVector3f, 0},
          {3, "PreferredAngle", k_ClassVector3f, 0},
          {4, "ParentScaling", k_ClassVector3f, 0},
          {5, "ParentScalingEnable", k_ClassBool, 0}}},
        {"TJoint", -4017, "TSimpleTransform", {{1, "IKDependency", k_ClassScriptObject, 0x1203}}},
        {"SIKEffector", -4016, "STransform", {}},
        {"TIKEffector", -4015, "TTransform", {{1, "TranslationLink", k_ClassScriptObject, 0x1200}}},
        {"SIKHandle",
         -4014,
         "STransform",
         {{1, "PoleVector", k_ClassVector3f, 0}, {2, "Twist", k_ClassF32, 0}}},
        {"TIKHandle",
         -4013,
         "TTransform",
         {{1, "StartJoint", k_ClassScriptObject, 0x1200},
          {2, "EndEffector", k_ClassScriptObject, 0x1200},
          {3, "SolvePriority", k_ClassI32, 0}}},
        {"SIKSplineHandle", -3852, "SIKHandle", {}},
        {"TIKSplineHandle",
         -3851,
         "TIKHandle",
         {{1, "SplineCurve", k_ClassScriptObject, 0x1200},
          {2, "ClusterHandleArray", k_ClassScriptObject, 0x2600}}},
        {"SSplineCurve",
         -3854,
         "SLeaf",
         {{1, "KnotArray", k_ClassF32, 0x800}, {2, "CVArray", k_ClassVector3f, 0x800}}},
        {"TSplineCurve", -3853, "TLeaf", {}},
        {"SCamera",
         -4012,
         "SLeaf",
         {{1, "FieldOfView", k_ClassF32, 0},
          {2, "FocalLength", k_ClassF32, 0x1},
          {3, "Aperture", k_ClassVector2f, 0}}},
        {"TCamera", -4011, "TLeaf", {}},
        {"SLight", -4010, "SLeaf", {{1, "Color", k_ClassVector3f, 0}, {2, "Type", k_ClassEnum, 0}}},
        {"TLight", -4009, "TLeaf", {}},
        {"SFog",
         -3970,
         "SLeaf",
         {{1, "Type", k_ClassEnum, 0},
          {2, "DistanceType", k_ClassEnum, 0},
          {3, "Color", k_ClassVector3f, 0},
          {4, "Density", k_ClassF32, 0},
          {5, "NearFar", k_ClassVector2f, 0}}},
        {"TFog", -3969, "TLeaf", {}},
        {"SLODGroup", -4008, "SBranch", {{1, "ThresholdArray", k_ClassF32, 0x800}}},
        {"TLODGroup", -4007, "TBranch", {}},
        {"Constraint",
         -4006,
         "Object",
         {{1, "TargetArray", k_ClassScriptObject, 0x2600},
          {2, "WeightArray", k_ClassF32, 0x400},
          {3, "SolvePriority", k_ClassI32, 0},
          {4, "ExcludeMask", k_ClassU32, 0}}},
        {"AimConstraint",
         -4003,
         "Constraint",
         {{1, "AimVector", k_ClassVector3f, 0},
          {2, "UpVector", k_ClassVector3f, 0},
          {3, "UpTargetVector", k_ClassVector3f, 0},
          {4, "UpTarget", k_ClassScriptObject, 0x1200},
          {5, "OrientOffset", k_ClassVector3f, 0},
          {6, "Twist", k_ClassF32, 0}}},
        {"TransformConstraint",
         -4005,
         "Constraint",
         {{1, "ConstraintType", k_ClassEnum, 0}, {2, "OrientOffset", k_ClassVector3f, 0}}},
        {"PoleVectorConstraint", -4002, "Constraint", {}},
        {"SGeometry", -4000, "SLeaf", {}},
        {"TGeometry", -3999, "TLeaf", {{1, "Shader", k_ClassScriptObject, 0x1200}}},
        {"SSpriteGeometry",
         -3998,
         "SGeometry",
         {{1, "SpriteType", k_ClassEnum, 0},
          {2, "SpriteSort", k_ClassEnum, 0},
          {3, "InheritRoll", k_ClassBool, 0},
          {4, "Roll", k_ClassF32, 0},
          {5, "InheritScaling", k_ClassBool, 0},
          {6, "Scaling", k_ClassVector3f, 0},
          {7, "SpriteAppearances", k_ClassScriptObject, 0x1200},
          {8, "TranslationArray", k_ClassVector3f, 0x800},
          {9, "AppearanceSelectArray", k_ClassF32, 0x800}}},
        {"TSpriteGeometry", -3997, "TGeometry", {}},
        {"SLensflare",
         -3996,
         "SSpriteGeometry",
         {{1, "VisibilityMode", k_ClassEnum, 0}, {2, "DistanceArray", k_ClassVector3f, 0x800}}},
        {"TLensflare", -3995, "TSpriteGeometry", {}},
        {"SParticles",
         -3994,
         "SLeaf",
         {{1, "LifespanMode", k_ClassEnum, 0},
          {2, "Lifespan", k_ClassF32, 0},
          {3, "LifespanRandom", k_ClassF32, 0},
          {4, "MaxCount", k_ClassI32, 0},
          {5, "InheritFactor", k_ClassF32, 0},
          {6, "Mass", k_ClassF32, 0}}},
        {"TParticles",
         -3993,
         "TLeaf",
         {{1, "SpriteGeometry", k_ClassScriptObject, 0x1200},
          {2, "Emitter", k_ClassScriptObject, 0x2600},
          {3, "Field", k_ClassScriptObject, 0x2600}}},
        {"SEmitter",
         -3992,
         "SLeaf",
         {{1, "EmitterType", k_ClassEnum, 0},
          {2, "EmitterGeometry", k_ClassScriptObject, 0x1200},
          {3, "EmitRate", k_ClassF32, 0},
          {4, "Direction", k_ClassVector3f, 0},
          {5, "Spread", k_ClassF32, 0},
          {6, "Speed", k_ClassF32, 0},
          {7, "RandomSpeed", k_ClassF32, 0},
          {8, "MinDistance", k_ClassF32, 0},
          {9, "MaxDistance", k_ClassF32, 0}}},
        {"TEmitter", -3991, "TLeaf", {}},
        {"SField",
         -3990,
         "SLeaf",
         {{1, "Magnitude", k_ClassF32, 0},
          {2, "Attenuation", k_ClassF32, 0},
          {3, "MaxDistance", k_ClassF32, 0},
          {4, "UseMaxDistance", k_ClassBool, 0}}},
        {"TField", -3989, "TLeaf", {}},
        {"SGravityField", -3988, "SField", {{1, "Direction", k_ClassVector3f, 0}}},
        {"TGravityField", -3987, "TField", {}},
        {"SRadialField", -3986, "SField", {{1, "RadialType", k_ClassF32, 0}}},
        {"TRadialField", -3985, "TField", {}},
        {"SContainer", -3980, "SLeaf", {{1, "Object", k_ClassScriptObject, 0x2600}}},
        {"TContainer", -3979, "TLeaf", {}},
        {"SSoundEmitter", -3984, "SLeaf", {{1, "FileObject", k_ClassScriptObject, 0x1200}}},
        {"TSoundEmitter", -3983, "TLeaf", {}},
        {"SSoundReceiver", -3982, "SLeaf", {}},
        {"TSoundReceiver", -3981, "TLeaf", {}},
        {"SPolygonGeometry",
         -3978,
         "SGeometry",
         {{1, "PrimType", k_ClassEnum, 0},
          {2, "PrimCount", k_ClassI32, 0},
          {3, "PrimLengthArray", k_ClassI32, 0x800},
          {4, "IndexArray", k_ClassI32, 0x800},
          {5, "VertexData", k_ClassScriptObject, 0x2600},
          {6, "VertexArray", k_ClassVector3f, 0x800},
          {7, "NormalArray", k_ClassVector3f, 0x800}}},
        {"TPolygonGeometry", -3977, "TGeometry", {}},
        {"SSkinPolygonGeometry",
         -3976,
         "SPolygonGeometry",
         {{1, "GeometryMatrix", k_ClassMatrix4f, 0},
          {2, "BindMatrixInverse", k_ClassMatrix4f, 0x400},
          {3, "BlendControl", k_ClassScriptObject, 0x2600},
          {4, "BlendTexCoordControl", k_ClassScriptObject, 0x2600}}},
        {"TSkinPolygonGeometry",
         -3975,
         "TPolygonGeometry",
         {{1, "Joint", k_ClassScriptObject, 0x2600}}},
        {"SMetaballs", -3974, "SPolygonGeometry", {}},
        {"TMetaballs", -3973, "TPolygonGeometry", {}},
        {"SpriteAppearances",
         -3953,
         "Object",
         {{1, "AppearanceCount", k_ClassI32, 0},
          {2, "InterpolateRadius", k_ClassBool, 0},
          {3, "InterpolateColor", k_ClassBool, 0},
          {4, "RadiusArray", k_ClassVector3f, 0x800},
          {5, "TexCoordCenterArray", k_ClassVector2f, 0x800},
          {6, "TexCoordRadiusArray", k_ClassVector2f, 0x800},
          {7, "ColorArray", k_ClassVector4f, 0x800}}},
        {"BlendControl", -3954, "Object", {{1, "Weight", k_ClassF32, 0}}},
        {"VertexData", -3936, "Object", {{1, "Usage", k_ClassU32, 0}}},
        {"VertexDataF32", -3935, "VertexData", {{1, "DataArray", k_ClassF32, 0x800}}},
        {"VertexDataVector2f", -3934, "VertexData", {{1, "DataArray", k_ClassVector2f, 0x800}}},
        {"VertexDataVector3f", -3933, "VertexData", {{1, "DataArray", k_ClassVector3f, 0x800}}},
        {"VertexDataVector4f", -3932, "VertexData", {{1, "DataArray", k_ClassVector4f, 0x800}}},
        {"VertexDataMatrix4f", -3931, "VertexData", {{1, "DataArray", k_ClassMatrix4f, 0x800}}},
    };
    for (const ClassSpec& spec : classes) {
        SCOPED_TRACE(spec.m_Name);
        const ClassType_TypeID* id = MakeTypeID(spec.m_Id);
        const MVTBL* table = IsTableOf(ClassIndexOf(id));
        ASSERT_NE(table, nullptr);
        const MVTBLHeader* header = TableHeader(table);
        EXPECT_STREQ(header->m_Name, spec.m_Name);
        EXPECT_EQ(header->m_Kind, Kind_Object);
        if (std::string(spec.m_Base) == "ScriptObject")
            EXPECT_EQ(header->m_BaseID, nullptr);
        else
            EXPECT_STREQ(TypeIDToString(header->m_BaseID), spec.m_Base);

        int defined = 0;
        for (int k = 1; k < header->m_Count; ++k)
            defined += table[k].m_Name != nullptr;
        EXPECT_EQ(defined, static_cast<int>(spec.m_Members.size())) << "no other members";
        for (const MemberSpec& m : spec.m_Members) {
            SCOPED_TRACE(m.m_Name);
            ASSERT_LT(m.m_Index, header->m_Count);
            const MVTBL& entry = table[m.m_Index];
            EXPECT_STREQ(entry.m_Name, m.m_Name);
            EXPECT_EQ(ClassIndexOf(entry.m_Type), m.m_Type);
            EXPECT_EQ(entry.m_Flags, m.m_Flags);
            // (member << 24) | (class & 0xFFFFFF), as lookups give it.
            const uint32_t expected = static_cast<uint32_t>(m.m_Index) << 24 |
                                      (static_cast<uint32_t>(spec.m_Id) & 0xFFFFFF);
            EXPECT_EQ(IDValue(FindClassMember(id, m.m_Name)), expected);
        }
    }
}

TEST_F(SceneRegistry, EnumerationsHoldTheirEnumeratorsInOrder) {
    const std::vector<EnumerationSpec> enumerations = {
        {"TransformConstraint.ConstraintTypeEnum", -4004, {"Point", "Orient", "Parent", "Scale"}},
        {"Primitive.TypeEnum",
         -3929,
         {"Point", "Line", "Triangle", "Quad", "Polygon", "TriangleStrip", "TriangleFan",
          "QuadStrip", "LineStrip", "LineLoop", "TriangleStripAndTriangles"}},
        {"SSpriteGeometry.SpriteTypeEnum", -3928, {"Triangle", "Quad"}},
        {"SSpriteGeometry.SpriteSortEnum", -3927, {"Unsorted", "DepthSorted"}},
        {"SParticles.LifespanModeEnum", -3972, {"LiveForever", "Constant", "RandomRange"}},
        {"SEmitter.EmitterTypeEnum", -3926, {"Omni", "Directional", "Volume"}},
        {"SEmitter.VolumeTypeEnum", -3925, {"Cube", "Sphere", "Cylinder", "Cone"}},
        {"TNode.BoundingModeEnum",
         -3923,
         {"BoundingDynamic", "BoundingStatic", "BoundingStaticSubtree"}},
        {"SLight.TypeEnum", -3922, {"Directional", "Point", "Ambient"}},
        {"SFog.TypeEnum", -3906, {"Linear", "Exponential", "Exponential2"}},
        {"SFog.DistanceTypeEnum", -3905, {"ScreenSpace", "EyeSpace"}},
    };
    for (const EnumerationSpec& spec : enumerations) {
        SCOPED_TRACE(spec.m_Name);
        const ClassType_TypeID* id = MakeTypeID(spec.m_Id);
        const MVTBL* table = IsTableOf(ClassIndexOf(id));
        ASSERT_NE(table, nullptr);
        const MVTBLHeader* header = TableHeader(table);
        EXPECT_STREQ(header->m_Name, spec.m_Name);
        EXPECT_EQ(header->m_Kind, Kind_Enum);
        EXPECT_EQ(header->m_BaseID, nullptr);
        // The scope is the owner named before the dot, so "Owner.Enumerator"
        // resolves.
        const std::string name = spec.m_Name;
        const std::string scope = name.substr(0, name.rfind('.'));
        EXPECT_EQ(TypeIDToScope(id), scope);
        ASSERT_EQ(header->m_Count, static_cast<int>(spec.m_Enumerators.size()) + 1);
        for (size_t i = 0; i < spec.m_Enumerators.size(); ++i) {
            const int k = static_cast<int>(i) + 1;
            EXPECT_STREQ(table[k].m_Name, spec.m_Enumerators[i]);
            EXPECT_NE(table[k].m_Flags & MemberIsSomeEnum, 0u);
            EXPECT_EQ(ClassIndexOf(FindScopedMember(scope.c_str(), spec.m_Enumerators[i])),
                      ClassIndexOf(id))
                << spec.m_Enumerators[i];
        }
    }
    // The default bounding mode is stored as the identifier of BoundingDynamic.
    const MVTBL* bounding = IsTableOf(ClassIndexOf(MakeTypeID(-3923)));
    ASSERT_NE(bounding, nullptr);
    EXPECT_EQ(IDValue(FindClassMember(MakeTypeID(-3923), "BoundingDynamic")), 0x01FFF0ADu);
}

} // namespace
