#pragma once
// The value of one hexadecimal digit in either case.

namespace Quorlix::Internal {

/// 0 to 15 for '0'-'9', 'A'-'F' and 'a'-'f'; -1 for anything else (-1 and -2 from a pipe
/// included).
constexpr int HexDigitValue(int c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace Quorlix::Internal
