#include "support/LogCapture.h"

#include "quorlix/core/CriticalSection.h"

namespace QuorlixTest {

namespace {

class CapturePipe final : public Quorlix::StreamPipe {
public:
    explicit CapturePipe(bool recordColors) : m_RecordColors(recordColors) {}

    void Lock() override {
        m_Section.Enter();
        ++m_Depth;
    }
    void Unlock() override {
        if (--m_Depth == 0)
            EndMessage();
        m_Section.Leave();
    }
    int Read(void*, int) override { return 0; }
    int Read() override { return -1; }
    int Peek() override { return -1; }
    int PeekAt(int) override { return -1; }
    int Skip(int) override { return 0; }
    int Write(const void* data, int n) override {
        Quorlix::CriticalSectionLock lock(m_Section);
        m_Current.append(static_cast<const char*>(data), static_cast<size_t>(n));
        m_Text.append(static_cast<const char*>(data), static_cast<size_t>(n));
        return n;
    }
    void Flush() override {
        Quorlix::CriticalSectionLock lock(m_Section);
        if (m_Depth == 0)
            EndMessage();
    }
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }
    void Color(int foreground, int background) override {
        if (!m_RecordColors)
            return;
        const std::string mark =
            "{" + std::to_string(foreground) + "/" + std::to_string(background) + "}";
        Write(mark.data(), static_cast<int>(mark.size()));
    }

    std::vector<std::string> Messages() {
        Quorlix::CriticalSectionLock lock(m_Section);
        return m_Messages;
    }
    std::string Text() {
        Quorlix::CriticalSectionLock lock(m_Section);
        return m_Text;
    }

private:
    void EndMessage() {
        if (m_Current.empty())
            return;
        if (m_Current.back() == '\n')
            m_Current.pop_back();
        m_Messages.push_back(m_Current);
        m_Current.clear();
    }

    Quorlix::CriticalSection m_Section;
    bool m_RecordColors;
    int m_Depth = 0;
    std::string m_Current;
    std::string m_Text;
    std::vector<std::string> m_Messages;
};

CapturePipe& PipeOf(const Quorlix::Obj<Quorlix::StreamPipe>& pipe) {
    return static_cast<CapturePipe&>(*pipe);
}

} // namespace

LogCapture::LogCapture(Quorlix::LogStream& stream, unsigned format, bool recordColors)
    : m_Stream(stream), m_Previous(stream.GetStreamPipe()),
      m_PreviousFormat(Quorlix::LogStream::SetLogFormat(format)),
      m_Pipe(Quorlix::NewObject<CapturePipe>(recordColors)) {
    m_Stream.SetStreamPipe(m_Pipe);
}

LogCapture::~LogCapture() {
    m_Stream.SetStreamPipe(m_Previous);
    Quorlix::LogStream::SetLogFormat(m_PreviousFormat);
}

std::vector<std::string> LogCapture::Messages() const {
    return PipeOf(m_Pipe).Messages();
}

std::string LogCapture::Text() const {
    return PipeOf(m_Pipe).Text();
}

} // namespace QuorlixTest
