#include "quorlix/platform/internal/Text1252.h"

#include <cstdint>

namespace Quorlix::Internal {

namespace {

// Code points of the bytes 0x80 to 0x9F in Windows-1252; 0 where the code page has a gap.
constexpr char16_t k_Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char ToWindows1252(uint32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code < 0x100))
        return static_cast<char>(code);
    for (int i = 0; i < 32; ++i)
        if (k_Windows1252High[i] != 0 && k_Windows1252High[i] == code)
            return static_cast<char>(0x80 + i);
    return '\0'; // not in the code page
}

} // namespace

char32_t Windows1252CodePoint(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0)
        return k_Windows1252High[byte - 0x80];
    return byte;
}

std::string Windows1252ToUtf8(const char* text) {
    std::string out;
    if (text == nullptr)
        return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
        unsigned code = *p;
        if (code >= 0x80 && code < 0xA0)
            code = k_Windows1252High[code - 0x80] != 0 ? k_Windows1252High[code - 0x80] : '?';
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string Utf8ToWindows1252(const char* text, char missing) {
    std::string out;
    if (text == nullptr)
        return out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        const unsigned lead = *p++;
        int extra = 0;
        uint32_t code = lead;
        if (lead >= 0xF0 && lead < 0xF8) {
            extra = 3;
            code = lead & 0x07;
        } else if (lead >= 0xE0) {
            extra = lead < 0xF0 ? 2 : -1;
            code = lead & 0x0F;
        } else if (lead >= 0xC0) {
            extra = 1;
            code = lead & 0x1F;
        } else if (lead >= 0x80) {
            extra = -1; // a continuation byte without its lead
        }
        bool valid = extra >= 0;
        for (int i = 0; valid && i < extra; ++i) {
            if ((*p & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            code = (code << 6) | (*p++ & 0x3F);
        }
        // A NUL cannot come from text; decoded from an overlong form it is malformed too.
        const char byte = valid ? ToWindows1252(code) : '\0';
        if (byte != '\0')
            out += byte;
        else if (missing != '\0')
            out += missing;
    }
    return out;
}

} // namespace Quorlix::Internal
