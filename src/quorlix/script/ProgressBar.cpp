#include "quorlix/script/ProgressBar.h"

namespace Quorlix {

// Out of line so that the class's virtual table has one home in the library.
ProgressBar::~ProgressBar() = default;

float ProgressBar::Fraction(double done, double total) noexcept {
    // Written so that NaN fails every comparison into 0.
    if (!(total > 0) || !(done > 0))
        return 0.0f;
    if (done >= total)
        return 1.0f;
    return static_cast<float>(done / total);
}

} // namespace Quorlix
