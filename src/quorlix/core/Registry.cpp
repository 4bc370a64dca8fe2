#include "quorlix/core/Registry.h"

#include "quorlix/core/Endian.h"
#include "quorlix/core/internal/RegistryValue.h"

#include <cstring>

namespace Quorlix {

namespace {

using Platform::SettingsDirectory;

// Value files and the store's own temporary names; encoded names never begin with either.
constexpr char k_ValuePrefix = '=';
constexpr char k_HiddenPrefix[] = "~";

bool ValueFileName(const char* name, std::string& file) {
    std::string encoded;
    if (name == nullptr || !EncodeRegistryName(name, encoded))
        return false;
    file = k_ValuePrefix + encoded;
    return true;
}

// Splits a '\' path into its non-empty parts.
std::vector<std::string> SplitPath(const char* path) {
    std::vector<std::string> parts;
    std::string part;
    for (const char* p = path;; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
            if (*p == '\0')
                break;
        } else {
            part += *p;
        }
    }
    return parts;
}

} // namespace

const char* Registry::GetRootName(PredefinedKey root) noexcept {
    switch (root) {
    case ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case CurrentUser:
        return "HKEY_CURRENT_USER";
    case LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case Users:
        return "HKEY_USERS";
    case CurrentConfig:
        return "HKEY_CURRENT_CONFIG";
    }
    return "HKEY_CURRENT_USER";
}

SettingsDirectory Registry::Open(SettingsDirectory base, const char* path, bool create) const {
    if (path == nullptr)
        return SettingsDirectory::Invalid;
    SettingsDirectory key = base == SettingsDirectory::Invalid
                                ? Platform::OpenSettingsRoot(GetRootName(m_Root), create)
                                : Platform::DuplicateSettingsDirectory(base);
    std::string encoded;
    for (const std::string& part : SplitPath(path)) {
        if (key == SettingsDirectory::Invalid)
            break;
        SettingsDirectory next = SettingsDirectory::Invalid;
        if (EncodeRegistryName(part.c_str(), encoded))
            next = Platform::OpenSettingsDirectory(key, encoded.c_str(), create);
        Platform::CloseSettingsDirectory(key);
        key = next;
    }
    return key;
}

bool Registry::OpenKey(const char* path) {
    const SettingsDirectory key = Open(SettingsDirectory::Invalid, path, false);
    if (key == SettingsDirectory::Invalid)
        return false;
    CloseKey();
    m_Key = key;
    return true;
}

bool Registry::CreateKey(const char* path) {
    if ((m_Access & AccessCreateSubKey) == 0)
        return false;
    const SettingsDirectory key = Open(SettingsDirectory::Invalid, path, true);
    if (key == SettingsDirectory::Invalid)
        return false;
    CloseKey();
    m_Key = key;
    return true;
}

void Registry::CloseKey() noexcept {
    Platform::CloseSettingsDirectory(m_Key);
    m_Key = SettingsDirectory::Invalid;
}

bool Registry::DeleteKey(const char* path) {
    if (path == nullptr || (m_Access & AccessDelete) == 0)
        return false;
    std::vector<std::string> parts = SplitPath(path);
    std::string last;
    if (parts.empty() || !EncodeRegistryName(parts.back().c_str(), last))
        return false;
    // The parent of the last part, below the root as for every other path.
    std::string parentPath;
    for (size_t i = 0; i + 1 < parts.size(); ++i)
        parentPath += parts[i] + '\\';
    const SettingsDirectory parent = Open(SettingsDirectory::Invalid, parentPath.c_str(), false);
    if (parent == SettingsDirectory::Invalid)
        return false;
    const bool removed = Platform::RemoveSettingsDirectory(parent, last.c_str(), k_HiddenPrefix);
    Platform::CloseSettingsDirectory(parent);
    return removed;
}

bool Registry::DeleteValue(const char* name) {
    std::string file;
    if (!IsOpen() || (m_Access & AccessSetValue) == 0 || !ValueFileName(name, file))
        return false;
    return Platform::RemoveSettingsFile(m_Key, file.c_str());
}

