#pragma once
// The library's life in the process: the counted initialisation that the host and the
// library's own threads call around their use of it, the self-checks on its file name and on
// duplicated sibling modules, and the crash report.
//
// Loading the library records its load address and path (DLLGetModule). The first
// DLLInitialize writes "DLLInitialize() ver=F010219x ...", installs the crash handler,
// registers the unload routine (atexit), checks the library's file name and builds the class
// tables; the last DLLDeInitialize shuts storage down, deletes the class tables, releases the
// log console and removes the crash handler. At unload the routine writes "[DETACH 0x.../0x...]",
// "[DLLInitializeCount!=0]" and "[SIGCRASH]" where they apply, reports the threads still
// traced (unless a break or crash was seen), then "[OnExit]", and closes the log streams.

#include "quorlix/core/Module.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class Stream;

/// Counted initialisation; only the first call does the work. `attach` non-zero says the call
/// comes from the library's load notification: when the library is already initialised, that is
/// reported on the error level with the consoles forced on and a two-second pause. Thread-safe
/// (the library lock); a second thread waits until the first has finished registering.
QUORLIX_API void DLLInitialize(int attach);
/// Counted de-initialisation; only the last call does the work, the others release what the
/// calling thread holds in storage. `detach` non-zero says the call comes from the unload
/// notification: while other users remain that is reported with a three-second pause. An
/// unmatched call keeps the count at 0, so the next DLLInitialize initialises again.
QUORLIX_API void DLLDeInitialize(int detach);
/// The number of DLLInitialize calls not yet matched.
QUORLIX_API int DLLGetInitializeCount();

/// 0 when the library's path contains the version tag "010219"; otherwise the EFail returned by
/// LogMsg "The internal library version (010219) differs from the library DLL name.".
QUORLIX_API int DLLDetectVersionMismatch();
/// The same check on any path.
QUORLIX_API int DetectVersionMismatchOfPath(const char* path);

/// Searches the directories of LD_LIBRARY_PATH and then "./" for the sibling modules
/// libQuorlix010219.so, libQuorlix010219SOUNDDX3.so, libQuorlix010219SOUNDDX8.so and
/// libQuorlix010219IM.so (bits 0 to 3). Returns the mask of those found; bit 31 (a negative
/// result) when one exists twice with different write times, which with `report` is also
/// reported through LogMsg (EAmbiguous) naming each such file. 0 when LD_LIBRARY_PATH is unset
/// or empty.
QUORLIX_API int DLLDetectAmbiguousLibraries(bool report);

/// Writes "DLL: \"path\": 1.2.19.0 1.2.19.0 dateMS/dateLS." and a line feed under the stream's
/// lock, from the version record in the file `path`. False, writing nothing, for a file without
/// one.
QUORLIX_API bool DumpDLLVersionStructure(Stream& out, const char* path);

/// Sees each start and stop step by name ("CreateMasterCVTBL", ..., "ExitStorage(0)",
/// "ExitStorage(1)", "DeleteMasterCVTBL") just before it runs, for diagnostics and tests. Null
/// removes the observer; returns the previous one. Thread-safe.
using LifecycleObserver = void (*)(const char* step);
QUORLIX_API LifecycleObserver SetLifecycleObserver(LifecycleObserver observer);

} // namespace Quorlix
