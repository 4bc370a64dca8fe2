#pragma once
// The minimal diagnostic sink of the modules below the log (core, stream). They hand whole
// message lines to Report; the log module installs the sink that writes them to Xerr with the
// level's prefix. Until a sink is installed, reports are discarded, as the log streams discard
// their output before they get pipes.

#include "quorlix/platform/Export.h"

#include <cstddef>

namespace Quorlix {

/// The levels of the log's level locks, in order of severity.
enum class ReportLevel : int { Debug, Info, Note, Warn, Error, Fatal };

/// Receives one message: `text` holds `length` bytes, usually ending in a line feed. Called on
/// the reporting thread; must not throw.
using ReportSink = void (*)(ReportLevel level, const char* text, size_t length) noexcept;

/// Installs `sink` (null removes it) and returns the previous one. Thread-safe.
QUORLIX_API ReportSink SetReportSink(ReportSink sink) noexcept;

/// Hands one message to the installed sink. A report made while the same thread is already
/// inside the sink (the sink's own failure) goes to standard error instead. Thread-safe.
QUORLIX_API void Report(ReportLevel level, const char* text, size_t length) noexcept;
/// Report of a NUL-terminated text with a line feed appended.
QUORLIX_API void ReportLine(ReportLevel level, const char* text) noexcept;

} // namespace Quorlix
