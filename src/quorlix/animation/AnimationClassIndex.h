#pragma once
// Class indexes of the animation, pose and parent-control classes and of the enumerations their
// members take (the class identifier is 0xFFFFF000 + index, e.g. AnimationClip -3952 is index
// 144). Identifiers are fixed: files and peers carry them.

namespace Quorlix {

enum AnimationClass : int {
    k_ClassParentControl = 240,      // -3856
    k_ClassParentManager = 241,      // -3855
    k_ClassPoseBlend = 194,          // -3902
    k_ClassAnimationClip = 144,      // -3952
    k_ClassAnimationClipEvent = 145, // -3951
    k_ClassAnimationLibrary = 146,   // -3950
    k_ClassAnimationScheduler = 147, // -3949
    k_ClassConnectionGroup = 148,    // -3948
    k_ClassSplineBase = 149,         // -3947
    k_ClassSplineScalarf = 150,      // -3946
    k_ClassSplineVector2f = 151,     // -3945
    k_ClassSplineVector3f = 152,     // -3944
    k_ClassSplineVector4f = 153,     // -3943
    k_ClassSplineQuaternionf = 154,  // -3942

    // Enumerations.
    k_ClassPoseBlendOperatorEnum = 195, // -3901
};

} // namespace Quorlix
