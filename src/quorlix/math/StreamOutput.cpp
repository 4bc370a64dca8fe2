#include "quorlix/math/StreamOutput.h"

#include "quorlix/math/Matrix4f.h"
#include "quorlix/math/Quaternionf.h"
#include "quorlix/math/Spheref.h"

namespace Quorlix {

namespace {

Stream& WriteList(Stream& stream, const float* values, int count) {
    stream << '(';
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            stream << ',';
        stream << values[i];
    }
    return stream << ')';
}

} // namespace

Stream& operator<<(Stream& stream, const Vector2fC& v) {
    const float values[2] = {v.GetX(), v.GetY()};
    return WriteList(stream, values, 2);
}

Stream& operator<<(Stream& stream, const Vector3fC& v) {
    const float values[3] = {v.GetX(), v.GetY(), v.GetZ()};
    return WriteList(stream, values, 3);
}

Stream& operator<<(Stream& stream, const Vector4fC& v) {
    const float values[4] = {v.GetX(), v.GetY(), v.GetZ(), v.GetW()};
    return WriteList(stream, values, 4);
}

Stream& operator<<(Stream& stream, const Quaternionf& q) {
    const float values[4] = {q[0], q[1], q[2], q[3]};
    return WriteList(stream, values, 4);
}

Stream& operator<<(Stream& stream, const Matrix4fC& m) {
    return WriteList(stream, m.GetData(), 16);
}

Stream& operator<<(Stream& stream, const Spheref& s) {
    stream << '(' << s.GetCentre() << ',' << s.GetRadius();
    return stream << ')';
}

} // namespace Quorlix
