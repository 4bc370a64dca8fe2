#pragma once
// Euler rotation orders. Euler angles themselves travel as a Vector3f of x, y and z angles in
// radians.

#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API Eulerf {
public:
    /// The letters name the order in which the axis rotations apply to a row vector. The
    /// values are stored in scripts: keep them.
    enum RotationOrder : int {
        XYZ = 0,
        YZX = 1,
        ZXY = 2,
        XZY = 3,
        YXZ = 4,
        ZYX = 5,
    };
};

} // namespace Quorlix
