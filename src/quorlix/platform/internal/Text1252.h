#pragma once
// Windows-1252 bytes to and from UTF-8, where the library's text meets SDL.

#include <string>

namespace Quorlix::Internal {

/// `text` (Windows-1252; null reads as "") as UTF-8. The code page's gaps become '?'.
std::string Windows1252ToUtf8(const char* text);
/// The Unicode code point of one Windows-1252 byte; 0 for the code page's gaps (0x81, 0x8D,
/// 0x8F, 0x90, 0x9D).
char32_t Windows1252CodePoint(unsigned char byte);
/// `text` (UTF-8) as Windows-1252 bytes; characters the code page lacks, and malformed
/// sequences, become `missing` ('\0': they are dropped).
std::string Utf8ToWindows1252(const char* text, char missing = '?');

} // namespace Quorlix::Internal
