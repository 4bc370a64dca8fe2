#include "quorlix/core/Assert.h"

#include "quorlix/core/Report.h"
#include "quorlix/platform/Console.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Quorlix {

void AssertionFailed(const char* message, const char* file, int line) noexcept {
    // Straight to standard error first: the broken invariant may lie in the logging layer
    // itself. Then to the log (its files), where the sink is installed.
    char text[768];
    std::snprintf(text, sizeof text, "ASSERTION FAILED: %s (%s:%d)\n", message, file, line);
    const size_t length = std::strlen(text);
    Platform::WriteStandardError(text, length);
    Report(ReportLevel::Fatal, text, length);
    std::abort();
}

} // namespace Quorlix
