#include "quorlix/stream/Stream.h"

#include "quorlix/core/internal/HexDigit.h"
#include "quorlix/stream/StreamPipeFile.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/stream/StreamPipeNull.h"

#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

namespace Quorlix {

namespace {

constexpr char k_HexDigits[] = "0123456789ABCDEF";
// A number token of this many characters or more is refused by the floating-point scanners.
constexpr int k_MaxNumberToken = 255;

bool IsDigit(int c) noexcept {
    return c >= '0' && c <= '9';
}

// Texts longer than a pipe count are written in pieces.
void WriteBytes(StreamPipe& pipe, const char* bytes, size_t n) {
    while (n > 0) {
        const int piece = n > INT_MAX ? INT_MAX : static_cast<int>(n);
        pipe.Write(bytes, piece);
        bytes += piece;
        n -= static_cast<size_t>(piece);
    }
}

template <class T>
void WriteInteger(StreamPipe& pipe, T value) {
    // to_chars works on the magnitude, so the most negative value prints too.
    char text[24];
    const char* end = std::to_chars(text, text + sizeof(text), value).ptr;
    pipe.Write(text, static_cast<int>(end - text));
}

// The "%.*g" text of `value`, always with '.' (to_chars ignores the locale), plus a "." when
// the text would otherwise read as an integer.
template <class T>
void WriteFloat(StreamPipe& pipe, T value, int precision) {
    if (std::isnan(value)) {
        pipe.Write("nan", 3);
        return;
    }
    if (std::isinf(value)) {
        pipe.Write(value < 0 ? "-inf" : "inf", value < 0 ? 4 : 3);
        return;
    }
    char text[40]; // sign, 18 digits, point, "e-308"
    char* end =
        std::to_chars(text, text + sizeof(text) - 1, value, std::chars_format::general, precision)
            .ptr;
    bool marked = false;
    for (const char* p = text; p < end; ++p)
        if (*p == '.' || *p == 'e') {
            marked = true;
            break;
        }
    if (!marked)
        *end++ = '.';
    pipe.Write(text, static_cast<int>(end - text));
}

template <class U>
int FormatHex(char* end, U value, int width) {
    char* p = end;
    do {
        *--p = k_HexDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (end - p < width)
        *--p = '0';
    return static_cast<int>(end - p);
}

// Looks ahead over an optional sign and decimal digits whose magnitude may not exceed `limit`
// (`negativeLimit` after a '-'). Consumes nothing.
template <class U>
Stream::ScanResult PeekInteger(StreamPipe& pipe, bool allowMinus, U limit, U negativeLimit,
                               U& magnitude, bool& negative, int& length) {
    int at = 0;
    int c = pipe.PeekAt(0);
    negative = false;
    if (c == '+' || (allowMinus && c == '-')) {
        negative = c == '-';
        c = pipe.PeekAt(++at);
    }
    if (c == -2)
        return Stream::ScanError;
    if (!IsDigit(c))
        return Stream::ScanNoMatch;
    const U max = negative ? negativeLimit : limit;
    U value = 0;
    do {
        const U digit = static_cast<U>(c - '0');
        if (value > (max - digit) / 10 || at == INT_MAX)
            return Stream::ScanError;
        value = value * 10 + digit;
        c = pipe.PeekAt(++at);
    } while (IsDigit(c));
    // The digits may go on where the pipe cannot see.
    if (c == -2)
        return Stream::ScanError;
    magnitude = value;
    length = at;
    return Stream::ScanOk;
}

template <class T>
Stream::ScanResult ScanSigned(StreamPipe& pipe, T& value) {
    using U = std::make_unsigned_t<T>;
    constexpr U limit = static_cast<U>(std::numeric_limits<T>::max());
    U magnitude;
    bool negative;
    int length;
    const Stream::ScanResult result =
        PeekInteger<U>(pipe, true, limit, limit + 1, magnitude, negative, length);
    if (result != Stream::ScanOk)
        return result;
    pipe.Skip(length);
    value = static_cast<T>(negative ? U{0} - magnitude : magnitude);
    return Stream::ScanOk;
}

template <class U>
Stream::ScanResult ScanUnsigned(StreamPipe& pipe, U& value) {
    constexpr U limit = std::numeric_limits<U>::max();
    U magnitude;
    bool negative;
    int length;
    const Stream::ScanResult result =
        PeekInteger<U>(pipe, false, limit, limit, magnitude, negative, length);
    if (result != Stream::ScanOk)
        return result;
    pipe.Skip(length);
    value = magnitude;
    return Stream::ScanOk;
}

// Whether a number that from_chars found out of range is huge rather than tiny: the position
// of its first significant digit plus its exponent says which side of 1 it lies on.
bool IsHuge(const char* text, const char* end) {
    const char* p = text;
    int lead = 0; // decimal position of the first significant digit
    bool seenDigit = false, seenPoint = false;
    for (; p < end && *p != 'e'; ++p) {
        if (*p == '.') {
            seenPoint = true;
        } else if (*p != '0' || seenDigit) {
            seenDigit = true;
            if (!seenPoint)
                ++lead;
        } else if (seenPoint) {
            --lead;
        }
    }
    long exponent = 0;
    if (p < end) {
        ++p;
        const bool minus = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+'))
            ++p;
        // Saturates: anything past a few thousand is out of range either way.
        for (; p < end; ++p)
            if (exponent < 100000)
                exponent = exponent * 10 + (*p - '0');
        if (minus)
            exponent = -exponent;
    }
    return lead + exponent > 0;
}

// Looks ahead over a floating-point token and converts it. Consumes nothing.
Stream::ScanResult PeekDouble(StreamPipe& pipe, double& value, int& length) {
    char text[k_MaxNumberToken];
    int n = 0;
    int c = pipe.PeekAt(0);
    const bool negative = c == '-';
    if (c == '+' || c == '-')
        c = pipe.PeekAt(++n);
    if (c == -2)
        return Stream::ScanError;
    if (!IsDigit(c) && c != '.')
        return Stream::ScanNoMatch;
    const int start = n;
    bool point = false, exponent = false;
    for (;;) {
        if (IsDigit(c)) {
        } else if (c == '.' && !point && !exponent) {
            point = true;
        } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && !exponent) {
            exponent = true;
            c = 'e'; // d and D are exponent letters of old Fortran-style text
        } else if ((c == '+' || c == '-') && n > start && text[n - 1] == 'e') {
        } else {
            break;
        }
        if (n == k_MaxNumberToken - 1)
            return Stream::ScanError;
        text[n] = static_cast<char>(c);
        c = pipe.PeekAt(++n);
    }
    if (c == -2)
        return Stream::ScanError;
    // from_chars takes no '+' in front, and the sign is not part of the magnitude anyway.
    double magnitude = 0;
    const auto [end, error] =
        std::from_chars(text + start, text + n, magnitude, std::chars_format::general);
    if (end != text + n || error == std::errc::invalid_argument)
        return Stream::ScanNoMatch;
    if (error == std::errc::result_out_of_range) {
        if (IsHuge(text + start, text + n))
            return Stream::ScanError;
        magnitude = 0; // below the smallest subnormal
    }
    value = negative ? -magnitude : magnitude;
    length = n;
    return Stream::ScanOk;
}

Stream::ScanResult SkipSpace(StreamPipe& pipe, bool anyWhiteSpace) {
    bool skipped = false;
    for (;;) {
        const int c = pipe.Peek();
        if (c == -2 && !skipped)
            return Stream::ScanError;
        const bool space = c == ' ' || (anyWhiteSpace && (c == '\t' || c == '\r' || c == '\n'));
        // A pipe that shows a byte but cannot skip it must not hold us here.
        if (!space || pipe.Skip(1) != 1)
            break;
        skipped = true;
    }
    return skipped ? Stream::ScanOk : Stream::ScanNoMatch;
}

} // namespace

Stream::Stream(StreamPipe* pipe)
    : m_Pipe(pipe != nullptr ? pipe : StreamPipeNull::GetSingleton()) {}

Stream::Stream(const char* path, unsigned mode)
    : m_Pipe((mode & IOUnbuffered) != 0
                 ? static_cast<StreamPipe*>(StreamPipeFile::Create(path, mode))
                 : StreamPipeFileCache::Create(path, mode)) {}

void Stream::SetStreamPipe(StreamPipe* pipe) {
    m_Pipe = pipe != nullptr ? pipe : StreamPipeNull::GetSingleton();
}

Stream& Stream::operator<<(int value) {
    WriteInteger(*m_Pipe, value);
    return *this;
}

Stream& Stream::operator<<(int64_t value) {
    WriteInteger(*m_Pipe, value);
    return *this;
}

Stream& Stream::operator<<(unsigned value) {
    WriteInteger(*m_Pipe, value);
    return *this;
}

Stream& Stream::operator<<(uint64_t value) {
    WriteInteger(*m_Pipe, value);
    return *this;
}

Stream& Stream::operator<<(char value) {
    m_Pipe->Write(&value, 1);
    return *this;
}

Stream& Stream::operator<<(const char* text) {
    if (text == nullptr)
        m_Pipe->Write("(NULL)", 6);
    else
        WriteBytes(*m_Pipe, text, std::strlen(text));
    return *this;
}

Stream& Stream::operator<<(const StringRef& text) {
    m_Pipe->Write(text.GetCPtr(), text.Size());
    return *this;
}

Stream& Stream::operator<<(float value) {
    WriteFloat(*m_Pipe, value, 7);
    return *this;
}

Stream& Stream::operator<<(double value) {
    WriteFloat(*m_Pipe, value, 18);
    return *this;
}

Stream& Stream::pMemPtr(const void* address) {
    char text[16];
    const int n = FormatHex(text + sizeof(text), reinterpret_cast<uintptr_t>(address), 0);
    m_Pipe->Write(text + sizeof(text) - n, n);
    return *this;
}

Stream& Stream::pHex(unsigned value, int width) {
    char text[16];
    const int n = FormatHex(text + sizeof(text), value, width < 16 ? width : 16);
    m_Pipe->Write(text + sizeof(text) - n, n);
    return *this;
}

Stream& Stream::pQuotedC(const char* text, int length, char quote) {
    StreamPipe& pipe = *m_Pipe;
    if (quote != 0)
        pipe.Write(&quote, 1);
    if (text == nullptr) {
        pipe.Write("(NULL)", 6);
    } else {
        const size_t n = length == -1 ? std::strlen(text) : (length > 0 ? size_t(length) : 0);
        const auto* bytes = reinterpret_cast<const unsigned char*>(text);
        size_t run = 0; // start of the pending run of plain bytes
        for (size_t i = 0; i < n; ++i) {
            const unsigned char c = bytes[i];
            if (c >= 32 && c <= 126 && c != '"' && c != '\'' && c != '\\')
                continue;
            WriteBytes(pipe, text + run, i - run);
            run = i + 1;
            char escape[4] = {'\\', static_cast<char>(c), 0, 0};
            int size = 2;
            switch (c) {
            case 8:
                escape[1] = 'b';
                break;
            case 9:
                escape[1] = 't';
                break;
            case 10:
                escape[1] = 'n';
                break;
            case 12:
                escape[1] = 'f';
                break;
            case 13:
                escape[1] = 'r';
                break;
            case '"':
            case '\'':
            case '\\':
                break;
            default:
                escape[1] = 'x';
                escape[2] = k_HexDigits[c >> 4];
                escape[3] = k_HexDigits[c & 0xF];
                size = 4;
            }
            pipe.Write(escape, size);
        }
        WriteBytes(pipe, text + run, n - run);
    }
    if (quote != 0)
        pipe.Write(&quote, 1);
    return *this;
}

Stream& Stream::pQuotedC(const StringRef& text, char quote) {
    return pQuotedC(text.GetCPtr(), text.Size(), quote);
}

Stream& Stream::pWS() {
    m_Pipe->Write(" ", 1);
    return *this;
}

Stream& Stream::pCR() {
    m_Pipe->Write("\r", 1);
    return *this;
}

Stream& Stream::pLF() {
    m_Pipe->Write("\n", 1);
    m_Pipe->Flush();
    return *this;
}

Stream& Stream::pCRLF() {
    m_Pipe->Write("\r\n", 2);
    m_Pipe->Flush();
    return *this;
}

Stream& Stream::pFlush() {
    m_Pipe->Flush();
    return *this;
}

Stream& Stream::pLock() {
    m_Pipe->Lock();
    return *this;
}

Stream& Stream::pUnlock() {
    m_Pipe->Unlock();
    return *this;
}

Stream& Stream::pColor(int foreground, int background) {
    m_Pipe->Color(foreground, background);
    return *this;
}

Stream& Stream::pClear() {
    m_Pipe->Clear();
    return *this;
}

Stream::ScanResult Stream::s(int& value) {
    return ScanSigned(*m_Pipe, value);
}

Stream::ScanResult Stream::s(int64_t& value) {
    return ScanSigned(*m_Pipe, value);
}

Stream::ScanResult Stream::s(unsigned& value) {
    return ScanUnsigned(*m_Pipe, value);
}

Stream::ScanResult Stream::s(uint64_t& value) {
    return ScanUnsigned(*m_Pipe, value);
}

Stream::ScanResult Stream::s(double& value) {
    double parsed;
    int length;
    const ScanResult result = PeekDouble(*m_Pipe, parsed, length);
    if (result != ScanOk)
        return result;
    m_Pipe->Skip(length);
    value = parsed;
    return ScanOk;
}

Stream::ScanResult Stream::s(float& value) {
    double parsed;
    int length;
    const ScanResult result = PeekDouble(*m_Pipe, parsed, length);
    if (result != ScanOk)
        return result;
    // Beyond FLT_MAX by less than half a step still rounds to FLT_MAX; the cast of anything
    // further out would be undefined.
    const double magnitude = std::fabs(parsed);
    if (magnitude > FLT_MAX) {
        if (magnitude >= 0x1.ffffffp127)
            return ScanError;
        parsed = parsed < 0 ? -FLT_MAX : FLT_MAX;
    }
    m_Pipe->Skip(length);
    value = static_cast<float>(parsed);
    return ScanOk;
}

Stream::ScanResult Stream::sWS() {
    return SkipSpace(*m_Pipe, false);
}

Stream::ScanResult Stream::sWSTSCRLF() {
    return SkipSpace(*m_Pipe, true);
}

Stream::ScanResult Stream::sString(String& out, const char* stops) {
    StreamPipe& pipe = *m_Pipe;
    bool isStop[256] = {true}; // a NUL in the data always stops
    for (const char* p = stops; p != nullptr && *p != 0; ++p)
        isStop[static_cast<unsigned char>(*p)] = true;
    int n = 0;
    int c;
    while ((c = pipe.PeekAt(n)) >= 0 && !isStop[c]) {
        if (n == INT_MAX - 1) // no String holds more
            return ScanError;
        ++n;
    }
    if (c == -2)
        return ScanError;
    String text;
    if (n > 0) {
        char* chars = text.Allocate(n);
        const int got = ReadFully(pipe, chars, n);
        if (got < n)
            text = String(chars, got);
    }
    out = std::move(text);
    return c == -1 ? ScanEnd : ScanOk;
}

Stream::ScanResult Stream::sStringQuotedC(String& out, char quote) {
    StreamPipe& pipe = *m_Pipe;
    const int q = static_cast<unsigned char>(quote);
    int c = pipe.PeekAt(0);
    if (c == -2)
        return ScanError;
    if (c != q)
        return ScanNoMatch;
    // Find the closing quote and the length of the result first, so that the result is
    // allocated once and nothing is consumed for an unterminated string.
    int at = 1;
    int count = 0;
    for (;;) {
        c = pipe.PeekAt(at);
        if (c == -1)
            return ScanNoMatch;
        if (c == -2)
            return ScanError;
        if (c == q)
            break;
        if (c == '\\') {
            const int next = pipe.PeekAt(at + 1);
            if (next == -2)
                return ScanError;
            at += next == 'x' ? 4 : 2;
        } else {
            at += 1;
        }
        ++count;
        if (at > INT_MAX - 4)
            return ScanError;
    }
    pipe.Read(); // the opening quote
    String text;
    char* chars = count > 0 ? text.Allocate(count) : nullptr;
    for (int i = 0; i < count; ++i) {
        c = pipe.Read();
        if (c == '\\') {
            switch (c = pipe.Read()) {
            case '"':
            case '\'':
            case '\\':
                break;
            case 'b':
                c = 8;
                break;
            case 'f':
                c = 12;
                break;
            case 'n':
                c = 10;
                break;
            case 'r':
                c = 13;
                break;
            case 't':
                c = 9;
                break;
            case 'x': {
                const int high = Internal::HexDigitValue(pipe.Read());
                const int low = Internal::HexDigitValue(pipe.Read());
                if (high < 0 || low < 0)
                    return ScanNoMatch;
                c = high << 4 | low;
                break;
            }
            default:
                return ScanNoMatch;
            }
        } else if (c < 0) {
            return ScanError; // someone else read the pipe since the look-ahead
        }
        chars[i] = static_cast<char>(c);
    }
    pipe.Read(); // the closing quote
    out = std::move(text);
    return ScanOk;
}

String Format(int value, char fill, int width) {
    char digits[16];
    // The magnitude in unsigned arithmetic, so INT_MIN has one.
    const unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : unsigned(value);
    const int count =
        static_cast<int>(std::to_chars(digits, digits + sizeof(digits), magnitude).ptr - digits);
    const int needed = count + (value < 0 ? 1 : 0);
    const int size = width > needed ? width : needed;
    String text;
    char* chars = text.Allocate(size);
    std::memset(chars, fill, static_cast<size_t>(size - count));
    std::memcpy(chars + size - count, digits, static_cast<size_t>(count));
    if (value < 0)
        chars[0] = '-';
    return text;
}

} // namespace Quorlix
