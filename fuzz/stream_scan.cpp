// Scanner fuzzer: the input is a short program of scanner calls followed by the text they scan
// from a memory pipe. Every call is checked against the rules: a refusal consumes nothing, what
// was consumed is what the scanner claims to have parsed (checked against an independent
// conversion), and printed values read back as themselves.
//
// Input: byte 0 gives the program length n = byte % 16 + 1, bytes 1..n are the program (one
// call per byte, run round after round), the rest is the text.

#include "quorlix/core/String.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

using namespace Quorlix;

namespace {

#define EXPECT(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "stream_scan: line %d: %s\n", __LINE__, #c), std::abort()))

constexpr int k_MaxSteps = 4096;
const char* const k_Stops[] = {"\n", " ;", "\"", ""};

// The value of an integer token by the standard conversion ('+' is not its business).
template <class T>
T ReferenceInteger(std::string text) {
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT(error == std::errc() && end == text.data() + text.size());
    return value;
}

// The value of a floating-point token: d and D are exponent letters, the sign is taken apart.
double ReferenceDouble(std::string text) {
    for (char& c : text)
        if (c == 'd' || c == 'D')
            c = 'e';
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+'))
        text.erase(0, 1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT(end == text.data() + text.size());
    EXPECT(error == std::errc() || error == std::errc::result_out_of_range);
    if (error == std::errc::result_out_of_range)
        value = 0; // only underflow may pass the scanner
    return negative ? -value : value;
}

// Prints `value`, scans it back and demands the same value and the whole text consumed.
template <class T>
void ExpectReadsBack(T value) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    stream << value;
    stream.Seek(0, SeekBegin);
    T again{};
    EXPECT(stream.s(again) == Stream::ScanOk);
    EXPECT(stream.Read() == -1);
    if constexpr (std::is_floating_point_v<T>)
        EXPECT(std::memcmp(&again, &value, sizeof(T)) == 0 || (again == 0 && value == 0));
    else
        EXPECT(again == value);
}

class Session {
public:
    Session(const uint8_t* data, size_t size) {
        if (size > 0) {
            const size_t length = std::min<size_t>(data[0] % 16 + 1u, size - 1);
            m_Program.assign(data + 1, data + 1 + length);
            m_Text.assign(data + 1 + length, data + size);
        }
        m_Pipe = StreamPipeMemory::Create(m_Text.data(), static_cast<int>(m_Text.size()));
        m_Stream.SetStreamPipe(m_Pipe);
    }

    void Run() {
        if (m_Program.empty())
            return;
        int steps = 0;
        int idle = 0; // steps since the position last moved
        for (size_t pc = 0; steps < k_MaxSteps && idle <= static_cast<int>(m_Program.size());
             ++steps, pc = (pc + 1) % m_Program.size()) {
            const int before = m_Pipe->GetPosition();
            Step(static_cast<uint8_t>(m_Program[pc]));
            idle = m_Pipe->GetPosition() == before ? idle + 1 : 0;
        }
    }

private:
    // What the last call consumed.
    std::string Consumed(int before) const {
        return m_Text.substr(static_cast<size_t>(before),
                             static_cast<size_t>(m_Pipe->GetPosition() - before));
    }

    template <class T>
    void Integer() {
        const int before = m_Pipe->GetPosition();
        T value = 42;
        const Stream::ScanResult result = m_Stream.s(value);
        if (result != Stream::ScanOk) {
            EXPECT(result == Stream::ScanNoMatch || result == Stream::ScanError);
            EXPECT(m_Pipe->GetPosition() == before && value == 42);
            return;
        }
        const std::string token = Consumed(before);
        EXPECT(!token.empty());
        EXPECT(ReferenceInteger<T>(token) == value);
        const int next = m_Stream.Peek();
        EXPECT(next < '0' || next > '9');
        ExpectReadsBack(value);
    }

