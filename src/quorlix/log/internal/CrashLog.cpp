#include "quorlix/log/internal/CrashLog.h"

#include "quorlix/core/Obj.h"
#include "quorlix/log/StreamPipeLog.h"
#include "quorlix/platform/File.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/stream/StreamPipeFile.h"

#include <atomic>
#include <cstring>
#include <typeinfo>

namespace Quorlix::Internal {

namespace {

// The report's destinations: the console (0) and the file (1), in the log pipe's order. Only
// plain file pipes qualify: each of their writes is one system call without a lock.
struct Target {
    std::atomic<StreamPipeFile*> m_Pipe{nullptr};
    std::atomic<bool> m_Terminal{false};
};
Target G_Targets[2];
std::atomic<bool> G_AnyTarget{false};

// The references that keep the destinations open; changed only under the log lock.
struct HeldPipes {
    Obj<StreamPipe> m_Pipes[2];
    ~HeldPipes() {
        G_AnyTarget.store(false);
        for (Target& target : G_Targets)
            target.m_Pipe.store(nullptr);
    }
} G_Held;

StreamPipeFile* PlainFilePipe(StreamPipe* pipe) {
    if (pipe == nullptr || typeid(*pipe) != typeid(StreamPipeFile))
        return nullptr;
    auto* file = static_cast<StreamPipeFile*>(pipe);
    return file->IsOpen() ? file : nullptr;
}

// Xerr's standard-error fallback, when it has neither file nor console.
void WriteStandardError(const char* text, size_t length) noexcept {
    const Platform::FileHandle file = Platform::StandardErrorFile();
    while (length > 0) {
        const int64_t written = Platform::WriteFile(file, text, length);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

void WriteAll(StreamPipeFile& pipe, const char* text, size_t length) noexcept {
    while (length > 0) {
        const int chunk = length > 0x40000000u ? 0x40000000 : static_cast<int>(length);
        const int written = pipe.Write(text, chunk);
        if (written <= 0)
            return;
        text += written;
        length -= static_cast<size_t>(written);
    }
}

// The terminal colour sequence of StreamPipeFile::Color, formatted without the C library.
size_t ColorSequence(int foreground, int background, char* out) noexcept {
    foreground &= 15;
    background &= 15;
    if (foreground == 7 && background == 0) {
        std::memcpy(out, "\x1b[0m", 4);
        return 4;
    }
    const int numbers[2] = {(foreground & 8 ? 90 : 30) + (foreground & 7),
                            background == 0 ? 49 : (background & 8 ? 100 : 40) + (background & 7)};
    size_t length = 0;
    out[length++] = '\x1b';
    out[length++] = '[';
    out[length++] = '0';
    for (int number : numbers) {
        out[length++] = ';';
        if (number >= 100)
            out[length++] = static_cast<char>('0' + number / 100);
        out[length++] = static_cast<char>('0' + number / 10 % 10);
        out[length++] = static_cast<char>('0' + number % 10);
    }
    out[length++] = 'm';
    return length;
}

} // namespace

void PrepareCrashLog(StreamPipe* errorPipe) {
    auto* log = dynamic_cast<StreamPipeLog*>(errorPipe);
    StreamPipe* const pipes[2] = {
        log != nullptr ? log->GetStreamPipe(StreamPipeLog::SlotConsole) : nullptr,
        log != nullptr ? log->GetStreamPipe(StreamPipeLog::SlotFile) : nullptr};
    // The file shared by Xerr and Xout sits in one slot only; a console and a file that are one
    // pipe are written once.
    Obj<StreamPipe> next[2];
    bool any = false;
    for (int i = 0; i < 2; ++i) {
        StreamPipeFile* file = PlainFilePipe(pipes[i]);
        if (file != nullptr && (i == 0 || file != next[0].Get())) {
            next[i] = file;
            any = true;
        }
    }
    // Unpublish first, so that a crash meanwhile never writes to a pipe that is going away.
    G_AnyTarget.store(false);
    for (Target& target : G_Targets)
        target.m_Pipe.store(nullptr);
    for (int i = 0; i < 2; ++i) {
        G_Held.m_Pipes[i] = next[i];
        auto* file = static_cast<StreamPipeFile*>(next[i].Get());
        G_Targets[i].m_Terminal.store(file != nullptr && file->IsTerminal());
        G_Targets[i].m_Pipe.store(file);
    }
    G_AnyTarget.store(any);
}

CrashLog::CrashLog() noexcept = default;

void CrashLog::Write(const char* text, size_t length) noexcept {
    if (length == 0)
        return;
    if (!G_AnyTarget.load()) {
        WriteStandardError(text, length);
        return;
    }
    for (Target& target : G_Targets)
        if (StreamPipeFile* pipe = target.m_Pipe.load())
            WriteAll(*pipe, text, length);
}

void CrashLog::Color(int foreground, int background) noexcept {
    char sequence[24];
    const size_t length = ColorSequence(foreground, background, sequence);
    if (!G_AnyTarget.load()) {
        if (Platform::IsTerminal(Platform::StandardErrorFile()))
            WriteStandardError(sequence, length);
        return;
    }
    for (Target& target : G_Targets) {
        StreamPipeFile* pipe = target.m_Pipe.load();
        if (pipe != nullptr && target.m_Terminal.load())
            WriteAll(*pipe, sequence, length);
    }
}

void CrashLog::Begin(int level) noexcept {
    m_Colored = LogFormatHasColors();
    WriteLogPrefix(level, Platform::CurrentThreadIdUncached(), *this);
}

void CrashLog::Text(const char* text, int n) noexcept {
    if (n > 0)
        Write(text, static_cast<size_t>(n));
}

void CrashLog::Add(const char* text, size_t length) noexcept {
    Write(text, length);
}

void CrashLog::Add(const char* text) noexcept {
    if (text != nullptr)
        Write(text, std::strlen(text));
}

void CrashLog::End() noexcept {
    Write("\n", 1);
    if (m_Colored)
        Color(7, 0);
    m_Colored = false;
}

void CrashLog::Line(int level, const char* text, size_t length) noexcept {
    Begin(level);
    Add(text, length);
    End();
}

} // namespace Quorlix::Internal
