#include "quorlix/log/LogStream.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Report.h"
#include "quorlix/log/LogConsole.h"
#include "quorlix/log/StreamPipeLog.h"
#include "quorlix/log/internal/CrashLog.h"
#include "quorlix/platform/Process.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/platform/Time.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace Quorlix {

namespace {

using namespace Internal; // the levels

struct LevelRecord {
    const char* m_Tag;
    int m_Color;
};

constexpr LevelRecord k_Levels[] = {{"Debug", 12}, {"Info ", 10}, {"Note ", 14},
                                    {"Warn ", 11}, {"Error", 9},  {"FATAL", 15}};

constinit std::atomic<unsigned> G_LogFormat{LogStream::FormatDefault};
// Toggled by every prefix while FormatAlternate is set, reset to 0 while it is not; starts at 2.
constinit std::atomic<unsigned> G_Alternation{2};
// (id >> 2) & 15 of the first thread that wrote a prefix; -1 until then.
constinit std::atomic<int> G_FirstThreadColor{-1};

// Collects the prefix between colour changes, so a prefix costs one pipe write per colour
// rather than one per piece.
class PrefixWriter final : public Internal::LogPrefixOut {
public:
    explicit PrefixWriter(StreamPipe& pipe) : m_Pipe(pipe) {}
    ~PrefixWriter() { Flush(); }

    void Text(const char* text, int n) noexcept override {
        std::memcpy(m_Buffer + m_Size, text, static_cast<size_t>(n));
        m_Size += n;
    }
    void Color(int foreground, int background) noexcept override {
        Flush();
        m_Pipe.Color(foreground, background);
    }
    void Flush() noexcept {
        if (m_Size > 0)
            m_Pipe.Write(m_Buffer, m_Size);
        m_Size = 0;
    }

private:
    StreamPipe& m_Pipe;
    char m_Buffer[96]; // without colours the whole prefix: at most 64 bytes
    int m_Size = 0;
};

void TwoDigits(char* out, unsigned value) {
    out[0] = static_cast<char>('0' + value / 10 % 10);
    out[1] = static_cast<char>('0' + value % 10);
}

} // namespace

// Constructed before, and destroyed after, every ordinary static object, so that static
// constructors and destructors anywhere in the library may log.
[[gnu::init_priority(101)]] LogStream Xerr(nullptr);
[[gnu::init_priority(101)]] LogStream Xout(nullptr);
[[gnu::init_priority(101)]] LogStream Xnil(nullptr);

namespace {
// Serialises InitLogStreams and DLLExitLogStreams.
[[gnu::init_priority(101)]] CriticalSection G_LogLock;

// The modules below the log report through the core sink; their messages go to Xerr.
void WriteReport(ReportLevel level, const char* text, size_t length) noexcept {
    Stream* out = nullptr;
    switch (level) {
    case ReportLevel::Debug:
        out = &Xerr.pLockDebug();
        break;
    case ReportLevel::Info:
        out = &Xerr.pLockInfo();
        break;
    case ReportLevel::Note:
        out = &Xerr.pLockNote();
        break;
    case ReportLevel::Warn:
        out = &Xerr.pLockWarn();
        break;
    case ReportLevel::Error:
        out = &Xerr.pLockError();
        break;
    case ReportLevel::Fatal:
        out = &Xerr.pLockFatal();
        break;
    }
    while (length > 0 && out != nullptr) {
        const int piece = static_cast<int>(std::min<size_t>(length, 1 << 30));
        out->Write(text, piece);
        text += piece;
        length -= static_cast<size_t>(piece);
    }
    Xerr.pUnlockMessage();
}

struct ReportSinkInstaller {
    ReportSinkInstaller() noexcept { SetReportSink(&WriteReport); }
};
[[gnu::init_priority(101)]] ReportSinkInstaller G_ReportSinkInstaller;
} // namespace

unsigned LogStream::SetLogFormat(unsigned format) {
    return G_LogFormat.exchange(format);
}

