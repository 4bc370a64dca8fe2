#include "quorlix/core/Report.h"

#include "quorlix/platform/Console.h"

#include <atomic>
#include <cstring>
#include <string>

namespace Quorlix {

namespace {

constinit std::atomic<ReportSink> G_Sink{nullptr};
constinit thread_local bool t_InSink = false;

} // namespace

ReportSink SetReportSink(ReportSink sink) noexcept {
    return G_Sink.exchange(sink);
}

void Report(ReportLevel level, const char* text, size_t length) noexcept {
    const ReportSink sink = G_Sink.load(std::memory_order_acquire);
    if (sink == nullptr)
        return;
    if (t_InSink) {
        Platform::WriteStandardError(text, length);
        return;
    }
    t_InSink = true;
    sink(level, text, length);
    t_InSink = false;
}

void ReportLine(ReportLevel level, const char* text) noexcept {
    // One message, one call: short lines are joined with their line feed on the stack.
    char line[512];
    const size_t length = std::strlen(text);
    if (length < sizeof line) {
        std::memcpy(line, text, length);
        line[length] = '\n';
        Report(level, line, length + 1);
        return;
    }
    std::string joined(text, length);
    joined += '\n';
    Report(level, joined.data(), joined.size());
}

} // namespace Quorlix
