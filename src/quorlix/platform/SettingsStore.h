#pragma once
// The folder tree that holds the registry's keys and values: one directory per key, one small
// file per value. Every name handed in here is one path component that the caller has already
// made safe (no '/', not "." or ".."); nothing here follows a symbolic link inside the store, so
// the tree cannot lead out of itself. A value file is replaced atomically (a temporary file
// renamed over it), so no reader in any process sees half of one.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Quorlix::Platform {

/// An open key directory. Invalid is the only value that names none.
enum class SettingsDirectory : int { Invalid = -1 };

/// The folder of the store's roots: $QUORLIX_SETTINGS_DIR when set and not empty, else
/// ${XDG_CONFIG_HOME:-$HOME/.config}/quorlix/registry (a relative XDG_CONFIG_HOME counts as
/// unset; "" without any of them).
QUORLIX_API std::string SettingsStorePath();

/// Opens the directory of root `rootName` in the store, creating the folders up to it (mode
/// 0700) when `create` is set.
QUORLIX_API SettingsDirectory OpenSettingsRoot(const char* rootName, bool create);
/// Opens the subdirectory `name` of `parent`, creating it when `create` is set. A symbolic
/// link or any other kind of file fails.
QUORLIX_API SettingsDirectory OpenSettingsDirectory(SettingsDirectory parent, const char* name,
                                                    bool create);
/// A second handle of the same directory.
QUORLIX_API SettingsDirectory DuplicateSettingsDirectory(SettingsDirectory directory);
QUORLIX_API void CloseSettingsDirectory(SettingsDirectory directory) noexcept;

/// Removes the subdirectory `name` of `parent` with everything in it. It is first renamed to a
/// unique name beginning with `hiddenPrefix` (a prefix the caller never uses for keys or
/// values), so other processes see the whole key vanish at once. False when it does not exist
/// or cannot be removed.
QUORLIX_API bool RemoveSettingsDirectory(SettingsDirectory parent, const char* name,
                                         const char* hiddenPrefix);
/// The names of the subdirectories of `directory`, in no particular order, without those
/// beginning with `skipPrefix` (and without "." and ".."). False when it cannot be read.
QUORLIX_API bool ListSettingsDirectories(SettingsDirectory directory, char skipPrefix,
                                         std::vector<std::string>& names);
/// The directory's last modification (an entry added, replaced or removed) as a 100-ns count
/// since 1601; 0 on failure.
QUORLIX_API uint64_t SettingsDirectoryWriteTime(SettingsDirectory directory) noexcept;
/// Writes the directory and its entries to the disc.
QUORLIX_API bool SyncSettingsDirectory(SettingsDirectory directory) noexcept;

/// Reads the regular file `name` of `directory` whole when it holds at most `limit` bytes.
/// False when it is missing, unreadable, not a regular file or larger than `limit`.
QUORLIX_API bool ReadSettingsFile(SettingsDirectory directory, const char* name, size_t limit,
                                  std::vector<unsigned char>& bytes);
/// Writes `bytes` as the file `name` of `directory`: into a new temporary file whose name starts
/// with `temporaryPrefix`, synced, then renamed over `name`. On failure nothing changes.
QUORLIX_API bool WriteSettingsFile(SettingsDirectory directory, const char* name,
                                   const char* temporaryPrefix, const void* bytes, size_t size);
/// Removes the file `name` of `directory` (never a directory).
QUORLIX_API bool RemoveSettingsFile(SettingsDirectory directory, const char* name) noexcept;

} // namespace Quorlix::Platform
