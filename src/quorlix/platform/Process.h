#pragma once
// What the process learns about its surroundings: environment variables, the text of system
// error numbers, and whether a debugger watches it.

#include "quorlix/platform/Export.h"

#include <string>

namespace Quorlix::Platform {

/// Whether the environment variable `name` is set (an empty value counts as set).
QUORLIX_API bool HasEnvironmentVariable(const char* name);
/// The value of `name`, or "" when it is not set.
QUORLIX_API std::string GetEnvironmentVariable(const char* name);

/// The system's message for error number `error` (errno values), in the neutral "C" wording,
/// at most 4000 characters. Unknown numbers give the system's "Unknown error" text.
QUORLIX_API std::string SystemErrorText(int error);

/// Whether a debugger (any tracer) is attached to the process.
QUORLIX_API bool IsDebuggerAttached();
/// Stops in the debugger when one is attached (SIGTRAP); does nothing otherwise, so an
/// assertion report never ends a process that runs without one.
QUORLIX_API void BreakIntoDebugger();

} // namespace Quorlix::Platform
