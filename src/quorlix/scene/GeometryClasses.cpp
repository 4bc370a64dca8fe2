#include "quorlix/scene/BlendControl.h"
#include "quorlix/scene/Container.h"
#include "quorlix/scene/Emitter.h"
#include "quorlix/scene/Field.h"
#include "quorlix/scene/Geometry.h"
#include "quorlix/scene/Lensflare.h"
#include "quorlix/scene/Particles.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/SceneClasses.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/scene/SpriteAppearances.h"
#include "quorlix/scene/SpriteGeometry.h"
#include "quorlix/scene/VertexData.h"
#include "quorlix/script/ClassBinding.h"

namespace Quorlix {

namespace {

constexpr unsigned k_ObjectSingle = MemberObjectLink | MemberObjectSingle;               // 0x1200
constexpr unsigned k_ObjectArray = MemberObjectLink | MemberIsIndex | MemberObjectIndex; // 0x2600

// --- Geometry, sprites and lens flares ----------------------------------------------------------

const MemberRow k_TGeometryRows[] = {
    Bind::Field<&TGeometry::m_Shader>("Shader", 1, k_ObjectSingle),
};

const MemberRow k_SSpriteGeometryRows[] = {
    Bind::Field<&SSpriteGeometry::m_SpriteType>("SpriteType", 1)
        .Enumeration(k_ClassSSpriteGeometrySpriteTypeEnum)
        .Default(1u), // Quad
    Bind::Field<&SSpriteGeometry::m_SpriteSort>("SpriteSort", 2)
        .Enumeration(k_ClassSSpriteGeometrySpriteSortEnum)
        .Default(0u), // Unsorted
    Bind::Field<&SSpriteGeometry::m_InheritRoll>("InheritRoll", 3).Default(true),
    Bind::Field<&SSpriteGeometry::m_Roll>("Roll", 4).Default(0.0f),
    Bind::Field<&SSpriteGeometry::m_InheritScaling>("InheritScaling", 5).Default(true),
    Bind::Field<&SSpriteGeometry::m_Scaling>("Scaling", 6).Default(Vector3f(1.0f, 1.0f, 1.0f)),
    Bind::Field<&SSpriteGeometry::m_SpriteAppearances>("SpriteAppearances", 7, k_ObjectSingle),
    Bind::Field<&SSpriteGeometry::m_TranslationArray>("TranslationArray", 8, MemberIsArray),
    Bind::Field<&SSpriteGeometry::m_AppearanceSelectArray>("AppearanceSelectArray", 9,
                                                           MemberIsArray),
};

const MemberRow k_SLensflareRows[] = {
    // The enumeration is not registered: the row keeps identifiers, numbered index - 1.
    Bind::Field<&SLensflare::m_VisibilityMode>("VisibilityMode", 1)
        .Enumeration(k_ClassSLensflareVisibilityModeEnum)
        .Default(1u),
    Bind::Field<&SLensflare::m_DistanceArray>("DistanceArray", 2, MemberIsArray),
};

// --- Particles, emitters and fields -------------------------------------------------------------

const MemberRow k_SParticlesRows[] = {
    Bind::Field<&SParticles::m_LifespanMode>("LifespanMode", 1)
        .Enumeration(k_ClassSParticlesLifespanModeEnum)
        .Default(1u), // Constant
    Bind::Field<&SParticles::m_Lifespan>("Lifespan", 2).Default(1.0f),
    Bind::Field<&SParticles::m_LifespanRandom>("LifespanRandom", 3).Default(0.0f),
    Bind::Field<&SParticles::m_MaxCount>("MaxCount", 4).Default(1000),
    Bind::Field<&SParticles::m_InheritFactor>("InheritFactor", 5).Default(0.0f),
    Bind::Field<&SParticles::m_Mass>("Mass", 6).Default(1.0f),
};

const MemberRow k_TParticlesRows[] = {
    Bind::Field<&TParticles::m_SpriteGeometry>("SpriteGeometry", 1, k_ObjectSingle),
    Bind::Field<&TParticles::m_Emitter>("Emitter", 2, k_ObjectArray),
    Bind::Field<&TParticles::m_Field>("Field", 3, k_ObjectArray),
};

const MemberRow k_SEmitterRows[] = {
    Bind::Field<&SEmitter::m_EmitterType>("EmitterType", 1)
        .Enumeration(k_ClassSEmitterEmitterTypeEnum)
        .Default(0u), // Omni
    Bind::Field<&SEmitter::m_EmitterGeometry>("EmitterGeometry", 2, k_ObjectSingle),
    Bind::Field<&SEmitter::m_EmitRate>("EmitRate", 3).Default(100.0f),
    Bind::Field<&SEmitter::m_Direction>("Direction", 4).Default(Vector3f(1.0f, 0.0f, 0.0f)),
    Bind::Field<&SEmitter::m_Spread>("Spread", 5).Default(0.0f),
    Bind::Field<&SEmitter::m_Speed>("Speed", 6).Default(1.0f),
    Bind::Field<&SEmitter::m_RandomSpeed>("RandomSpeed", 7).Default(0.0f),
    Bind::Field<&SEmitter::m_MinDistance>("MinDistance", 8).Default(0.0f),
    Bind::Field<&SEmitter::m_MaxDistance>("MaxDistance", 9).Default(0.0f),
};

const MemberRow k_SFieldRows[] = {
    Bind::Field<&SField::m_Magnitude>("Magnitude", 1).Default(1.0f),
    Bind::Field<&SField::m_Attenuation>("Attenuation", 2).Default(1.0f),
    Bind::Field<&SField::m_MaxDistance>("MaxDistance", 3).Default(1.0f),
    Bind::Field<&SField::m_UseMaxDistance>("UseMaxDistance", 4).Default(false),
};

const MemberRow k_SGravityFieldRows[] = {
    Bind::Field<&SGravityField::m_Direction>("Direction", 1).Default(Vector3f(0.0f, -1.0f, 0.0f)),
};

const MemberRow k_SRadialFieldRows[] = {
    Bind::Field<&SRadialField::m_RadialType>("RadialType", 1).Default(0.0f),
};

// --- Containers and sound -----------------------------------------------------------------------

const MemberRow k_SContainerRows[] = {
    Bind::Field<&SContainer::m_Object>("Object", 1, k_ObjectArray),
};

const MemberRow k_SSoundEmitterRows[] = {
    Bind::Field<&SSoundEmitter::m_FileObject>("FileObject", 1, k_ObjectSingle),
};

// --- Polygon meshes -----------------------------------------------------------------------------

// The members the derived counts follow from go through the setters, which recompute them.
const MemberRow k_SPolygonGeometryRows[] = {
    Bind::Property<&SPolygonGeometry::GetPrimType, &SPolygonGeometry::SetPrimType>("PrimType", 1)
        .Enumeration(k_ClassPrimitiveTypeEnum)
        .Default(2u), // Triangle
    Bind::Property<&SPolygonGeometry::GetPrimCount, &SPolygonGeometry::SetPrimCount>("PrimCount", 2)
        .Default(0),
    Bind::ArrayProperty<&SPolygonGeometry::GetPrimLengthArray,
                        &SPolygonGeometry::SetPrimLengthArray>("PrimLengthArray", 3),
    Bind::ArrayProperty<&SPolygonGeometry::GetIndexArray, &SPolygonGeometry::SetIndexArray>(
        "IndexArray", 4),
    Bind::Field<&SPolygonGeometry::m_VertexData>("VertexData", 5, k_ObjectArray),
    Bind::ArrayProperty<&SPolygonGeometry::GetVertexArray, &SPolygonGeometry::SetVertexArray>(
        "VertexArray", 6),
    Bind::Field<&SPolygonGeometry::m_NormalArray>("NormalArray", 7, MemberIsArray),
};

const MemberRow k_SSkinPolygonGeometryRows[] = {
    Bind::Field<&SSkinPolygonGeometry::m_GeometryMatrix>("GeometryMatrix", 1), // identity
    Bind::Field<&SSkinPolygonGeometry::m_BindMatrixInverse>("BindMatrixInverse", 2, MemberIsIndex),
    Bind::Field<&SSkinPolygonGeometry::m_BlendControl>("BlendControl", 3, k_ObjectArray),
    Bind::Field<&SSkinPolygonGeometry::m_BlendTexCoordControl>("BlendTexCoordControl", 4,
                                                               k_ObjectArray),
};

const MemberRow k_TSkinPolygonGeometryRows[] = {
    Bind::Field<&TSkinPolygonGeometry::m_Joint>("Joint", 1, k_ObjectArray),
};

// --- Support classes ----------------------------------------------------------------------------

const MemberRow k_BlendControlRows[] = {
    Bind::Field<&BlendControl::m_Weight>("Weight", 1).Default(1.0f),
};

const MemberRow k_SpriteAppearancesRows[] = {
    Bind::Field<&SpriteAppearances::m_AppearanceCount>("AppearanceCount", 1).Default(0),
    Bind::Field<&SpriteAppearances::m_InterpolateRadius>("InterpolateRadius", 2).Default(false),
    Bind::Field<&SpriteAppearances::m_InterpolateColor>("InterpolateColor", 3).Default(false),
    Bind::Field<&SpriteAppearances::m_RadiusArray>("RadiusArray", 4, MemberIsArray),
    Bind::Field<&SpriteAppearances::m_TexCoordCenterArray>("TexCoordCenterArray", 5, MemberIsArray),
    Bind::Field<&SpriteAppearances::m_TexCoordRadiusArray>("TexCoordRadiusArray", 6, MemberIsArray),
    Bind::Field<&SpriteAppearances::m_ColorArray>("ColorArray", 7, MemberIsArray),
};

const MemberRow k_VertexDataRows[] = {
    Bind::Field<&VertexData::m_Usage>("Usage", 1).Default(0u),
};
const MemberRow k_VertexDataF32Rows[] = {
    Bind::Field<&VertexDataF32::m_DataArray>("DataArray", 1, MemberIsArray),
};
const MemberRow k_VertexDataVector2fRows[] = {
    Bind::Field<&VertexDataVector2f::m_DataArray>("DataArray", 1, MemberIsArray),
};
const MemberRow k_VertexDataVector3fRows[] = {
    Bind::Field<&VertexDataVector3f::m_DataArray>("DataArray", 1, MemberIsArray),
};
const MemberRow k_VertexDataVector4fRows[] = {
    Bind::Field<&VertexDataVector4f::m_DataArray>("DataArray", 1, MemberIsArray),
};
const MemberRow k_VertexDataMatrix4fRows[] = {
    Bind::Field<&VertexDataMatrix4f::m_DataArray>("DataArray", 1, MemberIsArray),
};

// --- Enumerations (values index - 1) ------------------------------------------------------------

const MemberRow k_PrimitiveTypeRows[] = {
    Bind::Enumerator("Point", 1, Primitive::Point),
    Bind::Enumerator("Line", 2, Primitive::Line),
    Bind::Enumerator("Triangle", 3, Primitive::Triangle),
    Bind::Enumerator("Quad", 4, Primitive::Quad),
    Bind::Enumerator("Polygon", 5, Primitive::Polygon),
    Bind::Enumerator("TriangleStrip", 6, Primitive::TriangleStrip),
    Bind::Enumerator("TriangleFan", 7, Primitive::TriangleFan),
    Bind::Enumerator("QuadStrip", 8, Primitive::QuadStrip),
    Bind::Enumerator("LineStrip", 9, Primitive::LineStrip),
    Bind::Enumerator("LineLoop", 10, Primitive::LineLoop),
    Bind::Enumerator("TriangleStripAndTriangles", 11, Primitive::TriangleStripAndTriangles),
};
const MemberRow k_SpriteTypeRows[] = {
    Bind::Enumerator("Triangle", 1, 0),
    Bind::Enumerator("Quad", 2, 1),
};
const MemberRow k_SpriteSortRows[] = {
    Bind::Enumerator("Unsorted", 1, 0),
    Bind::Enumerator("DepthSorted", 2, 1),
};
const MemberRow k_LifespanModeRows[] = {
    Bind::Enumerator("LiveForever", 1, 0),
    Bind::Enumerator("Constant", 2, 1),
    Bind::Enumerator("RandomRange", 3, 2),
};
const MemberRow k_EmitterTypeRows[] = {
    Bind::Enumerator("Omni", 1, 0),
    Bind::Enumerator("Directional", 2, 1),
    Bind::Enumerator("Volume", 3, 2),
};
const MemberRow k_VolumeTypeRows[] = {
    Bind::Enumerator("Cube", 1, 0),
    Bind::Enumerator("Sphere", 2, 1),
    Bind::Enumerator("Cylinder", 3, 2),
    Bind::Enumerator("Cone", 4, 3),
};

} // namespace

void BindGeometryClasses() {
    using Bind::NativeClass;
    BindClass(NativeClass<SGeometry>(k_ClassSGeometry, k_ClassSLeaf, "SGeometry"));
    BindClass(NativeClass<TGeometry>(k_ClassTGeometry, k_ClassTLeaf, "TGeometry")
                  .Members(k_TGeometryRows));
    BindClass(
        NativeClass<SSpriteGeometry>(k_ClassSSpriteGeometry, k_ClassSGeometry, "SSpriteGeometry")
            .Members(k_SSpriteGeometryRows));
    BindClass(
        NativeClass<TSpriteGeometry>(k_ClassTSpriteGeometry, k_ClassTGeometry, "TSpriteGeometry"));
    BindClass(NativeClass<SLensflare>(k_ClassSLensflare, k_ClassSSpriteGeometry, "SLensflare")
                  .Members(k_SLensflareRows));
    BindClass(NativeClass<TLensflare>(k_ClassTLensflare, k_ClassTSpriteGeometry, "TLensflare"));
    BindClass(NativeClass<SParticles>(k_ClassSParticles, k_ClassSLeaf, "SParticles")
                  .Members(k_SParticlesRows));
    BindClass(NativeClass<TParticles>(k_ClassTParticles, k_ClassTLeaf, "TParticles")
                  .Members(k_TParticlesRows));
    BindClass(
        NativeClass<SEmitter>(k_ClassSEmitter, k_ClassSLeaf, "SEmitter").Members(k_SEmitterRows));
    BindClass(NativeClass<TEmitter>(k_ClassTEmitter, k_ClassTLeaf, "TEmitter"));
    BindClass(NativeClass<SField>(k_ClassSField, k_ClassSLeaf, "SField").Members(k_SFieldRows));
    BindClass(NativeClass<TField>(k_ClassTField, k_ClassTLeaf, "TField"));
    BindClass(NativeClass<SGravityField>(k_ClassSGravityField, k_ClassSField, "SGravityField")
                  .Members(k_SGravityFieldRows));
    BindClass(NativeClass<TGravityField>(k_ClassTGravityField, k_ClassTField, "TGravityField"));
    BindClass(NativeClass<SRadialField>(k_ClassSRadialField, k_ClassSField, "SRadialField")
                  .Members(k_SRadialFieldRows));
    BindClass(NativeClass<TRadialField>(k_ClassTRadialField, k_ClassTField, "TRadialField"));
    BindClass(NativeClass<SContainer>(k_ClassSContainer, k_ClassSLeaf, "SContainer")
                  .Members(k_SContainerRows));
    BindClass(NativeClass<TContainer>(k_ClassTContainer, k_ClassTLeaf, "TContainer"));
    BindClass(NativeClass<SSoundEmitter>(k_ClassSSoundEmitter, k_ClassSLeaf, "SSoundEmitter")
                  .Members(k_SSoundEmitterRows));
    BindClass(NativeClass<TSoundEmitter>(k_ClassTSoundEmitter, k_ClassTLeaf, "TSoundEmitter"));
    BindClass(NativeClass<SSoundReceiver>(k_ClassSSoundReceiver, k_ClassSLeaf, "SSoundReceiver"));
    BindClass(NativeClass<TSoundReceiver>(k_ClassTSoundReceiver, k_ClassTLeaf, "TSoundReceiver"));
    BindClass(
        NativeClass<SPolygonGeometry>(k_ClassSPolygonGeometry, k_ClassSGeometry, "SPolygonGeometry")
            .Members(k_SPolygonGeometryRows));
    BindClass(NativeClass<TPolygonGeometry>(k_ClassTPolygonGeometry, k_ClassTGeometry,
                                            "TPolygonGeometry"));
    BindClass(NativeClass<SSkinPolygonGeometry>(k_ClassSSkinPolygonGeometry,
                                                k_ClassSPolygonGeometry, "SSkinPolygonGeometry")
                  .Members(k_SSkinPolygonGeometryRows));
    BindClass(NativeClass<TSkinPolygonGeometry>(k_ClassTSkinPolygonGeometry,
                                                k_ClassTPolygonGeometry, "TSkinPolygonGeometry")
                  .Members(k_TSkinPolygonGeometryRows));
    BindClass(NativeClass<SMetaballs>(k_ClassSMetaballs, k_ClassSPolygonGeometry, "SMetaballs"));
    BindClass(NativeClass<TMetaballs>(k_ClassTMetaballs, k_ClassTPolygonGeometry, "TMetaballs"));
}

void BindBlendControlClass() {
    BindClass(Bind::NativeClass<BlendControl>(k_ClassBlendControl, k_ClassObject, "BlendControl")
                  .Members(k_BlendControlRows));
}

void BindSpriteAppearancesClass() {
    BindClass(Bind::NativeClass<SpriteAppearances>(k_ClassSpriteAppearances, k_ClassObject,
                                                   "SpriteAppearances")
                  .Members(k_SpriteAppearancesRows));
}

void BindVertexDataClasses() {
    using Bind::NativeClass;
    BindClass(NativeClass<VertexData>(k_ClassVertexData, k_ClassObject, "VertexData")
                  .Members(k_VertexDataRows));
    BindClass(NativeClass<VertexDataF32>(k_ClassVertexDataF32, k_ClassVertexData, "VertexDataF32")
                  .Members(k_VertexDataF32Rows));
    BindClass(NativeClass<VertexDataVector2f>(k_ClassVertexDataVector2f, k_ClassVertexData,
                                              "VertexDataVector2f")
                  .Members(k_VertexDataVector2fRows));
    BindClass(NativeClass<VertexDataVector3f>(k_ClassVertexDataVector3f, k_ClassVertexData,
                                              "VertexDataVector3f")
                  .Members(k_VertexDataVector3fRows));
    BindClass(NativeClass<VertexDataVector4f>(k_ClassVertexDataVector4f, k_ClassVertexData,
                                              "VertexDataVector4f")
                  .Members(k_VertexDataVector4fRows));
    BindClass(NativeClass<VertexDataMatrix4f>(k_ClassVertexDataMatrix4f, k_ClassVertexData,
                                              "VertexDataMatrix4f")
                  .Members(k_VertexDataMatrix4fRows));
}

void BindGeometryEnumerations() {
    using Bind::PlainClass;
    BindClass(PlainClass(k_ClassPrimitiveTypeEnum, k_ClassScriptObject, "Primitive.TypeEnum",
                         Kind_Enum, "Primitive")
                  .Members(k_PrimitiveTypeRows));
    BindClass(PlainClass(k_ClassSSpriteGeometrySpriteTypeEnum, k_ClassScriptObject,
                         "SSpriteGeometry.SpriteTypeEnum", Kind_Enum, "SSpriteGeometry")
                  .Members(k_SpriteTypeRows));
    BindClass(PlainClass(k_ClassSSpriteGeometrySpriteSortEnum, k_ClassScriptObject,
                         "SSpriteGeometry.SpriteSortEnum", Kind_Enum, "SSpriteGeometry")
                  .Members(k_SpriteSortRows));
    BindClass(PlainClass(k_ClassSParticlesLifespanModeEnum, k_ClassScriptObject,
                         "SParticles.LifespanModeEnum", Kind_Enum, "SParticles")
                  .Members(k_LifespanModeRows));
    BindClass(PlainClass(k_ClassSEmitterEmitterTypeEnum, k_ClassScriptObject,
                         "SEmitter.EmitterTypeEnum", Kind_Enum, "SEmitter")
                  .Members(k_EmitterTypeRows));
    BindClass(PlainClass(k_ClassSEmitterVolumeTypeEnum, k_ClassScriptObject,
                         "SEmitter.VolumeTypeEnum", Kind_Enum, "SEmitter")
                  .Members(k_VolumeTypeRows));
}

} // namespace Quorlix
