#pragma once
// The process's standard output and error as raw byte sinks.

#include <cstddef>

namespace Quorlix::Platform {

/// Writes all bytes (retrying short writes); false when the stream is closed or fails.
bool WriteStandardOutput(const char* bytes, size_t length) noexcept;
bool WriteStandardError(const char* bytes, size_t length) noexcept;

} // namespace Quorlix::Platform
