#pragma once
// The process's standard output and error as raw byte sinks.

#include "quorlix/platform/Export.h"

#include <cstddef>

namespace Quorlix::Platform {

/// Writes all bytes (retrying short writes); false when the stream is closed or fails.
QUORLIX_API bool WriteStandardOutput(const char* bytes, size_t length) noexcept;
QUORLIX_API bool WriteStandardError(const char* bytes, size_t length) noexcept;

} // namespace Quorlix::Platform
