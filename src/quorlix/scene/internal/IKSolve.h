#pragma once
// The IK solve's working state, kept by the update traversal so that solving a handle does not
// allocate once the arrays have grown to the longest chain met.

#include "quorlix/math/Matrix4f.h"
#include "quorlix/scene/internal/IKMath.h"

#include <vector>

namespace Quorlix {
class TBaseTransform;
class TIKHandle;
class TJoint;
} // namespace Quorlix

namespace Quorlix::Internal {

struct IKWork {
    enum class Chain { None, Valid, Broken };

    // The chain gathered for m_Handle by the solvable test, start joint first.
    const TIKHandle* m_Handle = nullptr;
    Chain m_State = Chain::None;
    const char* m_Why = "";
    std::vector<TJoint*> m_Chain;
    const TBaseTransform* m_StartParent = nullptr; // the start joint's parent transform
    std::vector<const TIKHandle*> m_Owner;         // the claim each chain joint ended with
    std::vector<char> m_Kept; // whether the joint keeps its owner's result of this pass

    std::vector<Matrix4f> m_Start;   // the chain's world matrices before the solve
    std::vector<IKVec> m_Points;     // joint positions, then the effector's
    std::vector<IKVec> m_Rest;       // the same in the rest pose (spline IK)
    std::vector<IKQuat> m_Rotation;  // the solved turn of each joint, about its new position
    std::vector<TJoint*> m_Released; // joints that left the handle's chain
    // The class tables last found to be joints and handles; cleared by every walk.
    const void* m_JointTable = nullptr;
    const void* m_HandleTable = nullptr;
    const void* m_SimpleTable = nullptr; // of an SSimpleTransform
    const void* m_HandleClass = nullptr; // the class table of the last handle solved
    bool m_HandleIsSpline = false;       // and whether it is a spline IK handle

    std::vector<IKVec> m_CVs;
    std::vector<double> m_Knots;
    CubicBSpline m_Curve;
};

} // namespace Quorlix::Internal
