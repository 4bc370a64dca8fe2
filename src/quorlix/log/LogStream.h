#pragma once
// The log streams. Xerr takes errors, warnings and diagnostics (and every LogMsg record), Xout
// normal output, Xnil is a sink that stays on the null pipe. All three exist from static
// construction on and start on the null pipe, so their output is discarded until
// InitLogStreams gives them log pipes with files and consoles.
//
// A message is one level lock (which takes the pipe's lock and writes the line prefix), any
// number of insertions, pLF and pUnlockMessage:
//
//     Xerr.pLockWarn() << "Loader::Open: " << count << " files missing.";
//     Xerr.pLF();
//     Xerr.pUnlockMessage();
//
// Any thread may log; the lock held from the level lock to pUnlockMessage keeps messages of
// different threads from interleaving within a line.

#include "quorlix/platform/Export.h"
#include "quorlix/stream/Stream.h"

namespace Quorlix {

class QUORLIX_API LogStream : public Stream {
public:
    /// Bits of the log format word (see SetLogFormat).
    enum : unsigned {
        FormatBrackets = 0x001,    // the prefix in "[" and "]"
        FormatColors = 0x002,      // colours through the pipe's Color
        FormatLevel = 0x004,       // the level tag
        FormatWholeLevel = 0x008,  // all five characters of the tag, else its first
        FormatTime = 0x010,        // "|" and the UTC time of day "hh:mm:ss.mmm"
        FormatThread = 0x020,      // "|" (after a tag or time) and the thread id in hexadecimal
        FormatThreadBlank = 0x040, // one blank on the thread's colour
        FormatIndent = 0x080,      // two blanks per thread-colour step, then "# "
        FormatAlternate = 0x100,   // every other prefix in the other brightness
        FormatDefault = 0x067,
    };

    /// Null stands for the null pipe singleton.
    explicit LogStream(StreamPipe* pipe) : Stream(pipe) {}

    // Level locks: take the pipe's lock and write the prefix of a Debug, Info, Note, Warn,
    // Error or Fatal line. Each needs its pUnlockMessage on the same thread.
    Stream& pLockDebug();
    Stream& pLockInfo();
    Stream& pLockNote();
    Stream& pLockWarn();
    Stream& pLockError();
    Stream& pLockFatal();
    /// Restores colour 7 on black when colours are on, then releases the pipe's lock.
    Stream& pUnlockMessage();

    /// Stores a new format word for every log stream and returns the old one (default 0x67).
    static unsigned SetLogFormat(unsigned format);

private:
    Stream& LockWithPrefix(int level);
};

extern QUORLIX_API LogStream Xerr;
extern QUORLIX_API LogStream Xout;
extern QUORLIX_API LogStream Xnil;

/// Gives Xerr and Xout log pipes (StreamPipeLog) and their files and consoles. A file is opened
/// (or created) with its content kept and cut to about its last `maxSize` bytes behind a
/// "[CUT]\n" marker (0 empties it, negative keeps all); output goes on at its end. Equal file
/// names share one file. A file or console that a stream already has stays unless its reset
/// flag is set; a reset writes "[END/Xerr]" or "[END/Xout]" first. Every call writes
/// "[NEW/Xerr]" and "[NEW/Xout]". Streams that a host has put on a pipe of its own keep it and
/// get only the markers. Thread-safe.
QUORLIX_API void InitLogStreams(bool errConsole, bool outConsole, const char* errFile,
                                const char* outFile, int errMaxSize, int outMaxSize, bool errReset,
                                bool outReset);

/// Puts Xout and then Xerr back on the null pipe, writing "[EOF/Xout]" and "[EOF/Xerr]" to
/// their old pipes, which close their files when nothing else holds them. Thread-safe.
QUORLIX_API void DLLExitLogStreams();

/// Reports a failed assertion at error level: an empty line, then "ASSERTION: " expression,
/// "     FILE: " file and "     LINE: " line on lines of their own; then stops in the debugger
/// when one is attached (and only then).
QUORLIX_API void XpAssert(const char* expression, const char* file, int line);

/// Returns the base name of `file` (after its last '/' or '\'). When the environment variable
/// XPREGVERBOSE is set (looked up once, on the first call) it also writes the registry entry
/// line "REGENTRY: \"name\"", padding, "[a]      [b]" at info level.
QUORLIX_API const char* XpReg(const char* file, const char* a, const char* b);

} // namespace Quorlix
