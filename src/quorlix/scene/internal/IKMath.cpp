#include "quorlix/scene/internal/IKMath.h"

#include <algorithm>
#include <cmath>

namespace Quorlix::Internal {

namespace {

// Directions shorter than this (relative to the lengths at hand) count as none.
constexpr double k_Tiny = 1e-12;
// A part across a direction smaller than this share of its vector is float rounding of a vector
// along it (the inputs come from float matrices).
constexpr double k_Across = 1e-5;

IKVec Normalized(const IKVec& v, double length) noexcept {
    return v * (1.0 / length);
}

// Some unit vector perpendicular to the unit vector `a`.
IKVec Perpendicular(const IKVec& a) noexcept {
    const IKVec axis = std::fabs(a.x) < 0.5 ? IKVec{1, 0, 0} : IKVec{0, 1, 0};
    const IKVec p = Cross(a, axis);
    return Normalized(p, Length(p));
}

IKQuat Normalized(const IKQuat& q) noexcept {
    const double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (!(n > 0.0) || !std::isfinite(n))
        return IKQuat{};
    return IKQuat{q.x / n, q.y / n, q.z / n, q.w / n};
}

} // namespace

IKQuat AxisAngle(const IKVec& axis, double radians) noexcept {
    const double length = Length(axis);
    if (!(length > k_Tiny) || !std::isfinite(length) || !std::isfinite(radians))
        return IKQuat{};
    const double s = std::sin(radians * 0.5) / length;
    return IKQuat{axis.x * s, axis.y * s, axis.z * s, std::cos(radians * 0.5)};
}

IKQuat RotationBetween(const IKVec& from, const IKVec& to) noexcept {
    const double lf = Length(from), lt = Length(to);
    if (!(lf > k_Tiny) || !(lt > k_Tiny) || !std::isfinite(lf) || !std::isfinite(lt))
        return IKQuat{};
    const IKVec f = Normalized(from, lf), t = Normalized(to, lt);
    const double d = Dot(f, t);
    if (d < -1.0 + 1e-12) {
        const IKVec p = Perpendicular(f);
        return IKQuat{p.x, p.y, p.z, 0.0};
    }
    const IKVec c = Cross(f, t);
    return Normalized(IKQuat{c.x, c.y, c.z, 1.0 + d});
}

IKQuat FrameRotation(const IKVec& u, const IKVec& n, const IKVec& u2, const IKVec& n2) noexcept {
    const IKVec w = Cross(u, n), w2 = Cross(u2, n2);
    // R = u2 u^T + n2 n^T + w2 w^T acting on column vectors; the quaternion of R.
    auto at = [&](double fi0, double fi1, double fi2, double e0, double e1, double e2) {
        return fi0 * e0 + fi1 * e1 + fi2 * e2;
    };
    const double r00 = at(u2.x, n2.x, w2.x, u.x, n.x, w.x);
    const double r01 = at(u2.x, n2.x, w2.x, u.y, n.y, w.y);
    const double r02 = at(u2.x, n2.x, w2.x, u.z, n.z, w.z);
    const double r10 = at(u2.y, n2.y, w2.y, u.x, n.x, w.x);
    const double r11 = at(u2.y, n2.y, w2.y, u.y, n.y, w.y);
    const double r12 = at(u2.y, n2.y, w2.y, u.z, n.z, w.z);
    const double r20 = at(u2.z, n2.z, w2.z, u.x, n.x, w.x);
    const double r21 = at(u2.z, n2.z, w2.z, u.y, n.y, w.y);
    const double r22 = at(u2.z, n2.z, w2.z, u.z, n.z, w.z);
    IKQuat q;
    const double trace = r00 + r11 + r22;
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        q = {(r21 - r12) / s, (r02 - r20) / s, (r10 - r01) / s, 0.25 * s};
    } else if (r00 > r11 && r00 > r22) {
        const double s = std::sqrt(1.0 + r00 - r11 - r22) * 2.0;
        q = {0.25 * s, (r01 + r10) / s, (r02 + r20) / s, (r21 - r12) / s};
    } else if (r11 > r22) {
        const double s = std::sqrt(1.0 + r11 - r00 - r22) * 2.0;
        q = {(r01 + r10) / s, 0.25 * s, (r12 + r21) / s, (r02 - r20) / s};
    } else {
        const double s = std::sqrt(1.0 + r22 - r00 - r11) * 2.0;
        q = {(r02 + r20) / s, (r12 + r21) / s, 0.25 * s, (r10 - r01) / s};
    }
    return q; // unit up to rounding: the frames are orthonormal
}

