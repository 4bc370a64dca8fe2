#pragma once
// Thread tracing: a flight recorder of the last 256 trace points (enter, position, leave) of
// each traced thread, printed as an indented call picture when something goes wrong. The
// tables are static and recording takes no lock and allocates nothing, so trace points may sit
// in per-frame code and the crash handler can still print them.
//
// Every text passed here must stay valid for as long as it may be printed (string literals).

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// Enables tracing for the calling thread (at most 32 threads at once) and records an enter
/// point `name`.
QUORLIX_API void NewTrace(const char* name);
/// Records a leave point `name` and disables tracing for the calling thread.
QUORLIX_API void EndTrace(const char* name);

/// Record an enter, position or leave point of the calling thread. A thread without tracing
/// gets an "Unexpected Trace from" line instead.
QUORLIX_API void TraceTop_(const char* text);
QUORLIX_API void TracePos_(const char* text);
QUORLIX_API void TraceEnd_(const char* text);

/// Prints the ring of every traced thread to Xerr, oldest point first; sleeps one second
/// afterwards when anything was printed, so that a console stays readable.
QUORLIX_API void CheckTrace(const char* caller);

/// Two texts the host registers for the crash report (for example the current level name).
QUORLIX_API void TraceGlobal1_(const void* text);
QUORLIX_API const void* GetTraceGlobal1_();
QUORLIX_API void TraceGlobal2_(const void* text);
QUORLIX_API const void* GetTraceGlobal2_();

} // namespace Quorlix
