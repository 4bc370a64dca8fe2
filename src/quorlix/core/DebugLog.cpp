#include "quorlix/core/DebugLog.h"

#include "quorlix/core/Assert.h"
#include "quorlix/platform/Console.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Quorlix {

namespace {
std::atomic<DebugLineSink> G_DebugLineSink{nullptr};
} // namespace

void WriteDebugLine(const char* text) noexcept {
    if (DebugLineSink sink = G_DebugLineSink.load(std::memory_order_acquire)) {
        sink(text);
        return;
    }
    // One write per line, so lines of different threads do not interleave.
    char line[512];
    size_t length = std::strlen(text);
    if (length > sizeof line - 1)
        length = sizeof line - 1;
    std::memcpy(line, text, length);
    line[length] = '\n';
    Platform::WriteStandardError(line, length + 1);
}

DebugLineSink SetDebugLineSink(DebugLineSink sink) noexcept {
    return G_DebugLineSink.exchange(sink, std::memory_order_acq_rel);
}

void AssertionFailed(const char* message, const char* file, int line) noexcept {
    char text[768];
    std::snprintf(text, sizeof text, "ASSERTION FAILED: %s (%s:%d)\n", message, file, line);
    Platform::WriteStandardError(text, std::strlen(text));
    std::abort();
}

} // namespace Quorlix