namespace Internal {

bool LogFormatHasColors() noexcept {
    return (G_LogFormat.load(std::memory_order_relaxed) & LogStream::FormatColors) != 0;
}

void WriteLogPrefix(int level, unsigned thread, LogPrefixOut& out) noexcept {
    const unsigned format = G_LogFormat.load(std::memory_order_relaxed);
    if (format == 0)
        return;
    const bool colors = (format & LogStream::FormatColors) != 0;
    if (format & LogStream::FormatBrackets) {
        if (colors)
            out.Color(7, 0);
        out.Text("[", 1);
    }
    // The level colour changes brightness while the alternation value is not 0. It starts at
    // 2, so lines take turns only after a prefix without the flag has set it to 0; until then
    // every line (3, 2, 3, ...) has the other brightness.
    unsigned alternation = 0;
    if (format & LogStream::FormatAlternate)
        alternation = G_Alternation.fetch_xor(1, std::memory_order_relaxed) ^ 1;
    else
        G_Alternation.store(0, std::memory_order_relaxed);
    const int levelColor = k_Levels[level].m_Color ^ (alternation != 0 ? 8 : 0);
    if (format & LogStream::FormatLevel) {
        if (colors)
            out.Color(levelColor, 0);
        out.Text(k_Levels[level].m_Tag, (format & LogStream::FormatWholeLevel) ? 5 : 1);
    }
    if (format & LogStream::FormatTime) {
        if (colors)
            out.Color(7, 0);
        out.Text("|", 1);
        if (colors)
            out.Color(8, 0);
        const uint32_t ms = Platform::UtcMillisecondsOfDay();
        char time[12] = {0, 0, ':', 0, 0, ':', 0, 0, '.', 0, 0, 0};
        TwoDigits(time, ms / 3600000);
        TwoDigits(time + 3, ms / 60000 % 60);
        TwoDigits(time + 6, ms / 1000 % 60);
        time[9] = static_cast<char>('0' + ms / 100 % 10);
        TwoDigits(time + 10, ms % 100);
        out.Text(time, 12);
    }
    const int ownColor = static_cast<int>((thread >> 2) & 15);
    int first = G_FirstThreadColor.load(std::memory_order_relaxed);
    if (first < 0) {
        int expected = -1;
        first =
            G_FirstThreadColor.compare_exchange_strong(expected, ownColor) ? ownColor : expected;
    }
    const int threadColor = ownColor ^ first;
    if (format & LogStream::FormatThread) {
        if (format & (LogStream::FormatLevel | LogStream::FormatTime)) {
            if (colors)
                out.Color(7, 0);
            out.Text("|", 1);
        }
        if (colors)
            out.Color(8, 0);
        char hex[8];
        int digits = 0;
        for (uint32_t rest = thread; rest != 0 || digits < 3; rest >>= 4)
            hex[7 - digits++] = "0123456789ABCDEF"[rest & 15];
        out.Text(hex + 8 - digits, digits);
    }
    if (format & LogStream::FormatBrackets) {
        if (colors)
            out.Color(7, 0);
        out.Text("]", 1);
    }
    if (format & LogStream::FormatThreadBlank) {
        out.Color(7, threadColor);
        out.Text(" ", 1);
        out.Color(7, 0);
    }
    if (colors)
        out.Color(levelColor, 0);
    if (format & LogStream::FormatIndent) {
        for (int i = 0; i < threadColor; ++i)
            out.Text("  ", 2);
        out.Text("# ", 2);
    }
}

} // namespace Internal

Stream& LogStream::LockWithPrefix(int level) {
    StreamPipe& pipe = *GetStreamPipe();
    pipe.Lock();
    PrefixWriter out(pipe);
    Internal::WriteLogPrefix(level, Platform::CurrentThreadId(), out);
    return *this;
}

Stream& LogStream::pLockDebug() {
    return LockWithPrefix(LogDebug);
}

Stream& LogStream::pLockInfo() {
    return LockWithPrefix(LogInfo);
}

Stream& LogStream::pLockNote() {
    return LockWithPrefix(LogNote);
}

Stream& LogStream::pLockWarn() {
    return LockWithPrefix(LogWarn);
}

Stream& LogStream::pLockError() {
    return LockWithPrefix(LogError);
}

Stream& LogStream::pLockFatal() {
    return LockWithPrefix(LogFatal);
}

Stream& LogStream::pUnlockMessage() {
    StreamPipe& pipe = *GetStreamPipe();
    if (G_LogFormat.load(std::memory_order_relaxed) & FormatColors)
        pipe.Color(7, 0);
    pipe.Unlock();
    return *this;
}

namespace {

// The log pipe of a stream, or null when a host has put the stream on a pipe of its own.
StreamPipeLog* LogPipeOf(LogStream& stream) {
    if (stream.GetStreamPipe() == StreamPipeNull::GetSingleton())
        stream.SetStreamPipe(StreamPipeLog::Create());
    return dynamic_cast<StreamPipeLog*>(stream.GetStreamPipe());
}

void EndPipes(StreamPipeLog& log, const char* marker) {
    log.Write(marker, static_cast<int>(std::strlen(marker)));
    log.Flush();
    log.SetStreamPipe(nullptr, StreamPipeLog::SlotFile);
    log.SetStreamPipe(nullptr, StreamPipeLog::SlotConsole);
}

// Opens a log file into slot 0 and cuts it; output continues at the end of what is kept.
void OpenLogFile(StreamPipeLog& log, const char* path, int maxSize) {
    log.SetStreamPipe(StreamPipeFile::Create(path, 23), StreamPipeLog::SlotFile);
    if (maxSize >= 0)
        log.TruncateTail(maxSize, StreamPipeLog::SlotFile, maxSize > 0 ? "[CUT]\n" : nullptr);
    else
        log.GetStreamPipe(StreamPipeLog::SlotFile)->Seek(0, SeekEnd);
}

void WriteMarker(LogStream& stream, const char* marker) {
    stream.pLock() << marker;
    stream.pLF();
    stream.pUnlock();
}

} // namespace

