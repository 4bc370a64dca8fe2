#pragma once
// What the process learns about its surroundings: environment variables, the text of system
// error numbers, and whether a debugger watches it.

#include <string>

namespace Quorlix::Platform {

/// Whether the environment variable `name` is set (an empty value counts as set).
bool HasEnvironmentVariable(const char* name);
/// The value of `name`, or "" when it is not set.
std::string GetEnvironmentVariable(const char* name);

/// The system's message for error number `error` (errno values), in the neutral "C" wording,
/// at most 4000 characters. Unknown numbers give the system's "Unknown error" text.
std::string SystemErrorText(int error);

/// Whether a debugger (any tracer) is attached to the process.
bool IsDebuggerAttached();
/// Stops in the debugger when one is attached (SIGTRAP); does nothing otherwise, so an
/// assertion report never ends a process that runs without one.
void BreakIntoDebugger();

} // namespace Quorlix::Platform
