#pragma once
// The log console: the last 500 lines of log output kept as rich-text (RTF) fragments, and the
// pipe that feeds it. On Linux the console's window is the terminal: the console pipe writes
// its text to standard error as it arrives, so Show has nothing more to display. The document
// that Refresh assembles is what "View Log File" in the message dialog saves
// (GetLogDocumentPath).

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

class QUORLIX_API LogConsole {
public:
    static constexpr int k_LineCount = 500;
    /// Longest RTF fragment a ring line keeps; what a line brings beyond it is dropped, so a
    /// line without line feeds cannot grow the console without bound.
    static constexpr int k_MaxLineSize = 16384;

    /// A console whose ring holds only "[start of log]" (reference count 0).
    static LogConsole* Create();

    LogConsole();
    virtual ~LogConsole() = default;
    LogConsole(const LogConsole&) = delete;
    LogConsole& operator=(const LogConsole&) = delete;

    virtual void SetCaption(const char* caption);
    /// Empties the ring back to its "[start of log]" line.
    virtual void Reset();
    /// The console's lock, held by the console pipe for a whole message; re-entrant.
    virtual void Lock();
    virtual void Unlock();
    /// Appends text to the ring: '\', '{' and '}' escaped, a line feed ends the line with
    /// "\par " and starts the next ring line (dropping the oldest when the ring is full), other
    /// control characters dropped. Returns `n`.
    virtual int Write(const void* text, int n);
    /// Shows the console if it is not shown, then assembles the document: the RTF header with
    /// its 16-colour table, the complete lines from the oldest on, "\par}".
    virtual void Refresh();
    /// Level filters and window options; kept and returned, acted on by nothing.
    virtual void SetFlags(unsigned flags);
    virtual void SetFont(const char* name, int size);
    /// The terminal is the console's window: marks the console shown and returns 0.
    virtual int Show();

    /// Appends "\cf", the colour number and a blank; the background is ignored.
    void Color(int foreground, int background);
    /// The document of the last Refresh ("" before the first).
    String GetDocument();
    /// Writes the document of the last Refresh to `path`; false when it cannot be written.
    [[nodiscard]] bool SaveDocument(const char* path);

    unsigned GetFlags() const noexcept { return m_Flags; }
    int GetFontSize() const noexcept { return m_FontSize; }
    const String& GetFontName() const noexcept { return m_FontName; }
    const String& GetCaption() const noexcept { return m_Caption; }

private:
    void Append(const char* text, int n, bool divisible);

    bool m_Shown = false;
    unsigned m_Flags = 0;
    int m_FontSize = 8;
    String m_FontName;
    String m_Caption;
    String m_Lines[k_LineCount];
    int m_Oldest = 0;
    int m_Current = 1;
    String m_Document;
    CriticalSection m_Section;
};

/// The process's log console; made by the first StreamPipeLogConsole, released by the library's
/// last de-initialisation. Read and change it only through GetLogConsole and SetLogConsole,
/// which lock.
extern QUORLIX_API Ptr<LogConsole> G_LogConsole;
/// A counted reference to G_LogConsole (null when there is none).
QUORLIX_API Obj<LogConsole> GetLogConsole();
/// Replaces G_LogConsole (null releases it).
QUORLIX_API void SetLogConsole(LogConsole* console);

/// Where "View Log File" saves the console document: the error log file's name (as last given
/// to InitLogStreams) with ".rtf" appended, or "Xerr.log.rtf" in the working directory.
QUORLIX_API String GetLogDocumentPath();
/// Records the error log file name the document path derives from (null forgets it).
QUORLIX_API void SetLogDocumentBase(const char* errorLogFile);

/// A pipe whose output goes to standard error (the console's window) and to G_LogConsole. Once
/// G_LogConsole is released, its output reaches standard error only.
class QUORLIX_API StreamPipeLogConsole final : public StreamPipe {
public:
    /// Makes G_LogConsole and shows it when there is none.
    static StreamPipeLogConsole* Create();

    /// Locks standard error's pipe and the console for a whole message.
    void Lock() override;
    void Unlock() override;
    int Read(void*, int) override { return 0; }
    int Read() override { return -1; }
    int Peek() override { return -1; }
    int PeekAt(int) override { return -1; }
    int Skip(int) override { return 0; }
    /// Writes to standard error and the console; returns `n`.
    int Write(const void* data, int n) override;
    bool Truncate() override { return false; }
    /// Flushes standard error's pipe and refreshes the console's document.
    void Flush() override;
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }
    void Color(int foreground, int background) override;
    void Clear() override {}

    StreamPipeLogConsole();

private:
    Obj<StreamPipe> m_Inner;
    CriticalSection m_Section;
    Obj<LogConsole> m_Locked; // the console Lock took, released by the matching Unlock
    int m_LockDepth = 0;
};

} // namespace Quorlix
