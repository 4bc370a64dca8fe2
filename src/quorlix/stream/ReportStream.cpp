#include "quorlix/stream/ReportStream.h"

#include "quorlix/core/Memory.h"
#include "quorlix/core/Report.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <algorithm>
#include <string>

namespace Quorlix {

namespace {

// A message longer than this is cut: reports name paths and values, never bulk data.
constexpr size_t k_MessageLimit = 64 * 1024;

struct ThreadMessage {
    std::string m_Text;
    bool m_Open = false;
    ReportLevel m_Level = ReportLevel::Debug;
};

thread_local ThreadMessage t_Message;

// Appends what the stream writes to the calling thread's open message.
class ReportBufferPipe final : public StreamPipeNull {
public:
    int Write(const void* data, int n) override {
        ThreadMessage& message = t_Message;
        if (!message.m_Open || n <= 0)
            return n > 0 ? n : 0;
        const size_t room = k_MessageLimit - std::min(message.m_Text.size(), k_MessageLimit);
        message.m_Text.append(static_cast<const char*>(data),
                              std::min(static_cast<size_t>(n), room));
        return n;
    }
};

// Permanent like the null pipe, so it outlives every static destructor that may still report.
StreamPipe* ReportPipe() {
    return PermanentObject<ReportBufferPipe>();
}

void HandOn(ThreadMessage& message) {
    if (!message.m_Open)
        return;
    message.m_Open = false;
    if (!message.m_Text.empty())
        Report(message.m_Level, message.m_Text.data(), message.m_Text.size());
    message.m_Text.clear();
}

} // namespace

[[gnu::init_priority(101)]] ReportStream Xreport;

ReportStream::ReportStream() : Stream(ReportPipe()) {}

namespace {
Stream& Start(ReportStream& stream, ReportLevel level) {
    ThreadMessage& message = t_Message;
    HandOn(message);
    message.m_Open = true;
    message.m_Level = level;
    return stream;
}
} // namespace

Stream& ReportStream::pLockDebug() {
    return Start(*this, ReportLevel::Debug);
}
Stream& ReportStream::pLockInfo() {
    return Start(*this, ReportLevel::Info);
}
Stream& ReportStream::pLockNote() {
    return Start(*this, ReportLevel::Note);
}
Stream& ReportStream::pLockWarn() {
    return Start(*this, ReportLevel::Warn);
}
Stream& ReportStream::pLockError() {
    return Start(*this, ReportLevel::Error);
}
Stream& ReportStream::pLockFatal() {
    return Start(*this, ReportLevel::Fatal);
}

Stream& ReportStream::pUnlockMessage() {
    HandOn(t_Message);
    return *this;
}

} // namespace Quorlix
