#pragma once
// Library-wide state of the loaded library.

namespace Quorlix {

/// Set to 1 by the crash handler.
extern int G_SIGCRASH;
/// Set to 1 when the break signal (SIGINT) arrives on a console pipe's handler.
extern int G_SIGABORT;

} // namespace Quorlix
