#pragma once
// Text output of the math values: "(" the components in memory order separated by "," with
// no blanks ")", each number in the stream's float form ("1." for 1, "0.5" for 0.5).

#include "quorlix/platform/Export.h"
#include "quorlix/stream/Stream.h"

namespace Quorlix {

class Vector2fC;
class Vector3fC;
class Vector4fC;
class Quaternionf;
class Matrix4fC;
class Spheref;

QUORLIX_API Stream& operator<<(Stream& stream, const Vector2fC& v);
QUORLIX_API Stream& operator<<(Stream& stream, const Vector3fC& v);
QUORLIX_API Stream& operator<<(Stream& stream, const Vector4fC& v);
QUORLIX_API Stream& operator<<(Stream& stream, const Quaternionf& q);
/// All sixteen elements, row by row.
QUORLIX_API Stream& operator<<(Stream& stream, const Matrix4fC& m);
/// "((" centre x "," y "," z ")," radius ")".
QUORLIX_API Stream& operator<<(Stream& stream, const Spheref& s);

} // namespace Quorlix
