#include "quorlix/stream/Archive.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/internal/HexDigit.h"
#include "quorlix/stream/ReportStream.h"
#include "quorlix/stream/internal/ArchiveFormat.h"

#include <cstring>
#include <string>
#include <string_view>

namespace Quorlix {

const Result RArchiveIllegalPathSeparator = "ArchiveIllegalPathSeparator";
const Result RArchiveIllegalPathEmpty = "ArchiveIllegalPathEmpty";
const Result RArchiveIllegalPathDot = "ArchiveIllegalPathDot";
const Result RArchiveIllegalPathCharacter = "ArchiveIllegalPathCharacter";
const Result RArchiveInvalidPassword = "ArchiveInvalidPassword";
const Result RArchiveInvalidKey = "ArchiveInvalidKey";
const Result RArchiveBusy = "ArchiveBusy";
const Result RArchiveNotFound = "ArchiveNotFound";
const Result RArchiveNotOpen = "ArchiveNotOpen";
const Result RArchiveFileNotFound = "ArchiveFileNotFound";
const Result RArchiveFileExists = "ArchiveFileExists";
const Result RArchiveCorrupted = "ArchiveCorrupted";
const Result RArchiveInvalidChunkID = "ArchiveInvalidChunkID";
const Result RArchiveFatal = "ArchiveFatal";

namespace Internal {

bool ParseKeyText(std::string_view text, unsigned words[4]) noexcept {
    if (text.size() != 32)
        return false;
    for (int w = 0; w < 4; ++w) {
        unsigned value = 0;
        for (int i = 0; i < 8; ++i) {
            const int digit = Internal::HexDigitValue(static_cast<unsigned char>(text[w * 8 + i]));
            if (digit < 0)
                return false;
            value = value << 4 | static_cast<unsigned>(digit);
        }
        words[w] = value;
    }
    return true;
}

void LogDamage(const char* text, bool fatal) {
    Stream& line = fatal ? Xreport.pLockFatal() : Xreport.pLockError();
    line << "damaged archive: " << text;
    Xreport.pLF();
    Xreport.pUnlockMessage();
}

namespace {

// Walks `path` down to its directory: "a/b/c" gives the directory a/b and the name "c"; "a/b/"
// gives a/b and "". Null when a directory on the way does not exist.
const DirEntry* WalkToDirectory(const DirEntry& root, std::string_view path,
                                std::string_view& name) {
    const DirEntry* dir = &root;
    for (;;) {
        const size_t slash = path.find('/');
        if (slash == std::string_view::npos) {
            name = path;
            return dir;
        }
        dir = dir->FindDir(path.substr(0, slash));
        if (dir == nullptr)
            return nullptr;
        path.remove_prefix(slash + 1);
    }
}

} // namespace

Result LookupFile(const ArchiveState& state, std::string_view path, const FileEntry*& file) {
    file = nullptr;
    std::string_view name;
    const DirEntry* dir = path.empty() ? nullptr : WalkToDirectory(state.m_Root, path, name);
    if (dir == nullptr || name.empty() || (file = dir->FindFile(name)) == nullptr)
        return RArchiveFileNotFound;
    return nullptr;
}

const DirEntry* LookupDirectory(const ArchiveState& state, std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    if (path.empty())
        return &state.m_Root;
    std::string_view name;
    const DirEntry* dir = WalkToDirectory(state.m_Root, path, name);
    return dir != nullptr ? dir->FindDir(name) : nullptr;
}

} // namespace Internal

namespace {

using namespace Internal;

CriticalSection& DefaultKeySection() {
    static CriticalSection s_Section;
    return s_Section;
}

std::string& DefaultKey() {
    static std::string s_Key;
    return s_Key;
}

} // namespace

// --- Archive ---------------------------------------------------------------------------------

Archive* Archive::Create() {
    return NewObject<Archive>();
}

Archive::Archive() : m_State(new ArchiveState) {}

Archive::~Archive() {
    (void)Close(); // a destructor has nobody to tell; Close logs what fails
    delete m_State;
}

bool ParseArchiveKey(const StringRef& key, unsigned words[4]) noexcept {
    return ParseKeyText(std::string_view(key.GetCPtr(), static_cast<size_t>(key.Size())), words);
}

Result Archive::ValidateFileName(const StringRef& path) {
    const char* p = path.GetCPtr();
    const int n = path.Size();
    for (int i = 0; i < n; ++i)
        if (p[i] == '\\')
            return RArchiveIllegalPathSeparator;
    for (int i = 0; i < n; ++i)
        if (std::strchr("<>|?*\":", p[i]) != nullptr) // a NUL byte matches the terminator
            return RArchiveIllegalPathCharacter;
    // A leading '/' is an empty first component: stored paths are relative.
    if (n > 0 && p[0] == '/')
        return RArchiveIllegalPathEmpty;
    for (int i = 0; i + 1 < n; ++i)
        if (p[i] == '/' && p[i + 1] == '/')
            return RArchiveIllegalPathEmpty;
    for (int i = 0; i < n; ++i)
        if (p[i] == '.' && (i + 1 == n || p[i + 1] == '/'))
            return RArchiveIllegalPathDot;
    return nullptr;
}

Result Archive::SplitPathName(const StringRef& path, String& dir, String& name) {
    const int slash = path.RSearch('/');
    dir = slash < 0 ? String() : String(path.GetCPtr(), slash);
    name = String(path.GetCPtr() + slash + 1, path.Size() - slash - 1);
    return nullptr;
}

Result Archive::SetStoreMode(StoreMode mode, unsigned parameter) {
    m_State->m_StoreMode = mode;
    m_State->m_StoreParameter = parameter;
    return nullptr;
}

Result Archive::SetCryptMode(CryptMode mode, unsigned parameter, const StringRef& key) {
    m_State->m_CryptMode = mode;
    m_State->m_CryptParameter = parameter;
    m_State->m_Key = ToStd(key);
    unsigned words[4];
    if (mode != CryptModeNone ? !ParseArchiveKey(key, words) : key.Size() != 0)
        return RArchiveInvalidKey;
    return nullptr;
}

void Archive::SetWriteTime(uint64_t fileTime) noexcept {
    m_State->m_WriteTime = fileTime;
}

bool Archive::IsOpen() const noexcept {
    return m_State->m_Open != OpenState::Closed;
}

Result Archive::OpenNew(const StringRef& archivePath) {
    if (IsOpen())
        return RArchiveBusy;
    m_State->m_Root = DirEntry();
    m_State->m_Root.m_Added = true;
    m_State->m_HasOldFile = false;
    m_State->m_Changed = true;
    m_State->m_Path = ToStd(archivePath);
    m_State->m_Open = OpenState::Update;
    return nullptr;
}

Result Archive::OpenExisting(const StringRef& archivePath) {
    if (IsOpen())
        return RArchiveBusy;
    m_State->m_Root = DirEntry();
    m_State->m_Path = ToStd(archivePath);
    if (Result result = ReadArchive(m_State->m_Path, *m_State)) {
        m_State->m_Root = DirEntry();
        return result;
    }
    m_State->m_HasOldFile = true;
    m_State->m_Handles = ArchiveFileHandles::Create(m_State->m_Path);
    m_State->m_Open = OpenState::Reading;
    DefaultKeySection().Enter();
    if (!DefaultKey().empty()) {
        m_State->m_CryptMode = CryptModeTEA;
        m_State->m_Key = DefaultKey();
    }
    DefaultKeySection().Leave();
    return nullptr;
}

Result Archive::SetDefaultKey(const StringRef& key) {
    unsigned words[4];
    if (key.Size() != 0 && !ParseArchiveKey(key, words))
        return RArchiveInvalidKey;
    DefaultKeySection().Enter();
    DefaultKey() = ToStd(key);
    DefaultKeySection().Leave();
    return nullptr;
}

Result Archive::OpenUpdate(const StringRef& archivePath) {
    if (Result result = OpenExisting(archivePath))
        return result;
    m_State->m_Open = OpenState::Update;
    m_State->m_Changed = false;
    return nullptr;
}

Result Archive::OpenExistingRemote(const StringRef&, const StringRef&) {
    return RArchiveNotFound;
}

} // namespace Quorlix
