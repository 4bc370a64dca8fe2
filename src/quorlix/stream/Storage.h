#pragma once
// The one entry point through which the library opens files by name. A name may lead into an
// archive file (".kxp" or ".KXP" followed by '/') and may list alternatives in one group of
// braces, "data/{hi;lo}/tex.png", of which the first that opens is used.
//
// Each thread keeps its own read and write path for callers that build full names from them;
// Storage itself never prepends them. Archives are opened once per process and kept in a cache
// until ExitStorage(1); every thread may open streams at once.

#include "quorlix/core/Array.h"
#include "quorlix/core/Result.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

class QUORLIX_API Storage {
public:
    /// OpenStream mode bit: no note when no candidate opens.
    static constexpr unsigned k_QuietNotFound = 0x10000000;
    /// Limits of the multipart expansion; a path past them is invalid. They keep a hostile name
    /// from taking unbounded time or memory.
    static constexpr int k_MaxMultipartDepth = 64;
    static constexpr int k_MaxMultipartCandidates = 4096;
    static constexpr int k_MaxMultipartBytes = 1 << 20;

    /// The calling thread's paths: empty, or ending in '/'.
    static String GetReadPath();
    static String GetWritePath();
    /// Store the path with '\' turned into '/' and a '/' appended when missing. A read path
    /// that differs from the current one is logged at information level. Always succeed.
    [[nodiscard]] static Result SetReadPath(const StringRef& path);
    [[nodiscard]] static Result SetWritePath(const StringRef& path);

    /// A pipe on `path`; never null. With a write or create bit (0x2, 0x4, 0x8) the file is
    /// opened as asked (IOUnbuffered for the plain file pipe). For reading, each candidate of
    /// the multipart expansion is tried in order, in an archive when it names one, and the
    /// first that opens is returned. Failure gives the null pipe singleton and a log line
    /// (the not-found note is left out with k_QuietNotFound).
    static StreamPipe* OpenStream(const StringRef& path, unsigned mode);
    /// A local file name under which the content of `path` can be opened by code that needs a
    /// real file. A path into an archive is copied to a new temporary file ("~KXP..." in
    /// $TMPDIR) whose name is returned; the caller deletes it. Other paths, and archive paths
    /// that cannot be opened or copied, come back unchanged.
    static String OpenFileLocal(const StringRef& path, unsigned mode);

    /// The candidates of a multipart path, in the order they are tried. A path without '{' is
    /// its own candidate. Otherwise the first '{' and the last '}' enclose one group whose
    /// alternatives, separated by ';' outside nested braces, are each put between the text
    /// before and after the group and expanded again. False (with `candidates` emptied) for a
    /// '{' without a later '}', two separate groups, unbalanced braces, or a path past the
    /// limits above.
    static bool ExpandMultipartPath(const StringRef& path, Array<String>& candidates);
};

/// Releases the calling thread's paths; with `all` non-zero also every cached archive (pipes
/// already handed out stay valid). Library shut-down calls it.
QUORLIX_API void ExitStorage(int all);

} // namespace Quorlix
