#pragma once
// Diagnostics of the pipes. Until the levelled log streams exist, warnings go out as debug lines;
// the logging layer takes these functions over.

#include "quorlix/core/String.h"

namespace Quorlix::Detail {

/// Writes one warning message (the line feed is added).
void LogPipeWarning(const String& text);

/// The break-signal report: "[BREAK SIGNAL]" and a line feed on standard error, then sets
/// G_SIGABORT. Async-signal-safe: it runs inside the signal handler.
void LogBreakSignal() noexcept;

/// `length` bytes of `text` (-1: up to its NUL) in C notation: printable bytes as they are,
/// \b \t \n \f \r, both quote characters and the backslash escaped, every other byte as \xHH.
/// `quote` (unless 0) goes before and after; a null text reads "(NULL)".
String QuoteC(const char* text, int length, char quote);

} // namespace Quorlix::Detail
