#include "quorlix/core/Assert.h"

#include "quorlix/platform/Console.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Quorlix {

void AssertionFailed(const char* message, const char* file, int line) noexcept {
    // Straight to standard error: the broken invariant may lie in the logging layer itself.
    char text[768];
    std::snprintf(text, sizeof text, "ASSERTION FAILED: %s (%s:%d)\n", message, file, line);
    Platform::WriteStandardError(text, std::strlen(text));
    std::abort();
}

} // namespace Quorlix
