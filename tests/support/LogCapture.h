#pragma once
// Captures what a log stream writes while the capture lives. Each message (a level lock to its
// pUnlockMessage, or unlocked writes up to a flush) becomes one entry without its final line
// feed; colour changes can be recorded in line as "{fg/bg}". The stream's pipe and the log
// format word come back when the capture ends.

#include "quorlix/log/LogStream.h"

#include <string>
#include <vector>

namespace QuorlixTest {

class LogCapture {
public:
    /// Format 0x0D: "[Warn ]" in front of each message, no colours, no thread or time.
    explicit LogCapture(Quorlix::LogStream& stream = Quorlix::Xerr, unsigned format = 0x0D,
                        bool recordColors = false);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    /// The messages completed so far.
    std::vector<std::string> Messages() const;
    /// Everything written so far.
    std::string Text() const;

private:
    Quorlix::LogStream& m_Stream;
    Quorlix::Obj<Quorlix::StreamPipe> m_Previous;
    unsigned m_PreviousFormat;
    Quorlix::Obj<Quorlix::StreamPipe> m_Pipe;
};

} // namespace QuorlixTest
