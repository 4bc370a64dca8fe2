#include "quorlix/platform/Process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Quorlix::Platform {

bool HasEnvironmentVariable(const char* name) {
    return name != nullptr && std::getenv(name) != nullptr;
}

std::string GetEnvironmentVariable(const char* name) {
    const char* value = name != nullptr ? std::getenv(name) : nullptr;
    return value != nullptr ? value : "";
}

std::string SystemErrorText(int error) {
    // The description table, not strerror: that one follows the locale's message language.
    const char* text = ::strerrordesc_np(error);
    std::string result;
    if (text != nullptr) {
        result = text;
    } else {
        char unknown[40];
        std::snprintf(unknown, sizeof unknown, "Unknown error %d", error);
        result = unknown;
    }
    if (result.size() > 4000)
        result.resize(4000);
    return result;
}

bool IsDebuggerAttached() {
    const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char status[4096];
    size_t size = 0;
    for (ssize_t n;
         size < sizeof status - 1 && (n = ::read(fd, status + size, sizeof status - 1 - size)) > 0;)
        size += static_cast<size_t>(n);
    ::close(fd);
    status[size] = '\0';
    const char* field = std::strstr(status, "TracerPid:");
    if (field == nullptr)
        return false;
    field += std::strlen("TracerPid:");
    while (*field == ' ' || *field == '\t')
        ++field;
    return *field >= '1' && *field <= '9';
}

void BreakIntoDebugger() {
    if (IsDebuggerAttached())
        ::raise(SIGTRAP);
}

} // namespace Quorlix::Platform
