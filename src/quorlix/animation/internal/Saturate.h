#pragma once
// Float-to-integer conversion for animated values, which may be anything a file carries.

#include <cmath>
#include <cstdint>

namespace Quorlix::Internal {

/// floor(x + 0.5) as an I32, saturated at the I32 range; NaN gives 0.
inline int32_t RoundToI32(float x) noexcept {
    const double r = std::floor(static_cast<double>(x) + 0.5);
    if (!(r == r))
        return 0;
    if (r >= 2147483647.0)
        return INT32_MAX;
    if (r <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(r);
}

} // namespace Quorlix::Internal