bool Registry::ReadValue(const char* name, std::vector<unsigned char>& file,
                         const unsigned char*& data, size_t& size) const {
    std::string fileName;
    if (!IsOpen() || (m_Access & AccessQueryValue) == 0 || !ValueFileName(name, fileName))
        return false;
    RegistryValueType type{};
    return Platform::ReadSettingsFile(m_Key, fileName.c_str(),
                                      k_RegistryValueHeaderBytes + k_RegistryMaxValueBytes, file) &&
           DecodeRegistryValue(file.data(), file.size(), type, data, size);
}

String Registry::GetValueData(const char* name) const {
    std::vector<unsigned char> file;
    const unsigned char* data = nullptr;
    size_t size = 0;
    if (!ReadValue(name, file, data, size))
        return String();
    const void* nul = std::memchr(data, 0, size);
    const size_t length = nul != nullptr ? static_cast<const unsigned char*>(nul) - data : size;
    return String(reinterpret_cast<const char*>(data), static_cast<int>(length));
}

uint32_t Registry::GetValueDataU32(const char* name) const {
    std::vector<unsigned char> file;
    const unsigned char* data = nullptr;
    size_t size = 0;
    if (!ReadValue(name, file, data, size) || size != 4)
        return 0xFFFFFFFFu;
    return LoadLE32(data);
}

bool Registry::GetValueDataBinary(const char* name, void* buffer, int& size) const {
    std::vector<unsigned char> file;
    const unsigned char* data = nullptr;
    size_t length = 0;
    if (!ReadValue(name, file, data, length))
        return false;
    const bool fits = buffer != nullptr && size >= 0 && length <= static_cast<size_t>(size);
    if (fits && length > 0)
        std::memcpy(buffer, data, length);
    size = static_cast<int>(length); // at most 1 MiB
    return fits || buffer == nullptr;
}

bool Registry::WriteValue(const char* name, uint32_t type, const void* data, size_t size) {
    std::string fileName;
    std::vector<unsigned char> file;
    if (!IsOpen() || (m_Access & AccessSetValue) == 0 || !ValueFileName(name, fileName) ||
        !EncodeRegistryValue(static_cast<RegistryValueType>(type), data, size, file))
        return false;
    return Platform::WriteSettingsFile(m_Key, fileName.c_str(), k_HiddenPrefix, file.data(),
                                       file.size());
}

bool Registry::SetValueData(const char* name, const char* text) {
    const char* bytes = text != nullptr ? text : "";
    return WriteValue(name, static_cast<uint32_t>(RegistryValueType::String), bytes,
                      std::strlen(bytes));
}

bool Registry::SetValueDataU32(const char* name, uint32_t value) {
    unsigned char bytes[4];
    StoreLE32(bytes, value);
    return WriteValue(name, static_cast<uint32_t>(RegistryValueType::U32), bytes, 4);
}

bool Registry::SetValueDataBinary(const char* name, const void* buffer, int size) {
    if (size < 0 || (buffer == nullptr && size > 0))
        return false;
    return WriteValue(name, static_cast<uint32_t>(RegistryValueType::Binary), buffer,
                      static_cast<size_t>(size));
}

bool Registry::EnumerateKey(const char* path, Array<String>& out) const {
    out.Clear();
    if ((m_Access & AccessEnumerateSubKeys) == 0)
        return false;
    const SettingsDirectory key = Open(SettingsDirectory::Invalid, path, false);
    if (key == SettingsDirectory::Invalid)
        return false;
    std::vector<std::string> names;
    const bool listed = Platform::ListSettingsDirectories(key, k_HiddenPrefix[0], names);
    Platform::CloseSettingsDirectory(key);
    for (const std::string& encoded : names) {
        const std::string name = DecodeRegistryName(encoded.c_str());
        if (name.size() <= 255)
            out.Add(String(name.data(), static_cast<int>(name.size())));
    }
    return listed;
}

uint64_t Registry::GetLastWriteTime() const noexcept {
    return IsOpen() ? Platform::SettingsDirectoryWriteTime(m_Key) : 0;
}

bool Registry::Flush() noexcept {
    return IsOpen() && Platform::SyncSettingsDirectory(m_Key);
}

} // namespace Quorlix
