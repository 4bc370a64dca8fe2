#include "quorlix/platform/File.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace Quorlix::Platform {

namespace {

int Descriptor(FileHandle file) {
    return static_cast<int>(file);
}

bool IsAsciiUpper(char c) {
    return c >= 'A' && c <= 'Z';
}

// ASCII only: names are bytes, and other encodings must not fold differently per locale.
bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (IsAsciiUpper(x))
            x = static_cast<char>(x - 'A' + 'a');
        if (IsAsciiUpper(y))
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The entry of `dir` that equals `name` ignoring case; of several, the byte-wise smallest, so the
// choice does not depend on the directory's order. "" when none does.
std::string FindIgnoringCase(int dir, std::string_view name) {
    int listing = ::openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0)
        return {};
    DIR* stream = ::fdopendir(listing);
    if (stream == nullptr) {
        ::close(listing);
        return {};
    }
    std::string best;
    while (const dirent* entry = ::readdir(stream)) {
        std::string_view candidate(entry->d_name);
        if (candidate == "." || candidate == "..")
            continue;
        if (EqualIgnoringCase(candidate, name) && (best.empty() || candidate < best))
            best.assign(candidate);
    }
    ::closedir(stream);
    return best;
}

// Walks the path from its first component with directory descriptors, so every step is taken
// inside the directory the previous one opened.
int OpenIgnoringCase(std::string_view path, int flags, std::string& lastStored) {
    std::vector<std::string_view> components;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (components.empty()) {
        errno = ENOENT;
        return -1;
    }
    int dir = AT_FDCWD;
    if (path.front() == '/') {
        dir = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0)
            return -1;
    }
    int result = -1;
    for (size_t i = 0; i < components.size(); ++i) {
        const bool last = i + 1 == components.size();
        std::string name(components[i]);
        struct stat info;
        if (name != "." && name != ".." && ::fstatat(dir, name.c_str(), &info, 0) != 0 &&
            errno == ENOENT) {
            std::string stored = FindIgnoringCase(dir, name);
            if (!stored.empty()) {
                name = stored;
                lastStored = stored;
            } else if (!(last && (flags & O_CREAT))) {
                errno = ENOENT;
                break;
            }
        }
        if (last) {
            result = ::openat(dir, name.c_str(), flags, 0666);
            break;
        }
        const int next = ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir != AT_FDCWD)
            ::close(dir);
        dir = next;
        if (dir < 0)
            return -1;
    }
    if (dir != AT_FDCWD) {
        const int saved = errno;
        ::close(dir);
        errno = saved;
    }
    return result;
}

// FILETIME counts 100 ns from 1601-01-01; the Unix epoch lies 11644473600 s later.
constexpr int64_t k_EpochDifference = 11644473600;
constexpr uint64_t k_TicksPerSecond = 10000000;

uint64_t ToFileTime(int64_t seconds, int64_t nanoseconds) {
    if (seconds < -k_EpochDifference)
        return 0;
    return static_cast<uint64_t>(seconds + k_EpochDifference) * k_TicksPerSecond +
           static_cast<uint64_t>(nanoseconds) / 100;
}

timespec FromFileTime(uint64_t time) {
    timespec result{};
    result.tv_sec =
        static_cast<time_t>(static_cast<int64_t>(time / k_TicksPerSecond) - k_EpochDifference);
    result.tv_nsec = static_cast<long>(time % k_TicksPerSecond * 100);
    return result;
}

} // namespace

FileHandle OpenFile(const char* path, unsigned access, FileDisposition disposition,
                    std::string* storedName) {
    if (storedName != nullptr)
        storedName->clear();
    if (path == nullptr || *path == '\0' || std::strlen(path) >= PATH_MAX)
        return FileHandle::Invalid;
    int flags = O_CLOEXEC | O_NOCTTY;
    if ((access & FileAccessWrite) != 0)
        flags |= (access & FileAccessRead) != 0 ? O_RDWR : O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (disposition) {
    case FileDisposition::OpenExisting:
        break;
    case FileDisposition::CreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case FileDisposition::TruncateExisting:
        // Truncating without write access is refused rather than left to the kernel.
        if ((access & FileAccessWrite) == 0)
            return FileHandle::Invalid;
        flags |= O_TRUNC;
        break;
    case FileDisposition::CreateAlways:
        flags |= O_CREAT | O_TRUNC;
        break;
    case FileDisposition::OpenAlways:
        flags |= O_CREAT;
        break;
    }
    int fd = ::open(path, flags, 0666);
    if (fd < 0 && errno == ENOENT) {
        std::string stored;
        fd = OpenIgnoringCase(path, flags, stored);
        if (fd >= 0 && storedName != nullptr)
            *storedName = std::move(stored);
    }
    if (fd < 0)
        return FileHandle::Invalid;
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        if (storedName != nullptr)
            storedName->clear();
        return FileHandle::Invalid;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return static_cast<FileHandle>(fd);
}

