// The node classes and their enumerations, bound as data: one block of member rows per class,
// in registry order.

#include "quorlix/scene/Camera.h"
#include "quorlix/scene/Constraint.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Fog.h"
#include "quorlix/scene/Joint.h"
#include "quorlix/scene/LODGroup.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/Node.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/SceneClasses.h"
#include "quorlix/scene/SplineCurve.h"
#include "quorlix/scene/Transform.h"
#include "quorlix/script/ClassBinding.h"

namespace Quorlix {

namespace {

// Member flags of the node model beyond the plain ones.
constexpr unsigned k_Computed = MemberNotWritten;                                        // 0x1
constexpr unsigned k_ObjectRef = MemberObjectSingle | MemberObjectLink;                  // 0x1200
constexpr unsigned k_BackLink = k_ObjectRef | MemberNotOwned;                            // 0x1202
constexpr unsigned k_ComputedRef = k_BackLink | MemberNotWritten;                        // 0x1203
constexpr unsigned k_ObjectIndex = MemberObjectIndex | MemberObjectLink | MemberIsIndex; // 0x2600
constexpr unsigned k_OwnedChildren = k_ObjectIndex | MemberNotWritten;                   // 0x2601

// A row whose objects must be of class T, for a setter that takes any object and reports the
// wrong ones itself.
template <class T>
MemberRow ObjectsOf(MemberRow row) noexcept {
    row.m_ObjectClass = &Bind::ValueOf<T*>::ObjectClass;
    return row;
}

} // namespace

void BindSceneNodeClasses() {
    using namespace Bind;

    static const MemberRow k_FileObject[] = {
        Property<&FileObject::GetFileName, &FileObject::SetFileName>("FileName", 1),
    };
    BindClass(NativeClass<FileObject>(k_ClassFileObject, k_ClassObject, "FileObject")
                  .Members(k_FileObject));

    static const MemberRow k_SNode[] = {
        Property<&SNode::GetVisibility, &SNode::SetVisibility>("Visibility", 1).Default(1u),
        Property<&SNode::GetVisibilityF32, &SNode::SetVisibilityF32>("VisibilityF32", 2, k_Computed)
            .Default(1.0f),
    };
    BindClass(NativeClass<SNode>(k_ClassSNode, k_ClassObject, "SNode").Members(k_SNode));

    static const MemberRow k_TNode[] = {
        Property<&TNode::GetSNode, &TNode::SetSNode>("SNode", 1, k_ObjectRef).NoDefault(),
        ObjectsOf<TBranch>(
            Property<&TNode::GetParentObject, &TNode::SetParent>("Parent", 2, k_BackLink)),
        Property<&TNode::GetParentTransformObject, &TNode::SetParentTransformObject>(
            "ParentTransform", 3, k_ComputedRef),
        Field<&TNode::m_BoundingMode>("BoundingMode", 4)
            .Enumeration(k_ClassTNodeBoundingModeEnum)
            .Default(0u),
        Field<&TNode::m_BoundingSphere>("BoundingSphere", 5).Default(Spheref()),
    };
    // Every T object makes its S object (SNode::Create and the like, as the class binding
    // would) and only SetSNode changes which one it holds.
    BindClass(
        NativeClass<TNode>(k_ClassTNode, k_ClassObject, "TNode").Members(k_TNode).HoldsFresh(1));

    BindClass(NativeClass<SLeaf>(k_ClassSLeaf, k_ClassSNode, "SLeaf"));
    BindClass(NativeClass<TLeaf>(k_ClassTLeaf, k_ClassTNode, "TLeaf"));
    BindClass(NativeClass<SBranch>(k_ClassSBranch, k_ClassSNode, "SBranch"));

    static const MemberRow k_TBranch[] = {
        IndexProperty<&TBranch::GetChild, &TBranch::SetChild, &TBranch::ChildCount,
                      &TBranch::ResizeChild>("Child", 1, k_OwnedChildren),
    };
    BindClass(NativeClass<TBranch>(k_ClassTBranch, k_ClassTNode, "TBranch").Members(k_TBranch));

    static const MemberRow k_SBaseTransform[] = {
        Property<&SBaseTransform::GetLocalMatrix, &SBaseTransform::SetLocalMatrixIgnored>(
            "LocalMatrix", 1, k_Computed),
    };
    BindClass(NativeClass<SBaseTransform>(k_ClassSBaseTransform, k_ClassSBranch, "SBaseTransform")
                  .Members(k_SBaseTransform));

    static const MemberRow k_TBaseTransform[] = {
        Property<&TBaseTransform::GetWorldMatrix, &TBaseTransform::SetWorldMatrix>("WorldMatrix", 1,
                                                                                   k_Computed),
        Property<&TBaseTransform::GetModelViewMatrix, &TBaseTransform::SetModelViewMatrix>(
            "ModelViewMatrix", 2, k_Computed),
        IndexProperty<&TBaseTransform::GetConstraint, &TBaseTransform::SetConstraint,
                      &TBaseTransform::ConstraintCount, &TBaseTransform::ResizeConstraintArray>(
            "ConstraintArray", 3, k_ObjectIndex),
        Property<&TBaseTransform::GetModelViewMatrixInverse,
                 &TBaseTransform::SetModelViewMatrixInverse>("ModelViewMatrixInverse", 4,
                                                             k_Computed),
        Property<&TBaseTransform::GetMatrixFrame, &TBaseTransform::SetMatrixFrame>("MatrixFrame", 5,
                                                                                   k_Computed),
    };
    BindClass(NativeClass<TBaseTransform>(k_ClassTBaseTransform, k_ClassTBranch, "TBaseTransform")
                  .Members(k_TBaseTransform));

    using SST = SSimpleTransform;
    static const MemberRow k_SSimpleTransform[] = {
        Property<&SST::GetTranslation, &SST::SetTranslation>("Translation", 1),
        Property<&SST::GetRotation, &SST::SetRotation>("Rotation", 2),
        Property<&SST::GetRotationOrder, &SST::SetRotationOrder>("RotationOrder", 3)
            .Enumeration(k_ClassRotationOrderEnum)
            .Default(0u),
        Property<&SST::GetScaling, &SST::SetScaling>("Scaling", 4).Default(Vector3f(1, 1, 1)),
        Field<&SST::m_TranslationLimitEnableMask>("TranslationLimitEnableMask", 5),
        Field<&SST::m_RotationLimitEnableMask>("RotationLimitEnableMask", 6),
        Field<&SST::m_ScalingLimitEnableMask>("ScalingLimitEnableMask", 7),
        Field<&SST::m_TranslationMin>("TranslationMin", 8).Default(Vector3f(-1, -1, -1)),
        Field<&SST::m_TranslationMax>("TranslationMax", 9).Default(Vector3f(1, 1, 1)),
        Field<&SST::m_RotationMin>("RotationMin", 10).Default(Vector3f(-45, -45, -45)),
        Field<&SST::m_RotationMax>("RotationMax", 11).Default(Vector3f(45, 45, 45)),
        Field<&SST::m_ScalingMin>("ScalingMin", 12).Default(Vector3f(-1, -1, -1)),
        Field<&SST::m_ScalingMax>("ScalingMax", 13).Default(Vector3f(1, 1, 1)),
    };
    BindClass(NativeClass<SST>(k_ClassSSimpleTransform, k_ClassSBaseTransform, "SSimpleTransform")
                  .Members(k_SSimpleTransform));
    BindClass(NativeClass<TSimpleTransform>(k_ClassTSimpleTransform, k_ClassTBaseTransform,
                                            "TSimpleTransform"));

    static const MemberRow k_STransform[] = {
        Property<&STransform::GetShearing, &STransform::SetShearing>("Shearing", 1),
        Property<&STransform::GetScalingPivot, &STransform::SetScalingPivot>("ScalingPivot", 2),
        Property<&STransform::GetScalingPivotTranslation, &STransform::SetScalingPivotTranslation>(
            "ScalingPivotTranslation", 3),
        Property<&STransform::GetRotationAxis, &STransform::SetRotationAxis>("RotationAxis", 4),
        Property<&STransform::GetRotationPivot, &STransform::SetRotationPivot>("RotationPivot", 5),
        Property<&STransform::GetRotationPivotTranslation,
                 &STransform::SetRotationPivotTranslation>("RotationPivotTranslation", 6),
    };
    BindClass(NativeClass<STransform>(k_ClassSTransform, k_ClassSSimpleTransform, "STransform")
                  .Members(k_STransform));
    BindClass(NativeClass<TTransform>(k_ClassTTransform, k_ClassTSimpleTransform, "TTransform"));

    static const MemberRow k_SClusterHandle[] = {
        Field<&SClusterHandle::m_Origin>("Origin", 1),
    };
    BindClass(
        NativeClass<SClusterHandle>(k_ClassSClusterHandle, k_ClassSTransform, "SClusterHandle")
            .Members(k_SClusterHandle));
    BindClass(
        NativeClass<TClusterHandle>(k_ClassTClusterHandle, k_ClassTTransform, "TClusterHandle"));

    static const MemberRow k_SJoint[] = {
        Property<&SJoint::GetRotationAxis, &SJoint::SetRotationAxis>("RotationAxis", 1),
        Property<&SJoint::GetJointOrientation, &SJoint::SetJointOrientation>("JointOrientation", 2),
        Property<&SJoint::GetPreferredAngle, &SJoint::SetPreferredAngle>("PreferredAngle", 3),
        Property<&SJoint::GetParentScaling, &SJoint::SetParentScaling>("ParentScaling", 4)
            .Default(Vector3f(1, 1, 1)),
        Property<&SJoint::GetParentScalingEnable, &SJoint::SetParentScalingEnable>(
            "ParentScalingEnable", 5)
            .Default(true),
    };
    BindClass(
        NativeClass<SJoint>(k_ClassSJoint, k_ClassSSimpleTransform, "SJoint").Members(k_SJoint));

    static const MemberRow k_TJoint[] = {
        Property<&TJoint::GetIKDependency, &TJoint::SetIKDependency>("IKDependency", 1,
                                                                     k_ComputedRef),
    };
    BindClass(
        NativeClass<TJoint>(k_ClassTJoint, k_ClassTSimpleTransform, "TJoint").Members(k_TJoint));

    BindClass(NativeClass<SIKEffector>(k_ClassSIKEffector, k_ClassSTransform, "SIKEffector"));
    static const MemberRow k_TIKEffector[] = {
        Field<&TIKEffector::m_TranslationLink>("TranslationLink", 1, k_ObjectRef),
    };
    BindClass(NativeClass<TIKEffector>(k_ClassTIKEffector, k_ClassTTransform, "TIKEffector")
                  .Members(k_TIKEffector));

    static const MemberRow k_SIKHandle[] = {
        Field<&SIKHandle::m_PoleVector>("PoleVector", 1),
        Field<&SIKHandle::m_Twist>("Twist", 2),
    };
    BindClass(NativeClass<SIKHandle>(k_ClassSIKHandle, k_ClassSTransform, "SIKHandle")
                  .Members(k_SIKHandle));
    static const MemberRow k_TIKHandle[] = {
        Field<&TIKHandle::m_StartJoint>("StartJoint", 1, k_ObjectRef),
        Field<&TIKHandle::m_EndEffector>("EndEffector", 2, k_ObjectRef),
        Field<&TIKHandle::m_SolvePriority>("SolvePriority", 3),
    };
    BindClass(NativeClass<TIKHandle>(k_ClassTIKHandle, k_ClassTTransform, "TIKHandle")
                  .Members(k_TIKHandle));

    BindClass(
        NativeClass<SIKSplineHandle>(k_ClassSIKSplineHandle, k_ClassSIKHandle, "SIKSplineHandle"));
    static const MemberRow k_TIKSplineHandle[] = {
        Field<&TIKSplineHandle::m_SplineCurve>("SplineCurve", 1, k_ObjectRef),
        Field<&TIKSplineHandle::m_ClusterHandleArray>("ClusterHandleArray", 2, k_ObjectIndex),
    };
    BindClass(
        NativeClass<TIKSplineHandle>(k_ClassTIKSplineHandle, k_ClassTIKHandle, "TIKSplineHandle")
            .Members(k_TIKSplineHandle));

    static const MemberRow k_SSplineCurve[] = {
        Field<&SSplineCurve::m_KnotArray>("KnotArray", 1, MemberIsArray),
        Field<&SSplineCurve::m_CVArray>("CVArray", 2, MemberIsArray),
    };
    BindClass(NativeClass<SSplineCurve>(k_ClassSSplineCurve, k_ClassSLeaf, "SSplineCurve")
                  .Members(k_SSplineCurve));
    BindClass(NativeClass<TSplineCurve>(k_ClassTSplineCurve, k_ClassTLeaf, "TSplineCurve"));

    static const MemberRow k_SCamera[] = {
        Property<&SCamera::GetFieldOfView, &SCamera::SetFieldOfView>("FieldOfView", 1)
            .Default(45.0f),
        Property<&SCamera::GetFocalLength, &SCamera::SetFocalLength>("FocalLength", 2, k_Computed)
            .NoDefault(),
        Property<&SCamera::GetAperture, &SCamera::SetAperture>("Aperture", 3)
            .Default(Vector2f(1.417f, 0.945f)),
    };
    BindClass(NativeClass<SCamera>(k_ClassSCamera, k_ClassSLeaf, "SCamera").Members(k_SCamera));
    BindClass(NativeClass<TCamera>(k_ClassTCamera, k_ClassTLeaf, "TCamera"));

    static const MemberRow k_SLight[] = {
        Field<&SLight::m_Color>("Color", 1).Default(Vector3f(1, 1, 1)),
        Field<&SLight::m_Type>("Type", 2).Enumeration(k_ClassSLightTypeEnum).Default(0u),
    };
    BindClass(NativeClass<SLight>(k_ClassSLight, k_ClassSLeaf, "SLight").Members(k_SLight));
    BindClass(NativeClass<TLight>(k_ClassTLight, k_ClassTLeaf, "TLight"));

    static const MemberRow k_SFog[] = {
        Field<&SFog::m_Type>("Type", 1).Enumeration(k_ClassSFogTypeEnum).Default(1u),
        Field<&SFog::m_DistanceType>("DistanceType", 2)
            .Enumeration(k_ClassSFogDistanceTypeEnum)
            .Default(0u),
        Field<&SFog::m_Color>("Color", 3).Default(Vector3f(1, 1, 1)),
        Field<&SFog::m_Density>("Density", 4),
        Field<&SFog::m_NearFar>("NearFar", 5),
    };
    BindClass(NativeClass<SFog>(k_ClassSFog, k_ClassSLeaf, "SFog").Members(k_SFog));
    BindClass(NativeClass<TFog>(k_ClassTFog, k_ClassTLeaf, "TFog"));

    static const MemberRow k_SLODGroup[] = {
        Field<&SLODGroup::m_ThresholdArray>("ThresholdArray", 1, MemberIsArray),
    };
    BindClass(
        NativeClass<SLODGroup>(k_ClassSLODGroup, k_ClassSBranch, "SLODGroup").Members(k_SLODGroup));
    BindClass(NativeClass<TLODGroup>(k_ClassTLODGroup, k_ClassTBranch, "TLODGroup"));

    static const MemberRow k_Constraint[] = {
        Field<&Constraint::m_TargetArray>("TargetArray", 1, k_ObjectIndex),
        Field<&Constraint::m_WeightArray>("WeightArray", 2, MemberIsIndex),
        Field<&Constraint::m_SolvePriority>("SolvePriority", 3),
        Field<&Constraint::m_ExcludeMask>("ExcludeMask", 4),
    };
    BindClass(NativeClass<Constraint>(k_ClassConstraint, k_ClassObject, "Constraint")
                  .Members(k_Constraint));

    static const MemberRow k_AimConstraint[] = {
        Field<&AimConstraint::m_AimVector>("AimVector", 1).Default(Vector3f(1, 0, 0)),
        Field<&AimConstraint::m_UpVector>("UpVector", 2).Default(Vector3f(0, 1, 0)),
        Field<&AimConstraint::m_UpTargetVector>("UpTargetVector", 3).Default(Vector3f(0, 1, 0)),
        Field<&AimConstraint::m_UpTarget>("UpTarget", 4, k_ObjectRef),
        Field<&AimConstraint::m_OrientOffset>("OrientOffset", 5),
        Field<&AimConstraint::m_Twist>("Twist", 6),
    };
    BindClass(NativeClass<AimConstraint>(k_ClassAimConstraint, k_ClassConstraint, "AimConstraint")
                  .Members(k_AimConstraint));

    static const MemberRow k_TransformConstraint[] = {
        Field<&TransformConstraint::m_ConstraintType>("ConstraintType", 1)
            .Enumeration(k_ClassTransformConstraintConstraintTypeEnum)
            .Default(0u),
        Field<&TransformConstraint::m_OrientOffset>("OrientOffset", 2),
    };
    BindClass(NativeClass<TransformConstraint>(k_ClassTransformConstraint, k_ClassConstraint,
                                               "TransformConstraint")
                  .Members(k_TransformConstraint));
    BindClass(NativeClass<PoleVectorConstraint>(k_ClassPoleVectorConstraint, k_ClassConstraint,
                                                "PoleVectorConstraint"));
}

void BindNodeEnumerations() {
    using namespace Bind;

    static const MemberRow k_ConstraintType[] = {
        Enumerator("Point", 1, TransformConstraint::Point),
        Enumerator("Orient", 2, TransformConstraint::Orient),
        Enumerator("Parent", 3, TransformConstraint::Parent),
        Enumerator("Scale", 4, TransformConstraint::Scale),
    };
    BindClass(PlainClass(k_ClassTransformConstraintConstraintTypeEnum, k_ClassScriptObject,
                         "TransformConstraint.ConstraintTypeEnum", Kind_Enum, "TransformConstraint")
                  .Members(k_ConstraintType));

    static const MemberRow k_BoundingMode[] = {
        Enumerator("BoundingDynamic", 1, TNode::BoundingDynamic),
        Enumerator("BoundingStatic", 2, TNode::BoundingStatic),
        Enumerator("BoundingStaticSubtree", 3, TNode::BoundingStaticSubtree),
    };
    BindClass(PlainClass(k_ClassTNodeBoundingModeEnum, k_ClassScriptObject,
                         "TNode.BoundingModeEnum", Kind_Enum, "TNode")
                  .Members(k_BoundingMode));

    // Registered in this order; the member indexes are what files carry.
    static const MemberRow k_LightType[] = {
        Enumerator("Ambient", 3, SLight::Ambient),
        Enumerator("Directional", 1, SLight::Directional),
        Enumerator("Point", 2, SLight::Point),
    };
    BindClass(PlainClass(k_ClassSLightTypeEnum, k_ClassScriptObject, "SLight.TypeEnum", Kind_Enum,
                         "SLight")
                  .Members(k_LightType));

    static const MemberRow k_FogType[] = {
        Enumerator("Linear", 1, SFog::Linear),
        Enumerator("Exponential", 2, SFog::Exponential),
        Enumerator("Exponential2", 3, SFog::Exponential2),
    };
    BindClass(
        PlainClass(k_ClassSFogTypeEnum, k_ClassScriptObject, "SFog.TypeEnum", Kind_Enum, "SFog")
            .Members(k_FogType));

    static const MemberRow k_FogDistanceType[] = {
        Enumerator("ScreenSpace", 1, SFog::ScreenSpace),
        Enumerator("EyeSpace", 2, SFog::EyeSpace),
    };
    BindClass(PlainClass(k_ClassSFogDistanceTypeEnum, k_ClassScriptObject, "SFog.DistanceTypeEnum",
                         Kind_Enum, "SFog")
                  .Members(k_FogDistanceType));
}

} // namespace Quorlix
