#include "quorlix/log/LogConsole.h"

#include "quorlix/stream/StreamPipeFile.h"

#include <cstring>
#include <mutex>

namespace Quorlix {

namespace {

constexpr char k_StartLine[] = "[start of log]\\par ";

// The document header: Tahoma, and the RGB value of each of the 16 colour numbers.
constexpr char k_DocumentHeader[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 "
    "Tahoma;}}{\\colortbl \\red16\\green16\\blue16;\\red128\\green0\\blue0;\\red0\\green128"
    "\\blue0;\\red128\\green128\\blue0;\\red0\\green0\\blue128;\\red128\\green0\\blue128;\\red0"
    "\\green128\\blue128;\\red128\\green128\\blue128;\\red128\\green128\\blue128;\\red255\\green0"
    "\\blue0;\\red0\\green255\\blue0;\\red255\\green255\\blue0;\\red0\\green0\\blue255;\\red255"
    "\\green0\\blue255;\\red0\\green255\\blue255;\\red255\\green255\\blue255;}\\viewkind4\\uc1"
    "\\pard\\f0\\fs16\\b\\cf7 ";
constexpr char k_DocumentEnd[] = "\\par}";

// Guards G_LogConsole and the document base name. Constant-initialised and never destroyed,
// so pipes may use it from static destructors.
constinit std::mutex G_ConsoleGuard;
[[gnu::init_priority(101)]] String G_DocumentBase;

} // namespace

[[gnu::init_priority(101)]] Ptr<LogConsole> G_LogConsole;

Obj<LogConsole> GetLogConsole() {
    std::lock_guard<std::mutex> lock(G_ConsoleGuard);
    return Obj<LogConsole>(G_LogConsole.Get());
}

void SetLogConsole(LogConsole* console) {
    Ptr<LogConsole> old;
    {
        std::lock_guard<std::mutex> lock(G_ConsoleGuard);
        old = G_LogConsole;
        G_LogConsole = console;
    }
    // The old console may go here, outside the guard.
}

String GetLogDocumentPath() {
    std::lock_guard<std::mutex> lock(G_ConsoleGuard);
    return G_DocumentBase.Size() > 0 ? G_DocumentBase + ".rtf" : String("Xerr.log.rtf");
}

void SetLogDocumentBase(const char* errorLogFile) {
    String base(errorLogFile);
    std::lock_guard<std::mutex> lock(G_ConsoleGuard);
    G_DocumentBase = base;
}

LogConsole* LogConsole::Create() {
    return NewObject<LogConsole>();
}

LogConsole::LogConsole() : m_FontName("Lucida Console"), m_Caption("Log Message Console") {
    m_Lines[0] = String(k_StartLine);
}

void LogConsole::SetCaption(const char* caption) {
    CriticalSectionLock lock(m_Section);
    m_Caption = String(caption);
}

void LogConsole::Reset() {
    CriticalSectionLock lock(m_Section);
    for (String& line : m_Lines)
        line.Clear();
    m_Lines[0] = String(k_StartLine);
    m_Oldest = 0;
    m_Current = 1;
}

void LogConsole::Lock() {
    m_Section.Enter();
}

void LogConsole::Unlock() {
    m_Section.Leave();
}

void LogConsole::Append(const char* text, int n, bool divisible) {
    String& line = m_Lines[m_Current];
    const int room = k_MaxLineSize - line.Size();
    // An escape or colour word is kept whole or not at all, so the fragment stays valid RTF.
    if (n > room && !divisible)
        return;
    for (int i = 0; i < n && i < room; ++i)
        line.Add(text[i]);
}

int LogConsole::Write(const void* text, int n) {
    if (text == nullptr || n <= 0)
        return n > 0 ? n : 0;
    CriticalSectionLock lock(m_Section);
    const auto* bytes = static_cast<const unsigned char*>(text);
    int run = 0; // start of the pending run of plain characters
    const auto flush = [&](int end) {
        Append(reinterpret_cast<const char*>(bytes) + run, end - run, true);
        run = end + 1;
    };
    for (int i = 0; i < n; ++i) {
        const unsigned char c = bytes[i];
        if (c >= 32 && c != 127 && c != '\\' && c != '{' && c != '}')
            continue;
        flush(i);
        if (c == '\\') {
            Append("\\\\", 2, false);
        } else if (c == '{') {
            Append("\\{", 2, false);
        } else if (c == '}') {
            Append("\\}", 2, false);
        } else if (c == '\n') {
            // The line's end is written whatever its length, so every line stays a paragraph.
            String& line = m_Lines[m_Current];
            line = line + "\\par ";
            m_Current = (m_Current + 1) % k_LineCount;
            m_Lines[m_Current].Clear();
            if (m_Current == m_Oldest)
                m_Oldest = (m_Oldest + 1) % k_LineCount;
        }
    }
    flush(n);
    return n;
}

void LogConsole::Color(int foreground, int background) {
    CriticalSectionLock lock(m_Section);
    char text[8] = {'\\', 'c', 'f'};
    int size = 3;
    const int colour = foreground & 15;
    if (colour >= 10)
        text[size++] = '1';
    text[size++] = static_cast<char>('0' + colour % 10);
    text[size++] = ' ';
    Append(text, size, false);
}

void LogConsole::Refresh() {
    CriticalSectionLock lock(m_Section);
    if (!m_Shown && Show() != 0)
        return;
    int size = static_cast<int>(sizeof k_DocumentHeader - 1 + sizeof k_DocumentEnd - 1);
    for (int i = m_Oldest; i != m_Current; i = (i + 1) % k_LineCount)
        size += m_Lines[i].Size();
    char* out = m_Document.Allocate(size);
    const auto put = [&](const char* text, int n) {
        std::memcpy(out, text, static_cast<size_t>(n));
        out += n;
    };
    put(k_DocumentHeader, static_cast<int>(sizeof k_DocumentHeader - 1));
    for (int i = m_Oldest; i != m_Current; i = (i + 1) % k_LineCount)
        put(m_Lines[i].GetCPtr(), m_Lines[i].Size());
    put(k_DocumentEnd, static_cast<int>(sizeof k_DocumentEnd - 1));
}

void LogConsole::SetFlags(unsigned flags) {
    CriticalSectionLock lock(m_Section);
    m_Flags = flags;
}

void LogConsole::SetFont(const char* name, int size) {
    CriticalSectionLock lock(m_Section);
    m_FontName = String(name);
    m_FontSize = size;
}

int LogConsole::Show() {
    CriticalSectionLock lock(m_Section);
    m_Shown = true;
    return 0;
}

String LogConsole::GetDocument() {
    CriticalSectionLock lock(m_Section);
    return m_Document;
}

bool LogConsole::SaveDocument(const char* path) {
    const String document = GetDocument();
    Obj<StreamPipeFile> file = StreamPipeFile::Create(path, IOWrite | 12);
    if (!file->IsOpen())
        return false;
    int done = 0;
    while (done < document.Size()) {
        const int n = file->Write(document.GetCPtr() + done, document.Size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

StreamPipeLogConsole::StreamPipeLogConsole() : m_Inner(StreamPipeFile::Create("2>", 20)) {}

StreamPipeLogConsole* StreamPipeLogConsole::Create() {
    StreamPipeLogConsole* pipe = NewObject<StreamPipeLogConsole>();
    Obj<LogConsole> shown;
    {
        std::lock_guard<std::mutex> lock(G_ConsoleGuard);
        if (!G_LogConsole) {
            G_LogConsole = LogConsole::Create();
            shown = G_LogConsole.Get();
        }
    }
    if (shown)
        shown->Show();
    return pipe;
}

void StreamPipeLogConsole::Lock() {
    m_Section.Enter();
    m_Inner->Lock();
    if (m_LockDepth++ == 0)
        m_Locked = GetLogConsole();
    if (m_Locked)
        m_Locked->Lock();
}

void StreamPipeLogConsole::Unlock() {
    if (m_Locked)
        m_Locked->Unlock();
    if (--m_LockDepth == 0)
        m_Locked = nullptr;
    m_Inner->Unlock();
    m_Section.Leave();
}

int StreamPipeLogConsole::Write(const void* data, int n) {
    m_Inner->Write(data, n);
    if (Obj<LogConsole> console = GetLogConsole())
        console->Write(data, n);
    return n;
}

void StreamPipeLogConsole::Flush() {
    m_Inner->Flush();
    if (Obj<LogConsole> console = GetLogConsole())
        console->Refresh();
}

void StreamPipeLogConsole::Color(int foreground, int background) {
    m_Inner->Color(foreground, background);
    if (Obj<LogConsole> console = GetLogConsole())
        console->Color(foreground, background);
}

} // namespace Quorlix
