#pragma once
// Settings in a tree of keys holding named values (strings, 32-bit numbers, bytes), below one
// of the predefined roots. The tree is a folder per key and a small file per value under
// $QUORLIX_SETTINGS_DIR/<root>, by default ~/.config/quorlix/registry/<root> (see
// SettingsStore.h). Paths separate keys with '\'; names are bytes, compared exactly, and any
// name (a '/' or ".." included) stays inside its key.
//
// Each value is replaced atomically, so processes that share the store never see half a
// value; a damaged value file reads as missing and is only ever replaced by a write. Nothing
// is logged: every failure shows in a result. Not locked: one thread per Registry object.

#include "quorlix/platform/Export.h"

#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/SettingsStore.h"

#include <cstdint>
#include <vector>

namespace Quorlix {

class QUORLIX_API Registry {
public:
    enum PredefinedKey { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

    /// Access mask bits, as the system's registry numbers them.
    enum : unsigned {
        AccessQueryValue = 0x0001,
        AccessSetValue = 0x0002,
        AccessCreateSubKey = 0x0004,
        AccessEnumerateSubKeys = 0x0008,
        AccessDelete = 0x10000,
        AccessRead = 0x20019,
        AccessWrite = 0x20006,
        AccessAll = 0xF003F,
    };

    /// No key open.
    explicit Registry(PredefinedKey root = CurrentUser, unsigned access = AccessAll) noexcept
        : m_Root(root), m_Access(access) {}
    ~Registry() { CloseKey(); }
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    /// Opens `path` below the root. On success the key replaces any open one; on failure the
    /// open key stays. "" opens the root itself.
    bool OpenKey(const char* path);
    /// The same, creating the missing keys of `path` (needs AccessCreateSubKey).
    bool CreateKey(const char* path);
    void CloseKey() noexcept;
    bool IsOpen() const noexcept { return m_Key != Platform::SettingsDirectory::Invalid; }

    /// Deletes `path` (below the root, like OpenKey, CreateKey and EnumerateKey; the open key
    /// does not matter) with its values and subkeys. False when it does not exist, for "" and
    /// without AccessDelete. An open key that is deleted stays open but takes no more writes.
    bool DeleteKey(const char* path);
    /// Deletes a value of the open key.
    bool DeleteValue(const char* name);

    /// The value's bytes up to the first NUL; "" when it is missing or damaged.
    String GetValueData(const char* name) const;
    /// A value of exactly four bytes, little-endian; 0xFFFFFFFF when there is none.
    uint32_t GetValueDataU32(const char* name) const;
    /// Copies the value's bytes into `buffer` and sets `size` to their count. When they do not
    /// fit (or `buffer` is null) nothing is copied, `size` receives the count needed, and the
    /// result is true only for a null buffer. False for a missing value.
    bool GetValueDataBinary(const char* name, void* buffer, int& size) const;

    /// Writes a value of the open key, replacing one of any type (needs AccessSetValue; at most
    /// 1 MiB).
    bool SetValueData(const char* name, const char* text);
    bool SetValueDataU32(const char* name, uint32_t value);
    bool SetValueDataBinary(const char* name, const void* buffer, int size);

    /// Empties `out` and fills it with the names of the subkeys of `path` (below the root).
    /// Names longer than 255 characters are skipped. The open key is not touched.
    bool EnumerateKey(const char* path, Array<String>& out) const;

    /// When the open key last changed (a value or subkey written or deleted), as a 100-ns count
    /// since 1601; 0 when no key is open.
    uint64_t GetLastWriteTime() const noexcept;
    /// Writes the open key to the disc.
    bool Flush() noexcept;
    PredefinedKey GetPredefinedKey() const noexcept { return m_Root; }

    /// The folder name of a root ("HKEY_CURRENT_USER", ...).
    static const char* GetRootName(PredefinedKey root) noexcept;

private:
    Platform::SettingsDirectory Open(Platform::SettingsDirectory base, const char* path,
                                     bool create) const;
    bool ReadValue(const char* name, std::vector<unsigned char>& file, const unsigned char*& data,
                   size_t& size) const;
    bool WriteValue(const char* name, uint32_t type, const void* data, size_t size);

    Platform::SettingsDirectory m_Key = Platform::SettingsDirectory::Invalid;
    PredefinedKey m_Root;
    unsigned m_Access;
};

} // namespace Quorlix
