#pragma once
// A line of text in a fixed buffer: what the crash report formats in, since it may not allocate
// or lock. Text beyond the capacity is dropped; the buffer stays terminated.

#include <cstddef>
#include <cstdint>

namespace Quorlix::Internal {

template <size_t N>
class FixedText {
public:
    const char* Text() const noexcept { return m_Text; }
    size_t Length() const noexcept { return m_Length; }
    void Clear() noexcept { m_Length = 0, m_Text[0] = '\0'; }

    FixedText& Add(char c) noexcept {
        if (m_Length + 1 < N) {
            m_Text[m_Length++] = c;
            m_Text[m_Length] = '\0';
        }
        return *this;
    }
    FixedText& Add(const char* text) noexcept {
        while (text != nullptr && *text != '\0')
            Add(*text++);
        return *this;
    }
    FixedText& AddDecimal(uint64_t value) noexcept {
        char digits[24];
        int count = 0;
        do
            digits[count++] = static_cast<char>('0' + value % 10);
        while ((value /= 10) != 0);
        while (count > 0)
            Add(digits[--count]);
        return *this;
    }
    /// Upper case, no leading zeros ("0" for 0).
    FixedText& AddHex(uint64_t value) noexcept {
        char digits[16];
        int count = 0;
        do
            digits[count++] = "0123456789ABCDEF"[value & 15];
        while ((value >>= 4) != 0);
        while (count > 0)
            Add(digits[--count]);
        return *this;
    }
    /// `length` bytes of `text` in double quotes with the stream's C escapes (Stream::pQuotedC).
    FixedText& AddQuotedC(const char* text, size_t length) noexcept {
        Add('"');
        for (size_t i = 0; i < length; ++i) {
            const auto c = static_cast<unsigned char>(text[i]);
            const char* escape = nullptr;
            switch (c) {
            case '\b':
                escape = "\\b";
                break;
            case '\t':
                escape = "\\t";
                break;
            case '\n':
                escape = "\\n";
                break;
            case '\f':
                escape = "\\f";
                break;
            case '\r':
                escape = "\\r";
                break;
            case '"':
                escape = "\\\"";
                break;
            case '\'':
                escape = "\\'";
                break;
            case '\\':
                escape = "\\\\";
                break;
            default:
                break;
            }
            if (escape != nullptr)
                Add(escape);
            else if (c < 32 || c > 126)
                Add("\\x").Add("0123456789ABCDEF"[c >> 4]).Add("0123456789ABCDEF"[c & 15]);
            else
                Add(static_cast<char>(c));
        }
        return Add('"');
    }

private:
    char m_Text[N] = {};
    size_t m_Length = 0;
};

} // namespace Quorlix::Internal
