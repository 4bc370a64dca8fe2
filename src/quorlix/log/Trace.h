#pragma once
// Thread tracing: a flight recorder of the last 256 trace points (enter, position, leave) of
// each traced thread, printed as an indented call picture when something goes wrong. The
// tables are static and recording takes no lock and allocates nothing, so trace points may sit
// in per-frame code and the crash handler can still print them.
//
// Every text passed here must stay valid for as long as it may be printed (string literals).

namespace Quorlix {

/// Enables tracing for the calling thread (at most 32 threads at once) and records an enter
/// point `name`.
void NewTrace(const char* name);
/// Records a leave point `name` and disables tracing for the calling thread.
void EndTrace(const char* name);

/// Record an enter, position or leave point of the calling thread. A thread without tracing
/// gets an "Unexpected Trace from" line instead.
void TraceTop_(const char* text);
void TracePos_(const char* text);
void TraceEnd_(const char* text);

/// Prints the ring of every traced thread to Xerr, oldest point first; sleeps one second
/// afterwards when anything was printed, so that a console stays readable.
void CheckTrace(const char* caller);

/// Two texts the host registers for the crash report (for example the current level name).
void TraceGlobal1_(const void* text);
const void* GetTraceGlobal1_();
void TraceGlobal2_(const void* text);
const void* GetTraceGlobal2_();

} // namespace Quorlix
