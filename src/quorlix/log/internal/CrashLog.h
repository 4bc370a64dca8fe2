#pragma once
// The error log as the crash report sees it. A crash may interrupt any thread anywhere, also
// inside the allocator or while another thread holds the log's lock, so the report can neither
// allocate nor lock: it writes with single system calls to the file and console pipes that
// Xerr had when its pipes last changed (InitLogStreams, DLLExitLogStreams), holding references
// so that they stay open. Lines carry the same prefixes and colours as Xerr's own.

#include <cstddef>

namespace Quorlix {

class StreamPipe;

namespace Internal {

/// The levels of a log line, in the order of the level locks.
enum LogLevel : int { LogDebug, LogInfo, LogNote, LogWarn, LogError, LogFatal };

/// Receives the pieces of a log line prefix.
class LogPrefixOut {
public:
    virtual void Text(const char* text, int n) noexcept = 0;
    virtual void Color(int foreground, int background) noexcept = 0;

protected:
    ~LogPrefixOut() = default;
};

/// Writes the prefix of a `level` line of thread `thread` as the current log format wants it
/// (nothing when the format is 0). Allocates nothing and takes no lock.
void WriteLogPrefix(int level, unsigned thread, LogPrefixOut& out) noexcept;
/// Whether the current log format colours its lines.
bool LogFormatHasColors() noexcept;

/// Takes the file and console of `errorPipe` (Xerr's pipe, a StreamPipeLog, or null) as the
/// crash report's destinations and lets the earlier ones go. Pipes of other kinds are passed
/// over; with neither a file nor a console the report goes to standard error. Called under the
/// log lock.
void PrepareCrashLog(StreamPipe* errorPipe);

/// Writes the crash report's lines. Async-signal-safe: write calls only.
class CrashLog final : public LogPrefixOut {
public:
    CrashLog() noexcept;

    /// Starts a line with the prefix of `level`; End restores the colour and ends it.
    void Begin(int level) noexcept;
    /// Starts a line without a prefix.
    void BeginPlain() noexcept { m_Colored = false; }
    void Add(const char* text, size_t length) noexcept;
    void Add(const char* text) noexcept;
    void End() noexcept;
    /// A whole line at `level`.
    void Line(int level, const char* text, size_t length) noexcept;

    // The prefix's pieces.
    void Text(const char* text, int n) noexcept override;
    void Color(int foreground, int background) noexcept override;

private:
    void Write(const char* text, size_t length) noexcept;

    bool m_Colored = false;
};

/// CheckTrace for the crash report: the same lines through `log`, then the same second's pause
/// when anything was printed.
void CheckTraceForCrash(const char* caller, CrashLog& log) noexcept;

} // namespace Internal
} // namespace Quorlix
