#pragma once
// The error stream of the core runtime before the logging layer is up: single diagnostic lines
// such as "NilBlockDestruct: return.". Lines go to standard error unless a sink is installed.

namespace Quorlix {

/// Writes `text` and a line feed as one debug line. Thread-safe; never allocates.
void WriteDebugLine(const char* text) noexcept;

/// Receives each debug line without its line feed.
using DebugLineSink = void (*)(const char* text);

/// Installs `sink` (null restores standard error) and returns the previous one.
DebugLineSink SetDebugLineSink(DebugLineSink sink) noexcept;

} // namespace Quorlix
