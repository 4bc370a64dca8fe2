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

double Length(const IKVec& v) noexcept {
    return std::sqrt(Dot(v, v));
}

bool Finite(const IKVec& v) noexcept {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

IKVec Rotate(const IKQuat& q, const IKVec& v) noexcept {
    // v + 2w(q x v) + 2 q x (q x v), q the vector part.
    const IKVec u{q.x, q.y, q.z};
    const IKVec t = Cross(u, v) * 2.0;
    return v + t * q.w + Cross(u, t);
}

IKQuat Compose(const IKQuat& a, const IKQuat& b) noexcept {
    // The Hamilton product b a: a acts first.
    return IKQuat{b.w * a.x + a.w * b.x + (b.y * a.z - b.z * a.y),
                  b.w * a.y + a.w * b.y + (b.z * a.x - b.x * a.z),
                  b.w * a.z + a.w * b.z + (b.x * a.y - b.y * a.x),
                  b.w * a.w - (b.x * a.x + b.y * a.y + b.z * a.z)};
}

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
    // R = sum of f_k e_k^T acting on column vectors; the quaternion of R.
    const IKVec e[3] = {u, n, w}, f[3] = {u2, n2, w2};
    double r[3][3];
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int k = 0; k < 3; ++k) {
                const double fi = i == 0 ? f[k].x : i == 1 ? f[k].y : f[k].z;
                const double ej = j == 0 ? e[k].x : j == 1 ? e[k].y : e[k].z;
                sum += fi * ej;
            }
            r[i][j] = sum;
        }
    }
    IKQuat q;
    const double trace = r[0][0] + r[1][1] + r[2][2];
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        q = {(r[2][1] - r[1][2]) / s, (r[0][2] - r[2][0]) / s, (r[1][0] - r[0][1]) / s, 0.25 * s};
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const double s = std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]) * 2.0;
        q = {0.25 * s, (r[0][1] + r[1][0]) / s, (r[0][2] + r[2][0]) / s, (r[2][1] - r[1][2]) / s};
    } else if (r[1][1] > r[2][2]) {
        const double s = std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]) * 2.0;
        q = {(r[0][1] + r[1][0]) / s, 0.25 * s, (r[1][2] + r[2][1]) / s, (r[0][2] - r[2][0]) / s};
    } else {
        const double s = std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]) * 2.0;
        q = {(r[0][2] + r[2][0]) / s, (r[1][2] + r[2][1]) / s, 0.25 * s, (r[1][0] - r[0][1]) / s};
    }
    return Normalized(q);
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
        const double length = Length(across);
        if (length > k_Across * Length(v) && length > tiny) {
            side = Normalized(across, length);
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
    const IKVec u2 = Normalized(out.m_Middle - a, Length(out.m_Middle - a));
    const IKVec n2 = Cross(bend, axis); // unit: bend is across the axis
    IKVec n = Cross(ab, bc);
    double nLength = Length(n);
    if (!(nLength > k_Across * l1 * l2)) {
        n = Cross(side - u * Dot(side, u), u);
        nLength = Length(n);
    }
    out.m_Upper = nLength > k_Across ? FrameRotation(u, Normalized(n, nLength), u2, n2)
                                     : RotationBetween(ab, out.m_Middle - a);

    // The second bone hinges about the solved plane's normal.
    const IKVec w = Rotate(out.m_Upper, bc);
    const IKVec v = out.m_End - out.m_Middle;
    const double angle = std::atan2(Dot(Cross(w, v), n2), Dot(w, v));
    out.m_Lower = Compose(out.m_Upper, AxisAngle(n2, angle));
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
