#pragma once
// Files as the operating system sees them, behind an opaque handle: open with the dispositions of
// the library's open-mode word, single reads and writes, the file pointer, file times as 100-ns
// counts since 1601, the standard handles and the break signal of the console names.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Quorlix::Platform {

/// An open file. Invalid is the only value that names no file.
enum class FileHandle : int { Invalid = -1 };

enum : unsigned { FileAccessRead = 1, FileAccessWrite = 2 };

enum class FileDisposition {
    OpenExisting,     // fails when missing
    CreateNew,        // fails when it exists
    TruncateExisting, // fails when missing; needs write access
    CreateAlways,     // creates or truncates
    OpenAlways,       // opens or creates, content kept
};

/// Opens `path` (close-on-exec, with a sequential-read hint). Access without the read or write
/// bit opens for reading: the file can then be queried but never written. Directories are not
/// files and fail.
/// When the exact path does not exist, each component is matched against its directory ignoring
/// ASCII letter case ("." and ".." only ever match themselves, so the match stays where the caller
/// pointed) and the match is opened. `storedName`, when given, then receives the name stored on
/// disc of the last component whose case differed; it is emptied when the exact path was opened.
QUORLIX_API FileHandle OpenFile(const char* path, unsigned access, FileDisposition disposition,
                                std::string* storedName = nullptr);
QUORLIX_API void CloseFile(FileHandle file) noexcept;

/// One read of up to `bytes` bytes (interrupted calls are repeated): bytes read, 0 at the end,
/// -1 on failure.
QUORLIX_API int64_t ReadFile(FileHandle file, void* buffer, size_t bytes) noexcept;
/// One write (interrupted calls are repeated): bytes written, which may be fewer than asked, or
/// -1 on failure.
QUORLIX_API int64_t WriteFile(FileHandle file, const void* data, size_t bytes) noexcept;
/// Reads until `bytes` bytes arrived: the count read, fewer only at the end of the file or on
/// failure.
QUORLIX_API int64_t ReadFileFully(FileHandle file, void* buffer, size_t bytes) noexcept;
/// Writes until all `bytes` bytes went: the count written, fewer only when the file refuses
/// more (a full disc, a size limit).
QUORLIX_API int64_t WriteFileFully(FileHandle file, const void* data, size_t bytes) noexcept;
/// ReadFile into two buffers in turn, in one call: `first` is filled before `second`.
QUORLIX_API int64_t ReadFileScatter(FileHandle file, void* first, size_t firstBytes, void* second,
                                    size_t secondBytes) noexcept;
/// WriteFile from two buffers in turn, in one call.
QUORLIX_API int64_t WriteFileGather(FileHandle file, const void* first, size_t firstBytes,
                                    const void* second, size_t secondBytes) noexcept;
/// Moves the file pointer; origin 1 from the start, 0 from the current position, -1 from the
/// end. The new position, or -1 (other origins, negative results, files without a position).
QUORLIX_API int64_t SeekFile(FileHandle file, int64_t offset, int origin) noexcept;
/// Ends the file at the current position.
QUORLIX_API bool TruncateFileAtPosition(FileHandle file) noexcept;

/// Creation (birth time where the file system records it, else the last status change), last
/// access and last write time. False, with zeros, on failure.
QUORLIX_API bool GetFileTimes(FileHandle file, uint64_t& created, uint64_t& accessed,
                              uint64_t& written) noexcept;
/// Sets the non-zero access and write times. A creation time cannot be set on Linux: the call
/// is true only when every non-zero time asked for is in effect afterwards, so a creation time
/// that differs from the file's own makes it false (the other two are set all the same).
QUORLIX_API bool SetFileTimes(FileHandle file, uint64_t created, uint64_t accessed,
                              uint64_t written) noexcept;

/// The process's standard output and error, or Invalid when the descriptor is closed.
QUORLIX_API FileHandle StandardOutputFile() noexcept;
QUORLIX_API FileHandle StandardErrorFile() noexcept;
QUORLIX_API bool IsTerminal(FileHandle file) noexcept;

/// Installs the handler of the break signal (SIGINT) unless it is installed already. It calls
/// `onBreak`, which must be async-signal-safe, and then passes the signal on to the action that
/// was there before (the default action ends the process).
QUORLIX_API void InstallBreakHandler(void (*onBreak)() noexcept);

/// The current wall-clock time as a 100-ns count since 1601.
QUORLIX_API uint64_t CurrentFileTime() noexcept;
/// Gives a new file the permissions of the file at `likePath`, or when there is none, those a
/// newly created file gets (0666 less the process's umask). For files made by
/// CreateTemporaryFile, which starts them private, that are then renamed into place.
QUORLIX_API bool SetPermissionsLike(FileHandle file, const char* likePath) noexcept;
/// Forces the file's data to the disc.
QUORLIX_API bool SyncFile(FileHandle file) noexcept;
/// Removes a file (not a directory).
QUORLIX_API bool DeleteFile(const char* path) noexcept;
/// Renames `from` over `to` in one step (both in one file system), then syncs the directory of
/// `to` so that the new name survives a crash. On failure `to` is unchanged.
QUORLIX_API bool ReplaceFile(const char* from, const char* to) noexcept;
/// Creates a new, empty file with a unique name that starts with `prefix`, opened for reading
/// and writing, in `directory` (empty: $TMPDIR, else /tmp). `path` receives its name.
QUORLIX_API FileHandle CreateTemporaryFile(const char* directory, const char* prefix,
                                           std::string& path);
/// What a path names: nothing, a directory or something else (a file), its size and the last
/// write time.
struct QUORLIX_API PathInfo {
    bool m_Exists = false;
    bool m_Directory = false;
    int64_t m_Size = 0;
    uint64_t m_Written = 0;
};
/// False, with an empty record, when the path cannot be queried. Links are followed.
QUORLIX_API bool GetPathInfo(const char* path, PathInfo& info) noexcept;
/// The names in a directory, without "." and "..", sorted bytewise. False when it cannot be read.
QUORLIX_API bool ListDirectory(const char* path, std::vector<std::string>& names);
/// Creates one directory; true also when it exists already.
QUORLIX_API bool MakeDirectory(const char* path) noexcept;

} // namespace Quorlix::Platform