bool SolveTwoBone(const IKVec& a, const IKVec& b, const IKVec& c, const IKVec& t, const IKVec& pole,
                  const IKVec& fallback, double twist, TwoBoneResult& out) noexcept {
    out = TwoBoneResult{IKQuat{}, IKQuat{}, b, c};
    if (!Finite(a) || !Finite(b) || !Finite(c) || !Finite(t) || !Finite(pole) ||
        !Finite(fallback) || !std::isfinite(twist))
        return false;
    const IKVec ab = b - a, bc = c - b;
    const double l1 = Length(ab), l2 = Length(bc);
    const double tiny = k_Tiny * std::max(1.0, l1 + l2);
    const IKVec d = t - a;
    const double distance = Length(d);

    if (!(l1 > tiny) || !(l2 > tiny)) {
        // One bone is a point: the chain turns as a whole to aim its end at the target.
        const IKVec ac = c - a;
        if (!(Length(ac) > tiny) || !(distance > tiny))
            return false;
        const IKQuat q = Compose(RotationBetween(ac, d), AxisAngle(d, twist));
        out.m_Upper = out.m_Lower = q;
        out.m_Middle = a + Rotate(q, ab);
        out.m_End = a + Rotate(q, ac);
        return true;
    }

    // The axis from the start to the target; a target on the start keeps the rest direction.
    IKVec axis;
    if (distance > tiny) {
        axis = Normalized(d, distance);
    } else {
        const IKVec ac = c - a;
        const double lac = Length(ac);
        axis = lac > tiny ? Normalized(ac, lac) : Normalized(ab, l1);
    }
    const double reach = std::clamp(distance, std::fabs(l1 - l2), l1 + l2);
    double cosA = reach > tiny ? (l1 * l1 + reach * reach - l2 * l2) / (2.0 * l1 * reach) : 0.0;
    cosA = std::clamp(cosA, -1.0, 1.0);
    const double sinA = std::sqrt(std::max(0.0, 1.0 - cosA * cosA));

    // The bend side: the part across the axis of the pole, else of the rest pose's middle joint,
    // else of the fallback. Parts below float rounding of their vector are noise and would
    // differ between the passes.
    IKVec side;
    bool found = false;
    for (const IKVec& v : {pole, ab, fallback}) {
        const IKVec across = v - axis * Dot(v, axis);
        const double square = Dot(across, across);
        if (square > k_Across * k_Across * Dot(v, v) && square > tiny * tiny) {
            side = Normalized(across, std::sqrt(square));
            found = true;
            break;
        }
    }
    if (!found)
        side = Perpendicular(axis);
    IKVec bend = side;
    if (twist != 0.0)
        bend = bend * std::cos(twist) + Cross(axis, bend) * std::sin(twist);

    out.m_Middle = a + axis * (l1 * cosA) + bend * (l1 * sinA);
    out.m_End = a + axis * reach;

    // The first bone: the rest frame (bone, bend plane normal) onto the solved one. A straight
    // rest chain takes its plane from the pole, or failing that turns the shortest way.
    const IKVec u = Normalized(ab, l1);
    const IKVec u2 = axis * cosA + bend * sinA; // unit: bend is across the axis
    const IKVec n2 = Cross(bend, axis);         // unit: bend is across the axis
    IKVec n = Cross(ab, bc);
    double nLength = Length(n);
    if (!(nLength > k_Across * l1 * l2)) {
        n = Cross(side - u * Dot(side, u), u);
        nLength = Length(n);
    }
    out.m_Upper = nLength > k_Across ? FrameRotation(u, Normalized(n, nLength), u2, n2)
                                     : RotationBetween(ab, out.m_Middle - a);

    // The second bone hinges about the solved plane's normal.
    // Both directions lie across n2, so the shortest turn between them is about n2; only the
    // half turn needs the axis named.
    const IKVec w = Rotate(out.m_Upper, bc);
    const IKVec v = out.m_End - out.m_Middle;
    // Both have length l2: the half-way quaternion (w x v, l2² + w.v) needs one root.
    const double dot = Dot(w, v);
    IKQuat hinge{n2.x, n2.y, n2.z, 0.0};
    if (dot > (-1.0 + 1e-12) * l2 * l2) {
        const IKVec axisOfTurn = Cross(w, v);
        hinge = Normalized(IKQuat{axisOfTurn.x, axisOfTurn.y, axisOfTurn.z, l2 * l2 + dot});
    }
    out.m_Lower = Compose(out.m_Upper, hinge);
    return true;
}

int SolveCCD(std::vector<IKVec>& p, std::vector<IKQuat>& rotation, const IKVec& target,
             int maxIterations, double tolerance) noexcept {
    const size_t bones = p.size() - 1;
    if (p.size() < 2 || rotation.size() < bones)
        return 0;
    // The turn of each joint in the current sweep.
    std::vector<IKQuat> turn(bones);
    for (int iteration = 0; iteration < maxIterations; ++iteration) {
        if (Length(p[bones] - target) <= tolerance)
            return iteration;
        // Last joint first. A joint only moves the ones after it, so its own position is still
        // that of the sweep's start; only the end is carried along.
        IKVec end = p[bones];
        for (size_t j = bones; j-- > 0;) {
            const IKVec from = end - p[j];
            turn[j] = RotationBetween(from, target - p[j]);
            end = p[j] + Rotate(turn[j], from);
        }
        // Then the positions, composing the joints' turns from the first: joint k moves by the
        // turns of joints 0..k-1, each about its own (old) position.
        IKQuat q;       // the composed turn so far
        IKVec offset{}; // and its translation: x -> Rotate(q, x) + offset
        for (size_t k = 0; k < bones; ++k) {
            const IKVec pk = p[k];
            offset = offset + Rotate(q, pk - Rotate(turn[k], pk));
            q = Normalized(Compose(turn[k], q));
            p[k] = Rotate(q, pk) + offset;
            rotation[k] = Normalized(Compose(rotation[k], q));
        }
        p[bones] = Rotate(q, p[bones]) + offset;
    }
    return maxIterations;
}