void CloseFile(FileHandle file) noexcept {
    if (file != FileHandle::Invalid)
        ::close(Descriptor(file));
}

int64_t ReadFile(FileHandle file, void* buffer, size_t bytes) noexcept {
    if (file == FileHandle::Invalid)
        return -1;
    for (;;) {
        const ssize_t count = ::read(Descriptor(file), buffer, bytes);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

int64_t WriteFile(FileHandle file, const void* data, size_t bytes) noexcept {
    if (file == FileHandle::Invalid)
        return -1;
    for (;;) {
        const ssize_t count = ::write(Descriptor(file), data, bytes);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

int64_t ReadFileFully(FileHandle file, void* buffer, size_t bytes) noexcept {
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < bytes) {
        const int64_t count = ReadFile(file, out + done, bytes - done);
        if (count <= 0)
            break;
        done += static_cast<size_t>(count);
    }
    return static_cast<int64_t>(done);
}

int64_t WriteFileFully(FileHandle file, const void* data, size_t bytes) noexcept {
    const auto* in = static_cast<const unsigned char*>(data);
    size_t done = 0;
    while (done < bytes) {
        const int64_t count = WriteFile(file, in + done, bytes - done);
        if (count <= 0)
            break;
        done += static_cast<size_t>(count);
    }
    return static_cast<int64_t>(done);
}

int64_t ReadFileScatter(FileHandle file, void* first, size_t firstBytes, void* second,
                        size_t secondBytes) noexcept {
    if (file == FileHandle::Invalid)
        return -1;
    const iovec parts[2] = {{first, firstBytes}, {second, secondBytes}};
    for (;;) {
        const ssize_t count = ::readv(Descriptor(file), parts, 2);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

int64_t WriteFileGather(FileHandle file, const void* first, size_t firstBytes, const void* second,
                        size_t secondBytes) noexcept {
    if (file == FileHandle::Invalid)
        return -1;
    const iovec parts[2] = {{const_cast<void*>(first), firstBytes},
                            {const_cast<void*>(second), secondBytes}};
    for (;;) {
        const ssize_t count = ::writev(Descriptor(file), parts, 2);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

int64_t SeekFile(FileHandle file, int64_t offset, int origin) noexcept {
    int whence;
    switch (origin) {
    case 1:
        whence = SEEK_SET;
        break;
    case 0:
        whence = SEEK_CUR;
        break;
    case -1:
        whence = SEEK_END;
        break;
    default:
        return -1;
    }
    if (file == FileHandle::Invalid)
        return -1;
    const off_t position = ::lseek(Descriptor(file), static_cast<off_t>(offset), whence);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

bool TruncateFileAtPosition(FileHandle file) noexcept {
    if (file == FileHandle::Invalid)
        return false;
    const off_t position = ::lseek(Descriptor(file), 0, SEEK_CUR);
    return position >= 0 && ::ftruncate(Descriptor(file), position) == 0;
}

bool GetFileTimes(FileHandle file, uint64_t& created, uint64_t& accessed,
                  uint64_t& written) noexcept {
    created = accessed = written = 0;
    if (file == FileHandle::Invalid)
        return false;
    struct statx info;
    if (::statx(Descriptor(file), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &info) != 0)
        return false;
    const statx_timestamp& birth = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_ctime;
    created = ToFileTime(birth.tv_sec, birth.tv_nsec);
    accessed = ToFileTime(info.stx_atime.tv_sec, info.stx_atime.tv_nsec);
    written = ToFileTime(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec);
    return true;
}

bool SetFileTimes(FileHandle file, uint64_t created, uint64_t accessed, uint64_t written) noexcept {
    if (file == FileHandle::Invalid)
        return false;
    if (accessed != 0 || written != 0) {
        timespec times[2];
        times[0] = accessed != 0 ? FromFileTime(accessed) : timespec{0, UTIME_OMIT};
        times[1] = written != 0 ? FromFileTime(written) : timespec{0, UTIME_OMIT};
        if (::futimens(Descriptor(file), times) != 0)
            return false;
    }
    if (created == 0)
        return true;
    uint64_t current = 0, unusedAccessed = 0, unusedWritten = 0;
    return GetFileTimes(file, current, unusedAccessed, unusedWritten) && current == created;
}

namespace {
FileHandle OpenDescriptor(int fd) noexcept {
    return ::fcntl(fd, F_GETFD) != -1 ? static_cast<FileHandle>(fd) : FileHandle::Invalid;
}
} // namespace

FileHandle StandardOutputFile() noexcept {
    return OpenDescriptor(STDOUT_FILENO);
}

FileHandle StandardErrorFile() noexcept {
    return OpenDescriptor(STDERR_FILENO);
}

bool IsTerminal(FileHandle file) noexcept {
    return file != FileHandle::Invalid && ::isatty(Descriptor(file)) == 1;
}

namespace {

std::atomic<void (*)() noexcept> G_OnBreak{nullptr};
struct sigaction G_PreviousBreakAction;

volatile sig_atomic_t G_InBreakHandler = 0;

void BreakHandler(int signal, siginfo_t* info, void* context) {
    // A handler installed after this one may pass the signal back here: report it only once.
    if (G_InBreakHandler != 0)
        return;
    G_InBreakHandler = 1;
    const int savedErrno = errno;
    if (auto onBreak = G_OnBreak.load(std::memory_order_acquire))
        onBreak();
    const struct sigaction& previous = G_PreviousBreakAction;
    if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler == SIG_DFL) {
        // The signal stays blocked until this handler returns, then the default action runs.
        ::sigaction(signal, &previous, nullptr);
        ::raise(signal);
    } else if (previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    }
    errno = savedErrno;
    G_InBreakHandler = 0;
}

} // namespace

void InstallBreakHandler(void (*onBreak)() noexcept) {
    static std::mutex s_Lock;
    std::lock_guard<std::mutex> lock(s_Lock);
    G_OnBreak.store(onBreak, std::memory_order_release);
    // Installed again when someone replaced it meanwhile; that action is then passed on to.
    struct sigaction current {};
    ::sigaction(SIGINT, nullptr, &current);
    if ((current.sa_flags & SA_SIGINFO) != 0 && current.sa_sigaction == &BreakHandler)
        return;
    struct sigaction action {};
    action.sa_sigaction = &BreakHandler;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &G_PreviousBreakAction);
}

uint64_t CurrentFileTime() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return ToFileTime(now.tv_sec, now.tv_nsec);
}

bool SetPermissionsLike(FileHandle file, const char* likePath) noexcept {
    struct stat like {};
    mode_t mode;
    if (likePath != nullptr && ::stat(likePath, &like) == 0) {
        mode = like.st_mode & 07777;
    } else {
        // The umask can only be read by setting it; /proc shows it without that race.
        mode_t mask = 022;
        if (FILE* status = std::fopen("/proc/self/status", "re")) {
            char line[128];
            while (std::fgets(line, sizeof line, status) != nullptr)
                if (std::strncmp(line, "Umask:", 6) == 0)
                    mask = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8));
            std::fclose(status);
        }
        mode = 0666 & ~mask;
    }
    return ::fchmod(Descriptor(file), mode) == 0;
}

bool SyncFile(FileHandle file) noexcept {
    return ::fsync(Descriptor(file)) == 0;
}

bool DeleteFile(const char* path) noexcept {
    return ::unlink(path) == 0;
}

bool ReplaceFile(const char* from, const char* to) noexcept {
    if (::rename(from, to) != 0)
        return false;
    std::string directory(to);
    size_t slash = directory.rfind('/');
    directory = slash == std::string::npos ? std::string(".") : directory.substr(0, slash + 1);
    int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

FileHandle CreateTemporaryFile(const char* directory, const char* prefix, std::string& path) {
    std::string folder = directory != nullptr ? directory : "";
    if (folder.empty()) {
        const char* tmp = ::getenv("TMPDIR");
        folder = tmp != nullptr && *tmp != 0 ? tmp : "/tmp";
    }
    if (folder.back() != '/')
        folder += '/';
    std::string name = folder + (prefix != nullptr ? prefix : "") + "XXXXXX";
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        path.clear();
        return FileHandle::Invalid;
    }
    path = name;
    return static_cast<FileHandle>(fd);
}

bool GetPathInfo(const char* path, PathInfo& info) noexcept {
    info = PathInfo();
    struct stat status {};
    if (::stat(path, &status) != 0)
        return false;
    info.m_Exists = true;
    info.m_Directory = S_ISDIR(status.st_mode);
    info.m_Size = status.st_size;
    info.m_Written = ToFileTime(status.st_mtim.tv_sec, status.st_mtim.tv_nsec);
    return true;
}

bool ListDirectory(const char* path, std::vector<std::string>& names) {
    names.clear();
    DIR* directory = ::opendir(path);
    if (directory == nullptr)
        return false;
    while (dirent* entry = ::readdir(directory)) {
        std::string_view name(entry->d_name);
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(directory);
    std::sort(names.begin(), names.end());
    return true;
}

bool MakeDirectory(const char* path) noexcept {
    if (::mkdir(path, 0777) == 0)
        return true;
    struct stat status {};
    return errno == EEXIST && ::stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace Quorlix::Platform
