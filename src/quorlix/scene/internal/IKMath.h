#pragma once
// The arithmetic of the IK solvers, apart from the nodes: rotations between directions, the
// analytic two-bone solution, cyclic coordinate descent over long chains and cubic B-spline
// curves walked by arc length. Everything runs in double, so that long chains and fine
// tolerances do not drown in float rounding; callers convert at the edges.
//
// Rotations act on row vectors as the matrices of the scene do; Compose(a, b) applies a first.

#include <cmath>
#include <vector>

namespace Quorlix::Internal {

struct IKVec {
    double x = 0, y = 0, z = 0;
};

inline IKVec operator+(const IKVec& a, const IKVec& b) noexcept {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline IKVec operator-(const IKVec& a, const IKVec& b) noexcept {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline IKVec operator*(const IKVec& a, double f) noexcept {
    return {a.x * f, a.y * f, a.z * f};
}
inline double Dot(const IKVec& a, const IKVec& b) noexcept {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline IKVec Cross(const IKVec& a, const IKVec& b) noexcept {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(const IKVec& v) noexcept {
    return std::sqrt(Dot(v, v));
}
/// False for NaN or infinite components.
inline bool Finite(const IKVec& v) noexcept {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

/// A unit quaternion (x, y, z, w).
struct IKQuat {
    double x = 0, y = 0, z = 0, w = 1;
};

inline IKVec Rotate(const IKQuat& q, const IKVec& v) noexcept {
    // v + 2w(q x v) + 2 q x (q x v), q the vector part.
    const IKVec u{q.x, q.y, q.z};
    const IKVec t = Cross(u, v) * 2.0;
    return v + t * q.w + Cross(u, t);
}
/// `a` then `b`.
inline IKQuat Compose(const IKQuat& a, const IKQuat& b) noexcept {
    // The Hamilton product b a: a acts first.
    return IKQuat{b.w * a.x + a.w * b.x + (b.y * a.z - b.z * a.y),
                  b.w * a.y + a.w * b.y + (b.z * a.x - b.x * a.z),
                  b.w * a.z + a.w * b.z + (b.x * a.y - b.y * a.x),
                  b.w * a.w - (b.x * a.x + b.y * a.y + b.z * a.z)};
}
/// The rotation by `radians` about `axis` (any length; a zero axis gives the identity),
/// counter-clockwise seen from the axis' tip.
IKQuat AxisAngle(const IKVec& axis, double radians) noexcept;
/// The smallest rotation turning the direction of `from` onto that of `to`; the identity when
/// either is (nearly) zero or not finite. Opposite directions turn half way about some
/// perpendicular axis.
IKQuat RotationBetween(const IKVec& from, const IKVec& to) noexcept;
/// The rotation taking the frame (u, n) onto (u2, n2); each pair orthonormal.
IKQuat FrameRotation(const IKVec& u, const IKVec& n, const IKVec& u2, const IKVec& n2) noexcept;

/// The two-bone rotate-plane solution for the chain a (start) - b (middle) - c (end) and the
/// target t. The end reaches t when |t - a| lies between |l1 - l2| and l1 + l2, else the chain
/// stretches (or folds) along the start-target axis. The middle joint bends towards the part
/// across the axis of `pole`; when it has none, of the rest pose's middle joint, then of
/// `fallback`, then of some fixed perpendicular (parts below 1e-5 of their vector are float
/// rounding and count as none). The bend plane is rolled by `twist` radians about the axis. `upper`
/// is the rotation of the first bone about a, `lower` the whole rotation of the second bone (upper
/// included) about the moved middle joint; `middle` and `end` receive the new positions. A
/// zero-length bone turns the chain as one bone; false (rotations the identity) when nothing
/// defines a direction.
struct TwoBoneResult {
    IKQuat m_Upper, m_Lower;
    IKVec m_Middle, m_End;
};
bool SolveTwoBone(const IKVec& a, const IKVec& b, const IKVec& c, const IKVec& t, const IKVec& pole,
                  const IKVec& fallback, double twist, TwoBoneResult& out) noexcept;

/// Cyclic coordinate descent: `p` holds the joints' positions and last the end's (at least two
/// entries), `rotation` one entry per bone, composed onto what it holds. Each iteration turns
/// every joint, last first, to point the end at `target`, at linear cost in the chain length.
/// Stops after `maxIterations` or once the end is within `tolerance`; returns the iterations
/// run. `p` receives the new positions.
int SolveCCD(std::vector<IKVec>& p, std::vector<IKQuat>& rotation, const IKVec& target,
             int maxIterations, double tolerance) noexcept;

/// A cubic B-spline: control points and knots (count = points + 4, non-decreasing, the domain
/// from knots[3] to knots[points] not empty).
class CubicBSpline {
public:
    /// Takes the points and knots; a knot vector of points + 2 entries, as files often store it,
    /// gets its first and last knot repeated. False, with `why` set, for fewer than four points,
    /// another knot count, a decreasing or non-finite knot, an empty domain or a non-finite
    /// point.
    bool Assign(const std::vector<IKVec>& points, const std::vector<double>& knots,
                const char*& why);
    double DomainStart() const noexcept { return m_Knots[3]; }
    double DomainEnd() const noexcept { return m_Knots[m_Points.size()]; }
    /// The point at parameter u (clamped to the domain), by de Boor's algorithm.
    IKVec Evaluate(double u) const noexcept;
    /// Builds the arc length table: `samplesPerSpan` chords per non-empty knot span.
    void MeasureArcLength(int samplesPerSpan);
    double ArcLength() const noexcept { return m_Length.empty() ? 0.0 : m_Length.back(); }
    /// The point at arc length s from the start (between table entries by the parameter);
    /// beyond the end the curve goes on straight along its last chord.
    IKVec AtArcLength(double s) const noexcept;

private:
    std::vector<IKVec> m_Points;
    std::vector<double> m_Knots;
    std::vector<double> m_Parameter; // the arc length table: parameter and length so far
    std::vector<double> m_Length;
};

} // namespace Quorlix::Internal
