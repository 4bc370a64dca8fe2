#include "quorlix/platform/VersionRecord.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef QUORLIX_VERSION_MAJOR
#define QUORLIX_VERSION_MAJOR 0
#define QUORLIX_VERSION_MINOR 0
#define QUORLIX_VERSION_PATCH 0
#define QUORLIX_VERSION_TWEAK 0
#endif
#ifndef QUORLIX_VERSION_DATE_MS
#define QUORLIX_VERSION_DATE_MS 0
#define QUORLIX_VERSION_DATE_LS 0
#endif

namespace Quorlix::Platform {

namespace {

constexpr uint32_t k_VersionMS = (QUORLIX_VERSION_MAJOR << 16) | QUORLIX_VERSION_MINOR;
constexpr uint32_t k_VersionLS = (QUORLIX_VERSION_PATCH << 16) | QUORLIX_VERSION_TWEAK;

// "used" and "retain" keep the record in the file although no code reads it by address there.
__attribute__((section(".quorlix_version"), used, retain)) const VersionRecord G_OwnRecord = {
    k_VersionRecordSignature,
    0x00010000u, // structure version 1.0
    k_VersionMS,
    k_VersionLS,
    k_VersionMS,
    k_VersionLS,
    0x3Fu, // every defined flag is meaningful
    0,     // a release build: no debug, pre-release or patched flag
    0,     // no Windows OS word applies
    2,     // a dynamic library
    0,     // no subtype
    QUORLIX_VERSION_DATE_MS,
    QUORLIX_VERSION_DATE_LS,
};

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) {
    return Le32(p) | static_cast<uint64_t>(Le32(p + 4)) << 32;
}

// Whether [offset, offset + bytes) lies inside a file of `size` bytes, without overflow.
bool Inside(uint64_t offset, uint64_t bytes, uint64_t size) {
    return offset <= size && bytes <= size - offset;
}

constexpr size_t k_ElfHeaderBytes = 64;
constexpr size_t k_SectionHeaderBytes = 64;
constexpr uint32_t k_SectionNoBits = 8; // SHT_NOBITS: occupies no file bytes
constexpr uint16_t k_ExtendedIndex = 0xFFFF;

// The parser sees the file only through `read(offset, buffer, bytes)`, which is called with
// ranges already checked against `size` and returns false on an I/O failure.
template <class ReadAt>
bool FindRecord(uint64_t size, ReadAt read, VersionRecord& record) {
    uint8_t header[k_ElfHeaderBytes];
    if (size < k_ElfHeaderBytes || !read(0, header, sizeof header))
        return false;
    if (std::memcmp(header,
                    "\x7F"
                    "ELF",
                    4) != 0 ||
        header[4] != 2 /* 64-bit */ || header[5] != 1 /* little-endian */)
        return false;
    const uint64_t tableOffset = Le64(header + 40);
    const uint16_t entryBytes = Le16(header + 58);
    uint64_t count = Le16(header + 60);
    uint32_t namesIndex = Le16(header + 62);
    if (tableOffset == 0 || entryBytes < k_SectionHeaderBytes)
        return false;

    uint8_t entry[k_SectionHeaderBytes];
    auto readEntry = [&](uint64_t index) {
        if (index >= count && !(index == 0 && count == 0))
            return false;
        const uint64_t offset = tableOffset + index * entryBytes; // index < 2^32: no overflow
        return Inside(offset, k_SectionHeaderBytes, size) && read(offset, entry, sizeof entry);
    };
    // Large section counts and name indices live in the first entry.
    if (count == 0 || namesIndex == k_ExtendedIndex) {
        if (!readEntry(0))
            return false;
        if (count == 0)
            count = Le64(entry + 32);
        if (namesIndex == k_ExtendedIndex)
            namesIndex = Le32(entry + 40);
    }
    // Every entry must lie inside the file; this also bounds the loop below by the file size.
    if (count == 0 || count > size / entryBytes || !Inside(tableOffset, count * entryBytes, size) ||
        namesIndex >= count)
        return false;
    if (!readEntry(namesIndex) || Le32(entry + 4) == k_SectionNoBits)
        return false;
    const uint64_t namesOffset = Le64(entry + 24);
    const uint64_t namesSize = Le64(entry + 32);
    if (!Inside(namesOffset, namesSize, size))
        return false;

    const size_t wanted = std::strlen(k_VersionRecordSection) + 1; // with its NUL
    for (uint64_t i = 0; i < count; ++i) {
        if (!readEntry(i))
            return false;
        const uint32_t name = Le32(entry);
        const uint64_t dataOffset = Le64(entry + 24);
        const uint64_t dataSize = Le64(entry + 32);
        if (Le32(entry + 4) == k_SectionNoBits || dataSize < k_VersionRecordBytes ||
            !Inside(dataOffset, k_VersionRecordBytes, size) || name >= namesSize ||
            wanted > namesSize - name)
            continue;
        char text[32];
        if (!read(namesOffset + name, text, wanted) ||
            std::memcmp(text, k_VersionRecordSection, wanted) != 0)
            continue;
        uint8_t bytes[k_VersionRecordBytes];
        if (!read(dataOffset, bytes, sizeof bytes))
            return false;
        uint32_t words[13];
        for (int w = 0; w < 13; ++w)
            words[w] = Le32(bytes + 4 * w);
        if (words[0] != k_VersionRecordSignature)
            continue;
        static_assert(sizeof(VersionRecord) == sizeof words);
        std::memcpy(&record, words, sizeof words);
        return true;
    }
    return false;
}

} // namespace

const VersionRecord& OwnVersionRecord() noexcept {
    return G_OwnRecord;
}

bool ParseVersionRecord(const uint8_t* image, size_t size, VersionRecord& record) noexcept {
    if (image == nullptr)
        return false;
    return FindRecord(
        size,
        [image](uint64_t offset, void* buffer, size_t bytes) {
            std::memcpy(buffer, image + offset, bytes);
            return true;
        },
        record);
}

// Only open, fstat, pread and close: the crash report reads module files from a signal handler.
bool ReadVersionRecord(const char* path, VersionRecord& record) noexcept {
    if (path == nullptr || *path == '\0')
        return false;
    const int file = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file < 0)
        return false;
    struct stat status {};
    bool found = false;
    if (::fstat(file, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
        found = FindRecord(
            static_cast<uint64_t>(status.st_size),
            [file](uint64_t offset, void* buffer, size_t bytes) {
                auto* out = static_cast<uint8_t*>(buffer);
                while (bytes > 0) {
                    const ssize_t got = ::pread(file, out, bytes, static_cast<off_t>(offset));
                    if (got < 0 && errno == EINTR)
                        continue;
                    if (got <= 0)
                        return false; // a file that shrank under us
                    out += got;
                    offset += static_cast<uint64_t>(got);
                    bytes -= static_cast<size_t>(got);
                }
                return true;
            },
            record);
    }
    ::close(file);
    return found;
}

} // namespace Quorlix::Platform
