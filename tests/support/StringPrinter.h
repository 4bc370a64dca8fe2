#pragma once
// Lets GoogleTest print library strings in failure messages as quoted text.

#include "quorlix/core/String.h"

#include <cstdio>
#include <ostream>

namespace Quorlix {

inline void PrintTo(const String& text, std::ostream* out) {
    *out << '"';
    for (int i = 0; i < text.Size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            *out << static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            *out << escaped;
        }
    }
    *out << '"';
}

} // namespace Quorlix
