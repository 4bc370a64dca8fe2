#include "quorlix/animation/AnimationClasses.h"

#include "quorlix/animation/AnimationClassIndex.h"
#include "quorlix/animation/AnimationClip.h"
#include "quorlix/animation/AnimationLibrary.h"
#include "quorlix/animation/AnimationScheduler.h"
#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/animation/ParentControl.h"
#include "quorlix/animation/PoseBlend.h"
#include "quorlix/animation/Spline.h"
#include "quorlix/script/ClassBinding.h"

namespace Quorlix {

using namespace Bind;

namespace {

constexpr unsigned k_Ref = MemberObjectLink | MemberObjectSingle;                     // 0x1200
constexpr unsigned k_RefArray = MemberObjectIndex | MemberObjectLink | MemberIsIndex; // 0x2600

using PC = ParentControl;
const MemberRow k_ParentControlRows[] = {
    Field<&PC::m_ParentManager>("ParentManager", 1, k_Ref),
    Field<&PC::m_Child>("Child", 2, k_Ref),
    Property<&PC::GetParentID, &PC::SetParentID>("ParentID", 3).Default(-1),
    Property<&PC::GetParentIDSwap, &PC::SetParentIDSwap>("ParentIDSwap", 4, MemberNotWritten)
        .Default(-1),
    Field<&PC::m_SwapRange>("SwapRange", 5).Default(Vector4f(0, 0, 0, 0)),
};

using PM = ParentManager;
const MemberRow k_ParentManagerRows[] = {
    IndexProperty<&PM::GetControl, &PM::SetControl, &PM::GetControlCount, &PM::SetControlCount>(
        "ControlArray", 1, k_RefArray),
    IndexProperty<&PM::GetParent, &PM::SetParent, &PM::GetParentCount, &PM::SetParentCount>(
        "ParentArray", 2, k_RefArray),
};

using PB = PoseBlend;
const MemberRow k_PoseBlendRows[] = {
    IndexProperty<&PB::GetBlendControl, &PB::SetBlendControl, &PB::GetBlendControlCount,
                  &PB::SetBlendControlCount>("BlendControl", 1, k_RefArray),
    Field<&PB::m_PoseDefault>("PoseDefault", 2, MemberIsIndex),
    IndexProperty<&PB::GetOperator, &PB::SetOperator, &PB::GetOperatorCount, &PB::SetOperatorCount>(
        "OperatorArray", 3)
        .Enumeration(k_ClassPoseBlendOperatorEnum),
    IndexProperty<&PB::GetValue, &PB::SetValue, &PB::GetValueCount, &PB::SetValueCount>(
        "ValueArray", 4, k_RefArray),
    Field<&PB::m_ConnectionGroup>("ConnectionGroup", 5, k_Ref),
};

using AC = AnimationClip;
const MemberRow k_AnimationClipRows[] = {
    Field<&AC::m_AnimationLibrary>("AnimationLibrary", 1, k_Ref),
    Field<&AC::m_Enabled>("Enabled", 2).Default(true),
    Field<&AC::m_Relative>("Relative", 3).Default(false),
    Field<&AC::m_Cycles>("Cycles", 4).Default(1.0),
    Field<&AC::m_Scale>("Scale", 5).Default(1.0),
    Field<&AC::m_StartTime>("StartTime", 6).Default(0.0),
    // Computed; a fresh clip has no library, so one cycle lasts 1 s and it ends at 1 s.
    Property<&AC::GetEndTime, &AC::SetEndTime>("EndTime", 7, MemberNotWritten).Default(1.0),
    Property<&AC::GetDuration, &AC::SetDuration>("Duration", 8, MemberNotWritten).Default(1.0),
    Field<&AC::m_WarpTime>("WarpTime", 9).Default(-1.0),
    Field<&AC::m_AmplitudeScale>("AmplitudeScale", 10).Default(1.0f),
    Field<&AC::m_Track>("Track", 11).Default(0),
};

using AL = AnimationLibrary;
const MemberRow k_AnimationLibraryRows[] = {
    Field<&AL::m_StartTime>("StartTime", 1).Default(0.0),
    Field<&AL::m_EndTime>("EndTime", 2).Default(0.0),
    IndexProperty<&AL::GetCurve, &AL::SetCurve, &AL::GetCurveCount, &AL::SetCurveCount>("Curve", 3,
                                                                                        k_RefArray),
    IndexProperty<&AL::GetGroupPort, &AL::SetGroupPort, &AL::GetGroupPortCount,
                  &AL::SetGroupPortCount>("GroupPort", 4),
};

using AS = AnimationScheduler;
const MemberRow k_AnimationSchedulerRows[] = {
    Field<&AS::m_ConnectionGroup>("ConnectionGroup", 1, k_Ref),
    IndexProperty<&AS::GetAnimationClip, &AS::SetAnimationClip, &AS::GetAnimationClipCount,
                  &AS::SetAnimationClipCount>("AnimationClip", 2, k_RefArray),
    Field<&AS::m_RemoveExpiredClip>("RemoveExpiredClip", 3).Default(false),
    Field<&AS::m_TrackEndTime>("TrackEndTime", 4, MemberIsIndex), // 32 entries of -1.0
};

using CG = ConnectionGroup;
const MemberRow k_ConnectionGroupRows[] = {
    IndexProperty<&CG::GetObject, &CG::SetObject, &CG::GetObjectCount, &CG::SetObjectCount>(
        "Object", 1, k_RefArray),
    Field<&CG::m_Member>("Member", 2, MemberIsIndex),
    Field<&CG::m_MemberIndex>("MemberIndex", 3, MemberIsIndex),
    Field<&CG::m_MemberMask>("MemberMask", 4, MemberIsIndex),
};

const MemberRow k_SplineBaseRows[] = {
    IndexProperty<&SplineBase::GetKeyTime, &SplineBase::SetKeyTime, &SplineBase::GetKeyCount,
                  &SplineBase::SetKeyCount>("KeyTime", 1),
};

// A spline with value and tangents: three columns over the keys that KeyTime counts.
template <class S>
void BindValueSpline(int classIndex, const char* name) {
    static const MemberRow k_Rows[] = {
        IndexProperty<&S::GetKeyValue, &S::SetKeyValue, &S::GetKeyCount, &S::SetKeyCount>(
            "KeyValue", 1),
        IndexProperty<&S::GetKeyTangentIn, &S::SetKeyTangentIn, &S::GetKeyCount, &S::SetKeyCount>(
            "KeyTangentIn", 2),
        IndexProperty<&S::GetKeyTangentOut, &S::SetKeyTangentOut, &S::GetKeyCount, &S::SetKeyCount>(
            "KeyTangentOut", 3),
    };
    BindClass(NativeClass<S>(classIndex, k_ClassSplineBase, name).Members(k_Rows));
}

// Rotations as (x, y, z, w), so that scripts fill them like the other value columns.
using SQ = SplineQuaternionf;
const MemberRow k_SplineQuaternionfRows[] = {
    IndexProperty<&SQ::GetKeyValue, &SQ::SetKeyValue, &SQ::GetKeyCount, &SQ::SetKeyCount>(
        "KeyValue", 1),
};

const MemberRow k_OperatorRows[] = {
    Enumerator("Add", 1, 0), Enumerator("Blend", 2, 1), Enumerator("Min", 3, 2),
    Enumerator("Max", 4, 3), Enumerator("Mul", 5, 4),
};

} // namespace

void BindPoseClasses() {
    BindClass(NativeClass<ParentControl>(k_ClassParentControl, k_ClassObject, "ParentControl")
                  .Members(k_ParentControlRows));
    BindClass(NativeClass<ParentManager>(k_ClassParentManager, k_ClassObject, "ParentManager")
                  .Members(k_ParentManagerRows));
    BindClass(NativeClass<PoseBlend>(k_ClassPoseBlend, k_ClassObject, "PoseBlend")
                  .Members(k_PoseBlendRows));
}

void BindAnimationClasses() {
    BindClass(NativeClass<AnimationClip>(k_ClassAnimationClip, k_ClassObject, "AnimationClip")
                  .Members(k_AnimationClipRows));
    // The event fields are not script members: the clip's rows serve it.
    BindClass(NativeClass<AnimationClipEvent>(k_ClassAnimationClipEvent, k_ClassAnimationClip,
                                              "AnimationClipEvent"));
    BindClass(
        NativeClass<AnimationLibrary>(k_ClassAnimationLibrary, k_ClassObject, "AnimationLibrary")
            .Members(k_AnimationLibraryRows));
    BindClass(NativeClass<AnimationScheduler>(k_ClassAnimationScheduler, k_ClassObject,
                                              "AnimationScheduler")
                  .Members(k_AnimationSchedulerRows));
    BindClass(NativeClass<ConnectionGroup>(k_ClassConnectionGroup, k_ClassObject, "ConnectionGroup")
                  .Members(k_ConnectionGroupRows));
    BindClass(NativeClass<SplineBase>(k_ClassSplineBase, k_ClassObject, "SplineBase")
                  .Members(k_SplineBaseRows));
    BindValueSpline<SplineScalarf>(k_ClassSplineScalarf, "SplineScalarf");
    BindValueSpline<SplineVector2f>(k_ClassSplineVector2f, "SplineVector2f");
    BindValueSpline<SplineVector3f>(k_ClassSplineVector3f, "SplineVector3f");
    BindValueSpline<SplineVector4f>(k_ClassSplineVector4f, "SplineVector4f");
    BindClass(NativeClass<SplineQuaternionf>(k_ClassSplineQuaternionf, k_ClassSplineBase,
                                             "SplineQuaternionf")
                  .Members(k_SplineQuaternionfRows));
}

void BindAnimationEnumerations() {
    BindClass(PlainClass(k_ClassPoseBlendOperatorEnum, k_ClassScriptObject,
                         "PoseBlend.OperatorEnum", Kind_Enum, "PoseBlend")
                  .Members(k_OperatorRows));
}

} // namespace Quorlix
