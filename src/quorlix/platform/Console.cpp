#include "quorlix/platform/Console.h"

#include <cerrno>
#include <unistd.h>

namespace Quorlix::Platform {

static bool WriteAll(int fd, const char* bytes, size_t length) noexcept {
    while (length > 0) {
        ssize_t written = ::write(fd, bytes, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

bool WriteStandardOutput(const char* bytes, size_t length) noexcept {
    return WriteAll(STDOUT_FILENO, bytes, length);
}

bool WriteStandardError(const char* bytes, size_t length) noexcept {
    return WriteAll(STDERR_FILENO, bytes, length);
}

} // namespace Quorlix::Platform
