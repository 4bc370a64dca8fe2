#include "quorlix/stream/StreamPipeFile.h"

#include "quorlix/core/Module.h"
#include "quorlix/platform/Console.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/ReportStream.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace Quorlix {

namespace {

Platform::FileDisposition DispositionOf(unsigned mode) {
    switch (mode & IODispositionMask) {
    case 4:
        return Platform::FileDisposition::CreateNew;
    case 8:
    case 24:
        return Platform::FileDisposition::TruncateExisting;
    case 12:
    case 28:
        return Platform::FileDisposition::CreateAlways;
    case 20:
        return Platform::FileDisposition::OpenAlways;
    default:
        return Platform::FileDisposition::OpenExisting; // 0 and 16
    }
}

// The break signal's report. It runs inside the signal handler, where the log streams' locks and
// the console ring's allocations are out of bounds; so it writes straight to standard error,
// which is the console whose pipe installed the handler.
void ReportBreakSignal() noexcept {
    static const char k_Line[] = "[BREAK SIGNAL]\n";
    Platform::WriteStandardError(k_Line, sizeof k_Line - 1);
    G_SIGABORT = 1;
}

} // namespace

StreamPipeFile* StreamPipeFile::Create(const char* path, unsigned mode) {
    return NewObject<StreamPipeFile>(path, mode);
}

StreamPipeFile::StreamPipeFile(const char* path, unsigned mode)
    : m_File(Platform::FileHandle::Invalid) {
    if (path == nullptr)
        return;
    if (std::strchr(path, '\\') != nullptr) {
        Xreport.pLockWarn() << "StreamPipeFile::StreamPipeFile: path ";
        Xreport.pQuotedC(path, -1, '"') << " contains incorrect '\\' character.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    const bool console = std::strcmp(path, "1>console") == 0 || std::strcmp(path, "2>console") == 0;
    if (console || std::strcmp(path, "1>") == 0 || std::strcmp(path, "2>") == 0) {
        const bool output = path[0] == '1';
        if (console)
            Platform::InstallBreakHandler(&ReportBreakSignal);
        m_File = output ? Platform::StandardOutputFile() : Platform::StandardErrorFile();
        if (m_File != Platform::FileHandle::Invalid) {
            m_Kind = output ? KindStandardOutput : KindStandardError;
        } else if (output) {
            m_File = Platform::OpenFile("Xout.log", Platform::FileAccessWrite,
                                        Platform::FileDisposition::CreateNew);
        } else {
            m_File = Platform::OpenFile("Xerr.log", Platform::FileAccessWrite,
                                        Platform::FileDisposition::CreateAlways);
        }
    } else {
        // The library's paths use '/'; a backslash is taken for one.
        std::string osPath(path);
        for (char& c : osPath)
            if (c == '\\')
                c = '/';
        std::string stored;
        m_File = Platform::OpenFile(osPath.c_str(), mode & (IORead | IOWrite), DispositionOf(mode),
                                    &stored);
        if (m_File != Platform::FileHandle::Invalid && !stored.empty()) {
            Xreport.pLockWarn() << "StreamPipeFile: file case mismatch:\n file: \"" << path
                                << "\"\n disc: \"" << stored.c_str() << "\".";
            Xreport.pLF();
            Xreport.pUnlockMessage();
        }
    }
    m_Terminal = Platform::IsTerminal(m_File);
}

StreamPipeFile::~StreamPipeFile() {
    if (m_Kind == KindFile)
        Platform::CloseFile(m_File);
}

bool StreamPipeFile::IsOpen() const noexcept {
    return m_File != Platform::FileHandle::Invalid;
}

int StreamPipeFile::Read(void* buffer, int n) {
    if (buffer == nullptr || n <= 0)
        return 0;
    const int64_t count = Platform::ReadFile(m_File, buffer, static_cast<size_t>(n));
    return count > 0 ? static_cast<int>(count) : 0;
}

int StreamPipeFile::Read() {
    unsigned char byte;
    return Platform::ReadFile(m_File, &byte, 1) == 1 ? byte : -1;
}

int StreamPipeFile::Write(const void* data, int n) {
    if (data == nullptr || n <= 0)
        return 0;
    const int64_t count = Platform::WriteFile(m_File, data, static_cast<size_t>(n));
    return count > 0 ? static_cast<int>(count) : 0;
}

bool StreamPipeFile::Truncate() {
    return Platform::TruncateFileAtPosition(m_File);
}

int64_t StreamPipeFile::Seek(int64_t offset, int origin) {
    return Platform::SeekFile(m_File, offset, origin);
}

void StreamPipeFile::GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) {
    Platform::GetFileTimes(m_File, created, accessed, written);
}

bool StreamPipeFile::SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) {
    return Platform::SetFileTimes(m_File, created, accessed, written);
}

// The sequences go through Write, so a buffered pipe keeps them in line with its text.
void StreamPipeFile::Color(int foreground, int background) {
    if (!m_Terminal)
        return;
    foreground &= 15;
    background &= 15;
    char sequence[24];
    int length;
    if (foreground == 7 && background == 0) {
        length = std::snprintf(sequence, sizeof sequence, "\x1b[0m");
    } else {
        const int fg = (foreground & 8 ? 90 : 30) + (foreground & 7);
        const int bg = background == 0 ? 49 : (background & 8 ? 100 : 40) + (background & 7);
        length = std::snprintf(sequence, sizeof sequence, "\x1b[0;%d;%dm", fg, bg);
    }
    Write(sequence, length);
}

void StreamPipeFile::Clear() {
    if (!m_Terminal)
        return;
    static const char k_ClearScreen[] = "\x1b[2J\x1b[H";
    Write(k_ClearScreen, static_cast<int>(sizeof k_ClearScreen - 1));
    Flush();
}

} // namespace Quorlix
