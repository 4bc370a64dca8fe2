#include "ToolLog.h"

#include "ProgressBar.h"
#include "quorlix/core/CriticalSection.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <cstdio>
#include <cstring>
#include <string>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

// Receives the log's text with its "[Warn ]" tags and passes whole lines on. A line without a
// tag continues the message before it and shares its fate.
class ErrorLinePipe final : public StreamPipeNull {
public:
    explicit ErrorLinePipe(bool verbose) : m_Verbose(verbose) {}

    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    int Write(const void* data, int n) override {
        CriticalSectionLock lock(m_Section);
        const char* text = static_cast<const char*>(data);
        for (int i = 0; i < n; ++i) {
            if (text[i] != '\n') {
                m_Line += text[i];
                continue;
            }
            EmitLine();
        }
        return n;
    }

private:
    void EmitLine() {
        static const struct {
            const char* m_Tag;
            const char* m_Word;
            bool m_Always;
        } k_Levels[] = {{"[Debug]", "debug: ", false}, {"[Info ]", "", false},
                        {"[Note ]", "note: ", false},  {"[Warn ]", "warning: ", true},
                        {"[Error]", "error: ", true},  {"[Fatal]", "error: ", true}};
        std::string line = m_Line;
        m_Line.clear();
        for (const auto& level : k_Levels) {
            if (line.compare(0, 7, level.m_Tag) == 0) {
                m_Showing = level.m_Always || m_Verbose;
                line = level.m_Word + line.substr(7);
                break;
            }
        }
        if (m_Showing)
            TerminalProgressBar::PrintLine(line);
    }

    CriticalSection m_Section;
    bool m_Verbose;
    bool m_Showing = false;
    std::string m_Line;
};

// What scripts print (Xout) goes to standard output as it is, for pipelines.
class OutputPipe final : public StreamPipeNull {
public:
    void Lock() override { m_Section.Enter(); }
    void Unlock() override { m_Section.Leave(); }
    int Write(const void* data, int n) override {
        CriticalSectionLock lock(m_Section);
        return n > 0 ? static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(n), stdout)) : 0;
    }
    void Flush() override { std::fflush(stdout); }

private:
    CriticalSection m_Section;
};

} // namespace

void RouteLibraryLog(bool verbose) {
    LogStream::SetLogFormat(LogStream::FormatBrackets | LogStream::FormatLevel |
                            LogStream::FormatWholeLevel);
    Xerr.SetStreamPipe(NewObject<ErrorLinePipe>(verbose));
    Xout.SetStreamPipe(NewObject<OutputPipe>());
}

void UnrouteLibraryLog() {
    Xout.Flush();
    Xout.SetStreamPipe(nullptr);
    Xerr.SetStreamPipe(nullptr);
}

} // namespace QuorlixTool