bool CubicBSpline::Assign(const std::vector<IKVec>& points, const std::vector<double>& knots,
                          const char*& why) {
    m_Points.clear();
    m_Knots.clear();
    m_Parameter.clear();
    m_Length.clear();
    const size_t n = points.size();
    if (n < 4) {
        why = "fewer than four control points";
        return false;
    }
    if (knots.size() != n + 4 && knots.size() != n + 2) {
        why = "knot count does not match the control points";
        return false;
    }
    for (size_t i = 0; i < knots.size(); ++i) {
        if (!std::isfinite(knots[i]) || (i > 0 && knots[i] < knots[i - 1])) {
            why = "knots not finite and non-decreasing";
            return false;
        }
    }
    for (const IKVec& point : points) {
        if (!Finite(point)) {
            why = "control point not finite";
            return false;
        }
    }
    if (knots.size() == n + 2)
        m_Knots.push_back(knots.front());
    m_Knots.insert(m_Knots.end(), knots.begin(), knots.end());
    if (knots.size() == n + 2)
        m_Knots.push_back(knots.back());
    if (!(m_Knots[3] < m_Knots[n])) {
        m_Knots.clear();
        why = "empty parameter domain";
        return false;
    }
    m_Points = points;
    return true;
}

IKVec CubicBSpline::Evaluate(double u) const noexcept {
    const size_t n = m_Points.size();
    u = std::clamp(u, m_Knots[3], m_Knots[n]);
    // The span i in 3..n-1 with knots[i] <= u < knots[i+1]; the domain's end belongs to the
    // last non-empty span.
    size_t i = static_cast<size_t>(
        std::upper_bound(m_Knots.begin() + 3, m_Knots.begin() + static_cast<long>(n) + 1, u) -
        m_Knots.begin());
    i = std::min(i, n) - 1;
    while (i > 3 && !(m_Knots[i] < m_Knots[i + 1]))
        --i;
    IKVec d[4];
    for (size_t j = 0; j < 4; ++j)
        d[j] = m_Points[j + i - 3];
    for (size_t r = 1; r <= 3; ++r) {
        for (size_t j = 3; j >= r; --j) {
            const double low = m_Knots[j + i - 3];
            const double span = m_Knots[j + 1 + i - r] - low;
            const double alpha = span > 0.0 ? (u - low) / span : 0.0;
            d[j] = d[j - 1] * (1.0 - alpha) + d[j] * alpha;
        }
    }
    return d[3];
}

void CubicBSpline::MeasureArcLength(int samplesPerSpan) {
    m_Parameter.clear();
    m_Length.clear();
    const size_t n = m_Points.size();
    if (n < 4 || m_Knots.size() != n + 4)
        return;
    const int samples = std::max(1, samplesPerSpan);
    IKVec previous = Evaluate(m_Knots[3]);
    m_Parameter.push_back(m_Knots[3]);
    m_Length.push_back(0.0);
    for (size_t i = 3; i < n; ++i) {
        const double u0 = m_Knots[i], u1 = m_Knots[i + 1];
        if (!(u0 < u1))
            continue;
        for (int k = 1; k <= samples; ++k) {
            const double u = u0 + (u1 - u0) * k / samples;
            const IKVec point = Evaluate(u);
            m_Parameter.push_back(u);
            m_Length.push_back(m_Length.back() + Length(point - previous));
            previous = point;
        }
    }
}

IKVec CubicBSpline::AtArcLength(double s) const noexcept {
    if (m_Length.size() < 2)
        return m_Points.empty() ? IKVec{} : Evaluate(m_Knots[3]);
    const double total = m_Length.back();
    if (!(s < total)) {
        // Straight on along the last chord with some length.
        const IKVec end = Evaluate(m_Parameter.back());
        for (size_t k = m_Length.size() - 1; k > 0; --k) {
            const double chord = m_Length[k] - m_Length[k - 1];
            if (chord > 0.0) {
                const IKVec before = Evaluate(m_Parameter[k - 1]);
                return end + (end - before) * ((s - total) / chord);
            }
        }
        return end;
    }
    if (!(s > 0.0))
        return Evaluate(m_Parameter.front());
    const size_t k = static_cast<size_t>(std::upper_bound(m_Length.begin(), m_Length.end(), s) -
                                         m_Length.begin()) -
                     1;
    const double chord = m_Length[k + 1] - m_Length[k];
    const double f = chord > 0.0 ? (s - m_Length[k]) / chord : 0.0;
    return Evaluate(m_Parameter[k] + (m_Parameter[k + 1] - m_Parameter[k]) * f);
}

} // namespace Quorlix::Internal
