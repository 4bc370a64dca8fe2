#pragma once
// Scalar functions of the math types, float in and float out, and the tolerances the vector,
// matrix and quaternion operations share.

#include <cmath>

namespace Quorlix {

/// Squared lengths inside [k_UnitWindowLow, k_UnitWindowHigh] (1 -/+ 2^-22) count as unit: the
/// normalising setters store such components unchanged, so unit input stays bit-exact.
inline constexpr float k_UnitWindowLow = 0.99999976f;
inline constexpr float k_UnitWindowHigh = 1.0000002f;
/// 2^-23: the tolerance of the inversion and decomposition tests.
inline constexpr float k_MathEpsilon = 1.1920929e-7f;
/// 2^-24: below this angle (or sine) slerp, Log and Exp leave their input as it is.
inline constexpr float k_AngleFloor = 5.9604645e-8f;
inline constexpr float k_Pi = 3.1415927f;
inline constexpr float k_HalfPi = 1.5707964f;

/// 1 inside the unit window, else 1/sqrt(lengthSquared) (no guard against zero).
inline float UnitWindowScale(float lengthSquared) {
    if (lengthSquared >= k_UnitWindowLow && lengthSquared <= k_UnitWindowHigh)
        return 1.0f;
    return 1.0f / std::sqrt(lengthSquared);
}

inline float Absolute(float x) {
    return std::fabs(x);
}
inline float Floor(float x) {
    return std::floor(x);
}
inline float Ceil(float x) {
    return std::ceil(x);
}
inline float Sqrt(float x) {
    return std::sqrt(x);
}
inline float Sin(float x) {
    return std::sin(x);
}
inline float Cos(float x) {
    return std::cos(x);
}
inline float Tan(float x) {
    return std::tan(x);
}
inline float ArcSin(float x) {
    return std::asin(x);
}
inline float ArcCos(float x) {
    return std::acos(x);
}
inline float ArcTan(float x) {
    return std::atan2(x, 1.0f);
}
inline float ArcTan2(float y, float x) {
    return std::atan2(y, x);
}
inline float SinHyp(float x) {
    return std::sinh(x);
}
inline float CosHyp(float x) {
    return std::cosh(x);
}
inline float TanHyp(float x) {
    return std::tanh(x);
}
inline float Exp(float x) {
    return std::exp(x);
}
inline float Log(float x) {
    return std::log(x);
}
inline float Log10(float x) {
    return std::log10(x);
}
inline float Power(float x, float y) {
    return std::pow(x, y);
}
inline float Modulo(float x, float y) {
    return std::fmod(x, y);
}
/// x minus its integer part truncated toward zero; keeps the sign of x.
inline float Fract(float x) {
    return x - std::trunc(x);
}
/// As Fract, storing the truncated integer part.
inline float FractInt(float x, float& intPart) {
    intPart = std::trunc(x);
    return x - intPart;
}
inline void SinCos(float x, float& s, float& c) {
    s = std::sin(x);
    c = std::cos(x);
}
/// Written so that NaN fails both comparisons and gives hi.
inline float Clamp(float x, float lo, float hi) {
    if (x < lo)
        return lo;
    if (x <= hi)
        return x;
    return hi;
}
/// sin(x * pi/2): 0 at 0, 1 at 1.
inline float Sin1(float x) {
    return std::sin(x * k_HalfPi);
}
/// A smooth ramp from 1 at x = 0 down to 0 at x = 1.
inline float Slope1(float x) {
    return (std::cos(x * k_Pi) + 1.0f) * 0.5f;
}

} // namespace Quorlix
