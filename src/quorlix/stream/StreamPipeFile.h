#pragma once
// The unbuffered file pipe: a file, or the process's standard output or error. Every operation is
// one operating-system call; Lock/Unlock serve callers that make several calls one unit.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

namespace Platform {
enum class FileHandle : int;
}

class QUORLIX_API StreamPipeFile : public StreamPipe {
public:
    /// What the pipe writes to; only own files are closed by the pipe.
    enum Kind : int { KindFile = 0, KindStandardOutput = 1, KindStandardError = 2 };

    /// Opens `path` with the open-mode word: bits 0-1 access, bits 2-4 disposition. Always
    /// returns a pipe; one whose file could not be opened reads as empty and writes nothing.
    ///  - "1>" and "2>" (and "1>console", "2>console", which also install the break-signal
    ///    handler) are standard output and error. Is that descriptor closed, the pipe creates
    ///    "Xout.log" (only when it does not exist yet) or "Xerr.log" (always) instead.
    ///  - A backslash in the path is warned about and read as '/'.
    ///  - A path that exists only in other letter case is opened all the same, with a warning
    ///    that names the stored name of the last component that differs.
    static StreamPipeFile* Create(const char* path, unsigned mode);

    StreamPipeFile(const char* path, unsigned mode);
    ~StreamPipeFile() override;

    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    /// One read: it may deliver fewer bytes than asked even before the end.
    int Read(void* buffer, int n) override;
    int Read() override;
    /// No look-ahead: -2.
    int Peek() override { return -2; }
    int PeekAt(int) override { return -2; }
    /// Not supported: 0.
    int Skip(int) override { return 0; }
    /// One write: it may accept fewer bytes than given (a full disc accepts none).
    int Write(const void* data, int n) override;
    bool Truncate() override;
    void Flush() override {}
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override { return Seek(offset, origin); }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override;
    /// The creation time cannot be changed on Linux: see Platform::SetFileTimes.
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) override;
    /// On a terminal: the ANSI colour sequence for the 4-bit colours (bit 0 red, 1 green,
    /// 2 blue, 3 bright), written in line with the text; 7 on 0 restores the terminal's own
    /// colours and background 0 is the terminal's background. Nothing when not a terminal.
    void Color(int foreground, int background) override;
    /// On a terminal: clears the screen and puts the cursor top left.
    void Clear() override;

    /// Whether a file or standard handle is open behind the pipe.
    bool IsOpen() const noexcept;
    int GetKind() const noexcept { return m_Kind; }
    /// Whether the pipe writes to a terminal, the only place its colours and clearing reach.
    bool IsTerminal() const noexcept { return m_Terminal; }

protected:
    Platform::FileHandle m_File;
    int m_Kind = KindFile;
    CriticalSection m_Section;
    bool m_Terminal = false;
};

} // namespace Quorlix