    template <class T>
    void Floating() {
        const int before = m_Pipe->GetPosition();
        T value = 42;
        const Stream::ScanResult result = m_Stream.s(value);
        if (result != Stream::ScanOk) {
            EXPECT(result == Stream::ScanNoMatch || result == Stream::ScanError);
            EXPECT(m_Pipe->GetPosition() == before && value == 42);
            return;
        }
        const std::string token = Consumed(before);
        EXPECT(!token.empty() && token.size() < 255);
        EXPECT(std::isfinite(value));
        const double reference = ReferenceDouble(token);
        if constexpr (std::is_same_v<T, double>) {
            EXPECT(value == reference);
            ExpectReadsBack(value);
        } else {
            // The float is the double rounded, with the values just past FLT_MAX kept on it.
            const float rounded = std::fabs(reference) > std::numeric_limits<float>::max()
                                      ? std::copysign(std::numeric_limits<float>::max(),
                                                      static_cast<float>(reference))
                                      : static_cast<float>(reference);
            EXPECT(value == rounded);
        }
    }

    void Space(bool anyWhiteSpace) {
        const int before = m_Pipe->GetPosition();
        const Stream::ScanResult result = anyWhiteSpace ? m_Stream.sWSTSCRLF() : m_Stream.sWS();
        const std::string skipped = Consumed(before);
        const auto isSpace = [&](int c) {
            return c == ' ' || (anyWhiteSpace && (c == '\t' || c == '\r' || c == '\n'));
        };
        EXPECT((result == Stream::ScanOk) == !skipped.empty());
        EXPECT(result == Stream::ScanOk || result == Stream::ScanNoMatch);
        for (char c : skipped)
            EXPECT(isSpace(c));
        EXPECT(!isSpace(m_Stream.Peek()));
    }

    void Text(const char* stops) {
        const int before = m_Pipe->GetPosition();
        String out("old");
        const Stream::ScanResult result = m_Stream.sString(out, stops);
        const std::string read = Consumed(before);
        EXPECT(read == std::string(out.GetCPtr(), static_cast<size_t>(out.Size())));
        for (char c : read)
            EXPECT(c != 0 && std::strchr(stops, c) == nullptr);
        const int next = m_Stream.Peek();
        if (result == Stream::ScanOk)
            EXPECT(next == 0 || (next > 0 && std::strchr(stops, next) != nullptr));
        else
            EXPECT(result == Stream::ScanEnd && next == -1);
    }

    void Quoted(char quote) {
        const int before = m_Pipe->GetPosition();
        String out("old");
        const Stream::ScanResult result = m_Stream.sStringQuotedC(out, quote);
        if (result != Stream::ScanOk) {
            // Only a bad escape, found while reading, leaves anything consumed.
            EXPECT(result == Stream::ScanNoMatch);
            EXPECT(out == "old");
            EXPECT(m_Pipe->GetPosition() == before ||
                   Consumed(before).find('\\') != std::string::npos);
            return;
        }
        const std::string token = Consumed(before);
        EXPECT(token.size() >= 2 && token.front() == quote && token.back() == quote);
        // Quoting the result again gives text that reads back as the same bytes.
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        Stream stream(pipe);
        stream.pQuotedC(out, quote);
        stream.Seek(0, SeekBegin);
        String again;
        EXPECT(stream.sStringQuotedC(again, quote) == Stream::ScanOk);
        EXPECT(again == out && stream.Read() == -1);
    }

    void Step(uint8_t op) {
        switch (op % 11) {
        case 0:
            Integer<int>();
            break;
        case 1:
            Integer<int64_t>();
            break;
        case 2:
            Integer<unsigned>();
            break;
        case 3:
            Integer<uint64_t>();
            break;
        case 4:
            Floating<double>();
            break;
        case 5:
            Floating<float>();
            break;
        case 6:
            Space(false);
            break;
        case 7:
            Space(true);
            break;
        case 8:
            Text(k_Stops[(op >> 4) % 4]);
            break;
        case 9:
            Quoted((op & 0x10) != 0 ? '\'' : '"');
            break;
        default:
            m_Stream.Skip(1 + (op >> 4));
            break; // past what no scanner takes
        }
    }

    std::string m_Program;
    std::string m_Text;
    Obj<StreamPipeMemory> m_Pipe;
    Stream m_Stream{nullptr};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Session(data, size).Run();
    return 0;
}
