#include "quorlix/math/CullFrustumf.h"

#include "quorlix/log/LogStream.h"

namespace Quorlix {

namespace {

// The side bits of (x, y) against one face rectangle of the frustum.
int RectangleBits(float x, float y, float left, float right, float bottom, float top) {
    int code = 0;
    if (x <= left)
        code |= CullFrustumf::k_CullLeft;
    else if (x >= right)
        code |= CullFrustumf::k_CullRight;
    if (y <= bottom)
        code |= CullFrustumf::k_CullBottom;
    else if (y >= top)
        code |= CullFrustumf::k_CullTop;
    return code;
}

} // namespace

void CullFrustumf::MakePerspective(float left, float right, float bottom, float top, float near,
                                   float far) {
    m_Near = near;
    m_Far = far;
    m_NearLeft = left;
    m_NearRight = right;
    m_NearBottom = bottom;
    m_NearTop = top;
    m_Ratio = far / near;
    m_FarLeft = left * m_Ratio;
    m_FarRight = right * m_Ratio;
    m_FarBottom = bottom * m_Ratio;
    m_FarTop = top * m_Ratio;

    // Each side plane holds the eye and the near edge at (extent, -near); its normal is written
    // without dividing by the extent, so it points out whatever the extent's sign, and a zero
    // extent (a frustum with one side on the view axis) still gives a plane.
    const Vector3f normals[4] = {Vector3f(-near, 0.0f, -left), Vector3f(near, 0.0f, right),
                                 Vector3f(0.0f, -near, -bottom), Vector3f(0.0f, near, top)};
    for (int i = 0; i < 4; ++i) {
        Vector3f n;
        n.SetXYZNormalize(normals[i][0], normals[i][1], normals[i][2]);
        m_Planes[i].Set(n[0], n[1], n[2], 0.0f);
    }
    m_Planes[4].Set(0.0f, 0.0f, 1.0f, near);
    m_Planes[5].Set(0.0f, 0.0f, -1.0f, -far);
}

int CullFrustumf::CullCrossing(const Vector3f& centre, float r, const float* distance) const {
    const float x = centre[0], y = centre[1], z = centre[2];
    // The sphere crosses a face plane without lying beyond any: find the region of the centre
    // outside the frustum, to measure its distance to the nearest edge or corner.
    int code = 0;
    if (z + m_Near >= 0.0f) {
        code = RectangleBits(x, y, m_NearLeft, m_NearRight, m_NearBottom, m_NearTop);
        if (code == 0)
            return k_CullVisible; // touches the near face
    } else if (-(z + m_Far) >= 0.0f) {
        code = RectangleBits(x, y, m_FarLeft, m_FarRight, m_FarBottom, m_FarTop);
        if (code == 0)
            code = k_CullFar;
    }
    // For each pair of opposite side planes: the side the centre lies beyond, and whether its
    // foot on that plane lies before the near or beyond the far face.
    for (int pair = 0; pair < 2; ++pair) {
        const int lowBit = pair == 0 ? k_CullLeft : k_CullBottom, highBit = lowBit << 1;
        int plane;
        if (distance[2 * pair] >= 0.0f && !(code & highBit)) {
            code |= lowBit;
            plane = 2 * pair;
        } else if (distance[2 * pair + 1] >= 0.0f && !(code & lowBit)) {
            code |= highBit;
            plane = 2 * pair + 1;
        } else {
            continue;
        }
        const float footZ = z - distance[plane] * m_Planes[plane].GetC();
        if (footZ >= -m_Near)
            code |= k_CullNear;
        else if (footZ <= -m_Far)
            code |= k_CullFar;
    }

    const int horizontal = code & (k_CullLeft | k_CullRight);
    const int vertical = code & (k_CullBottom | k_CullTop);
    const int depth = code & (k_CullNear | k_CullFar);
    if (horizontal == (k_CullLeft | k_CullRight) || vertical == (k_CullBottom | k_CullTop) ||
        depth == (k_CullNear | k_CullFar)) {
        Xerr.pLockWarn() << "CullFrustum: unexpected clipcode " << code << ".";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return k_CullVisible;
    }
    if ((horizontal != 0) + (vertical != 0) + (depth != 0) < 2)
        return k_CullVisible; // a face region: the sphere reaches that face

    // An edge or corner gives the distance to the frustum only where it is the nearest feature
    // (inside its Voronoi region): next to a wide frustum's edges the region codes also cover
    // centres whose nearest point lies on a face, which the sphere may reach. Those are kept.
    const bool far = depth == k_CullFar;
    const int sidePlane = horizontal == k_CullLeft ? 0 : 1;
    const int upPlane = vertical == k_CullBottom ? 2 : 3;
    const float sx = horizontal == k_CullLeft ? -1.0f : 1.0f;
    const float sy = vertical == k_CullBottom ? -1.0f : 1.0f;
    const float ex = horizontal == k_CullLeft ? (far ? m_FarLeft : m_NearLeft)
                                              : (far ? m_FarRight : m_NearRight);
    const float ey = vertical == k_CullBottom ? (far ? m_FarBottom : m_NearBottom)
                                              : (far ? m_FarTop : m_NearTop);
    const float faceZ = far ? -m_Far : -m_Near;
    const float dz = z - faceZ;
    // The foot of the centre on a side plane must lie beyond the near or far face.
    const auto footBeyondFace = [&](int plane) {
        const float footZ = z - distance[plane] * m_Planes[plane].GetC();
        return far ? footZ <= faceZ : footZ >= faceZ;
    };
    float distance2;
    if (depth == 0) {
        // A side edge, on the line through the eye and its near corner; the feet of the centre
        // on both planes must lie outside the other plane.
        const float dA = distance[sidePlane], dB = distance[upPlane];
        const float cosine = m_Planes[sidePlane].GetC() * m_Planes[upPlane].GetC();
        if (dB - dA * cosine < 0.0f || dA - dB * cosine < 0.0f)
            return k_CullVisible;
        const Vector3f along(ex, ey, -m_Near);
        Vector3f cross;
        cross.AssignCross(centre, along);
        distance2 = cross.LengthSquared() / along.LengthSquared();
    } else if (vertical == 0) {
        // A left or right edge of the near or far face.
        if (sx * (x - ex) < 0.0f || !footBeyondFace(sidePlane))
            return k_CullVisible;
        distance2 = (x - ex) * (x - ex) + dz * dz;
    } else if (horizontal == 0) {
        // A bottom or top edge of the near or far face.
        if (sy * (y - ey) < 0.0f || !footBeyondFace(upPlane))
            return k_CullVisible;
        distance2 = (y - ey) * (y - ey) + dz * dz;
    } else {
        // A corner: the centre must lie beyond its three edges, the two of its face and the
        // side edge through the eye.
        const float alongSide = (x - ex) * ex + (y - ey) * ey + dz * faceZ;
        if (sx * (x - ex) < 0.0f || sy * (y - ey) < 0.0f ||
            (far ? alongSide < 0.0f : alongSide > 0.0f))
            return k_CullVisible;
        distance2 = (x - ex) * (x - ex) + (y - ey) * (y - ey) + dz * dz;
    }
    return distance2 >= r * r ? k_CullLeft : k_CullVisible;
}

} // namespace Quorlix
