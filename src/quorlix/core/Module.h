#pragma once
// The library's identity in the process: its load address and path, recorded when it is
// loaded, and the flags that the crash handler and the break signal set.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// Set to 1 by the crash handler.
extern QUORLIX_API int G_SIGCRASH;
/// Set to 1 when the break signal (SIGINT) arrives on a console pipe's handler; reset when the
/// library is loaded.
extern QUORLIX_API int G_SIGABORT;

/// The library's load address (its module handle), recorded when it was loaded.
QUORLIX_API void* DLLGetModule();
/// The library's own file path as recorded at load ("" when it could not be found).
QUORLIX_API const char* DLLGetModulePath();
/// G_SIGCRASH: 1 after a crash report.
QUORLIX_API int DLLGetCrashStatus();

} // namespace Quorlix
