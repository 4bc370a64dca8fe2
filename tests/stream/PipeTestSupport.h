#pragma once
// Helpers of the pipe tests: the test pattern, a temporary folder, whole-file reads and writes;
// warnings are captured with LogCapture.

#include "support/LogCapture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace QuorlixTest {

/// tests/data/stream/Pattern.bin, which the test program also carries as its resource PATTERN:
/// 20000 bytes, every value, 0xFF first.
inline std::string Pattern() {
    std::string bytes(20000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((255 - i * 13) & 255);
    return bytes;
}

/// A fresh folder in the temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir() : m_Path(std::filesystem::temp_directory_path() / "pipesXXXXXX") {
        if (::mkdtemp(m_Path.data()) == nullptr)
            m_Path.clear();
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string operator/(const std::string& name) const { return m_Path + "/" + name; }
    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
};

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder);
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace QuorlixTest
