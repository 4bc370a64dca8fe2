#pragma once
// The one assertion macro for programming errors. Its message starts with the qualified name
// of the function that detected the error ("String::Insert: position out of range"). Active in
// every build: a broken invariant ends the process with a report instead of corrupting data.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// Reports a failed assertion on standard error and through the report sink, and aborts.
[[noreturn]] QUORLIX_API void AssertionFailed(const char* message, const char* file,
                                              int line) noexcept;

} // namespace Quorlix

#define QUORLIX_ASSERT(condition, message)                                                         \
    do {                                                                                           \
        if (!(condition)) [[unlikely]]                                                             \
            ::Quorlix::AssertionFailed(message, __FILE__, __LINE__);                               \
    } while (0)
