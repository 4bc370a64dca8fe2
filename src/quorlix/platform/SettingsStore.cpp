#include "quorlix/platform/SettingsStore.h"

#include "quorlix/platform/Process.h"
#include "quorlix/platform/Threading.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Quorlix::Platform {

namespace {

constexpr int k_DirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

int Fd(SettingsDirectory directory) {
    return static_cast<int>(directory);
}

SettingsDirectory Wrap(int fd) {
    return fd < 0 ? SettingsDirectory::Invalid : static_cast<SettingsDirectory>(fd);
}

// Creates every missing folder of an absolute or relative path.
bool MakeFolders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/')
            continue;
        const std::string prefix = path.substr(0, at);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

bool RemoveTree(int parent, const char* name, int depth) {
    // Key names are short and paths limited, so real trees are shallow; the bound keeps a
    // hostile tree from exhausting the stack.
    if (depth > 256)
        return false;
    const int fd = ::openat(parent, name, k_DirectoryFlags);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    bool ok = true;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        if (::unlinkat(fd, entry->d_name, 0) == 0)
            continue;
        if (errno == EISDIR || errno == EPERM)
            ok = RemoveTree(fd, entry->d_name, depth + 1) && ok;
        else if (errno != ENOENT)
            ok = false;
    }
    ::closedir(dir);
    return ::unlinkat(parent, name, AT_REMOVEDIR) == 0 && ok;
}

// FILETIME counts 100 ns from 1601-01-01; the Unix epoch lies 11644473600 s later.
uint64_t ToFileTime(int64_t seconds, int64_t nanoseconds) {
    constexpr int64_t k_EpochDifference = 11644473600;
    if (seconds < -k_EpochDifference)
        return 0;
    return static_cast<uint64_t>(seconds + k_EpochDifference) * 10000000u +
           static_cast<uint64_t>(nanoseconds) / 100;
}

// A name no other process or thread picks at the same time.
std::string UniqueName(const char* prefix) {
    static std::atomic<unsigned> s_Counter{0};
    return std::string(prefix) + std::to_string(::getpid()) + "." +
           std::to_string(CurrentThreadId()) + "." + std::to_string(s_Counter.fetch_add(1));
}

bool WriteAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

} // namespace

std::string SettingsStorePath() {
    std::string path = GetEnvironmentVariable("QUORLIX_SETTINGS_DIR");
    if (!path.empty())
        return path;
    // A relative configuration folder is ignored, as the XDG rules ask.
    path = GetEnvironmentVariable("XDG_CONFIG_HOME");
    if (path.empty() || path[0] != '/') {
        path = GetEnvironmentVariable("HOME");
        if (path.empty())
            return path;
        path += "/.config";
    }
    return path + "/quorlix/registry";
}

SettingsDirectory OpenSettingsRoot(const char* rootName, bool create) {
    const std::string store = SettingsStorePath();
    if (store.empty())
        return SettingsDirectory::Invalid;
    const std::string path = store + "/" + rootName;
    if (create && !MakeFolders(path))
        return SettingsDirectory::Invalid;
    return Wrap(::open(path.c_str(), k_DirectoryFlags));
}

SettingsDirectory OpenSettingsDirectory(SettingsDirectory parent, const char* name, bool create) {
    if (create && ::mkdirat(Fd(parent), name, 0700) != 0 && errno != EEXIST)
        return SettingsDirectory::Invalid;
    return Wrap(::openat(Fd(parent), name, k_DirectoryFlags));
}

SettingsDirectory DuplicateSettingsDirectory(SettingsDirectory directory) {
    return Wrap(::fcntl(Fd(directory), F_DUPFD_CLOEXEC, 0));
}

void CloseSettingsDirectory(SettingsDirectory directory) noexcept {
    if (directory != SettingsDirectory::Invalid)
        ::close(Fd(directory));
}

bool RemoveSettingsDirectory(SettingsDirectory parent, const char* name, const char* hiddenPrefix) {
    struct stat info {};
    if (::fstatat(Fd(parent), name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(info.st_mode))
        return false;
    const std::string hidden = UniqueName(hiddenPrefix);
    if (::renameat(Fd(parent), name, Fd(parent), hidden.c_str()) != 0)
        return false;
    return RemoveTree(Fd(parent), hidden.c_str(), 0);
}

bool ListSettingsDirectories(SettingsDirectory directory, char skipPrefix,
                             std::vector<std::string>& names) {
    const int fd = ::openat(Fd(directory), ".", k_DirectoryFlags);
    if (fd < 0)
        return false;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == skipPrefix || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            isDirectory =
                ::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode);
        }
        if (isDirectory)
            names.emplace_back(name);
    }
    ::closedir(dir);
    return true;
}

uint64_t SettingsDirectoryWriteTime(SettingsDirectory directory) noexcept {
    struct stat info {};
    if (::fstat(Fd(directory), &info) != 0)
        return 0;
    return ToFileTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

bool SyncSettingsDirectory(SettingsDirectory directory) noexcept {
    return ::fsync(Fd(directory)) == 0;
}

bool ReadSettingsFile(SettingsDirectory directory, const char* name, size_t limit,
                      std::vector<unsigned char>& bytes) {
    bytes.clear();
    const int fd = ::openat(Fd(directory), name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
              static_cast<uint64_t>(info.st_size) <= limit;
    if (ok) {
        // One byte more than the size seen, so a file that grew meanwhile is noticed.
        bytes.resize(static_cast<size_t>(info.st_size) + 1);
        size_t have = 0;
        for (;;) {
            const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                ok = got == 0;
                break;
            }
            have += static_cast<size_t>(got);
            if (have == bytes.size()) {
                ok = false; // longer than its size said
                break;
            }
        }
        bytes.resize(ok ? have : 0);
    }
    ::close(fd);
    return ok;
}

bool WriteSettingsFile(SettingsDirectory directory, const char* name, const char* temporaryPrefix,
                       const void* bytes, size_t size) {
    const std::string temporary = UniqueName(temporaryPrefix);
    const int fd = ::openat(Fd(directory), temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // Synced before the rename, so that after a crash the name holds the old value or the
    // new one, never an empty file.
    bool ok = WriteAll(fd, static_cast<const unsigned char*>(bytes), size) && ::fdatasync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::renameat(Fd(directory), temporary.c_str(), Fd(directory), name) == 0;
    if (!ok)
        ::unlinkat(Fd(directory), temporary.c_str(), 0);
    return ok;
}

bool RemoveSettingsFile(SettingsDirectory directory, const char* name) noexcept {
    return ::unlinkat(Fd(directory), name, 0) == 0;
}

} // namespace Quorlix::Platform
