#pragma once
// The version record: thirteen 32-bit words in the layout of a fixed file version block
// (signature, structure version, file version, product version, flags, OS, type, file date).
// The library carries its own in the ELF section ".quorlix_version", so that its version can be
// read from the file on disk without loading it. Files without that section have no record.

#include "quorlix/platform/Export.h"

#include <cstddef>
#include <cstdint>

namespace Quorlix::Platform {

/// The signature word that starts every valid record.
constexpr uint32_t k_VersionRecordSignature = 0xFEEF04BDu;
/// The section that holds the record.
constexpr const char* k_VersionRecordSection = ".quorlix_version";
/// The record's size in the file: 13 little-endian words.
constexpr size_t k_VersionRecordBytes = 52;

struct QUORLIX_API VersionRecord {
    uint32_t m_Signature;
    uint32_t m_StructVersion;
    uint32_t m_FileVersionMS; // major << 16 | minor
    uint32_t m_FileVersionLS; // patch << 16 | build
    uint32_t m_ProductVersionMS;
    uint32_t m_ProductVersionLS;
    uint32_t m_FileFlagsMask;
    uint32_t m_FileFlags;
    uint32_t m_FileOS;
    uint32_t m_FileType;
    uint32_t m_FileSubtype;
    uint32_t m_FileDateMS; // the build day as a 100-ns count since 1601, upper half
    uint32_t m_FileDateLS;
};

/// The record compiled into this library.
QUORLIX_API const VersionRecord& OwnVersionRecord() noexcept;

/// Finds the record in the bytes of an ELF64 little-endian file image. Every offset and size is
/// checked against `size`; nothing is allocated. False when the image is not such a file, has no
/// ".quorlix_version" section of at least 52 bytes inside the image, or the record's signature
/// is wrong.
QUORLIX_API bool ParseVersionRecord(const uint8_t* image, size_t size,
                                    VersionRecord& record) noexcept;

/// The same for the regular file at `path`, read piece by piece (never as a whole). False for
/// missing, unreadable or non-regular files and for files without a record.
QUORLIX_API bool ReadVersionRecord(const char* path, VersionRecord& record) noexcept;

} // namespace Quorlix::Platform