void InitLogStreams(bool errConsole, bool outConsole, const char* errFile, const char* outFile,
                    int errMaxSize, int outMaxSize, bool errReset, bool outReset) {
    CriticalSectionLock lock(G_LogLock);
    StreamPipeLog* errLog = LogPipeOf(Xerr);
    StreamPipeLog* outLog = LogPipeOf(Xout);
    if (outReset && outLog != nullptr)
        EndPipes(*outLog, "[END/Xout]\n");
    if (errReset && errLog != nullptr)
        EndPipes(*errLog, "[END/Xerr]\n");

    if (errLog != nullptr) {
        if (errFile != nullptr &&
            (errReset || errLog->GetStreamPipe(StreamPipeLog::SlotFile) == nullptr)) {
            OpenLogFile(*errLog, errFile, errMaxSize);
            SetLogDocumentBase(errFile);
        }
        if (errConsole &&
            (errReset || errLog->GetStreamPipe(StreamPipeLog::SlotConsole) == nullptr))
            errLog->SetStreamPipe(StreamPipeFile::Create("2>console", 20),
                                  StreamPipeLog::SlotConsole);
    }
    WriteMarker(Xerr, "[NEW/Xerr]");

    if (outLog != nullptr) {
        StreamPipe* errFilePipe =
            errLog != nullptr ? errLog->GetStreamPipe(StreamPipeLog::SlotFile) : nullptr;
        if (errFile != nullptr && outFile != nullptr && std::strcmp(errFile, outFile) == 0 &&
            errFilePipe != nullptr) {
            outLog->SetStreamPipe(errFilePipe, StreamPipeLog::SlotFile);
        } else if (outFile != nullptr &&
                   (outReset || outLog->GetStreamPipe(StreamPipeLog::SlotFile) == nullptr)) {
            OpenLogFile(*outLog, outFile, outMaxSize);
        }
        if (outConsole &&
            (outReset || outLog->GetStreamPipe(StreamPipeLog::SlotConsole) == nullptr))
            outLog->SetStreamPipe(StreamPipeFile::Create("1>console", 20),
                                  StreamPipeLog::SlotConsole);
    }
    WriteMarker(Xout, "[NEW/Xout]");
    Internal::PrepareCrashLog(Xerr.GetStreamPipe());
}

void DLLExitLogStreams() {
    CriticalSectionLock lock(G_LogLock);
    Internal::PrepareCrashLog(nullptr);
    const std::pair<LogStream*, const char*> streams[] = {{&Xout, "[EOF/Xout]\n"},
                                                          {&Xerr, "[EOF/Xerr]\n"}};
    for (const auto& [stream, marker] : streams) {
        Obj<StreamPipe> old = stream->GetStreamPipe();
        old->Lock();
        old->Flush();
        stream->SetStreamPipe(nullptr);
        old->Unlock();
        old->Lock();
        old->Write(marker, static_cast<int>(std::strlen(marker)));
        old->Flush();
        old->Unlock();
    }
}

void XpAssert(const char* expression, const char* file, int line) {
    Xerr.pLockError();
    Xerr.pLF();
    Xerr << "ASSERTION: " << expression;
    Xerr.pLF();
    Xerr << "     FILE: " << file;
    Xerr.pLF();
    Xerr << "     LINE: " << line;
    Xerr.pLF();
    Xerr.pUnlockMessage();
    Platform::BreakIntoDebugger();
}

const char* XpReg(const char* file, const char* a, const char* b) {
    static const bool s_Verbose = Platform::HasEnvironmentVariable("XPREGVERBOSE");
    if (file == nullptr)
        return nullptr;
    const char* base = file;
    for (const char* p = file; *p != '\0'; ++p)
        if (*p == '/' || *p == '\\')
            base = p + 1;
    if (!s_Verbose)
        return base;
    static const char k_Blanks[] = "                                         "; // 41
    const size_t length = std::strlen(base);
    Xerr.pLockInfo() << "REGENTRY: \"" << base << '"';
    Xerr.Write(k_Blanks, length < 40 ? static_cast<int>(41 - length) : 1);
    Xerr << '[' << a << "]      [" << b << ']';
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return base;
}

} // namespace Quorlix
