#include "quorlix/platform/VersionRecord.h"
#include "quorlix/platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix::Platform;

namespace {

struct Section {
    std::string m_Name;
    uint32_t m_Type = 1; // PROGBITS
    std::vector<uint8_t> m_Data;
};

void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> RecordBytes(uint32_t signature = k_VersionRecordSignature) {
    std::vector<uint8_t> out;
    const uint32_t words[13] = {signature, 0x10000, 0x10002, 0x130000, 0x30004,   0x50000,   0x3F,
                                0,         0,       2,       0,        0x1DD8514, 0xBC8A4000};
    for (uint32_t word : words)
        Put(out, word, 4);
    return out;
}

// A minimal ELF64 file: header, section contents, then the section table (null entry, the name
// table, the given sections).
std::vector<uint8_t> BuildElf(const std::vector<Section>& sections, bool extendedCount = false) {
    std::vector<Section> all{{"", 0, {}}, {".shstrtab", 3, {}}};
    all.insert(all.end(), sections.begin(), sections.end());
    std::vector<uint8_t> names{0};
    std::vector<uint32_t> nameOffsets{0};
    for (size_t i = 1; i < all.size(); ++i) {
        nameOffsets.push_back(static_cast<uint32_t>(names.size()));
        names.insert(names.end(), all[i].m_Name.begin(), all[i].m_Name.end());
        names.push_back(0);
    }
    all[1].m_Data = names;
    std::vector<uint8_t> body;
    std::vector<uint64_t> offsets;
    for (const Section& section : all) {
        offsets.push_back(section.m_Data.empty() ? 0 : 64 + body.size());
        body.insert(body.end(), section.m_Data.begin(), section.m_Data.end());
    }
    std::vector<uint8_t> out{0x7F, 'E', 'L', 'F', 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put(out, 3, 2);  // shared object
    Put(out, 62, 2); // x86-64
    Put(out, 1, 4);
    Put(out, 0, 8);
    Put(out, 0, 8);
    Put(out, 64 + body.size(), 8); // section table offset
    Put(out, 0, 4);
    Put(out, 64, 2);
    Put(out, 0, 2);
    Put(out, 0, 2);
    Put(out, 64, 2);
    Put(out, extendedCount ? 0 : all.size(), 2);
    Put(out, extendedCount ? 0xFFFF : 1, 2);
    out.insert(out.end(), body.begin(), body.end());
    for (size_t i = 0; i < all.size(); ++i) {
        const bool first = i == 0 && extendedCount;
        Put(out, nameOffsets[i], 4);
        Put(out, all[i].m_Type, 4);
        Put(out, 0, 8);
        Put(out, 0, 8);
        Put(out, offsets[i], 8);
        Put(out, first ? all.size() : all[i].m_Data.size(), 8);
        Put(out, first ? 1 : 0, 4);
        Put(out, 0, 4);
        Put(out, 1, 8);
        Put(out, 0, 8);
    }
    return out;
}

bool Parse(const std::vector<uint8_t>& image, VersionRecord* record = nullptr) {
    VersionRecord scratch{};
    return ParseVersionRecord(image.data(), image.size(), record != nullptr ? *record : scratch);
}

// Offset of section table entry `index` in an image made by BuildElf.
size_t EntryOffset(const std::vector<uint8_t>& image, size_t index) {
    uint64_t tableOffset = 0;
    std::memcpy(&tableOffset, image.data() + 40, 8);
    return static_cast<size_t>(tableOffset) + 64 * index;
}

} // namespace

TEST(VersionRecord, LibraryFileCarriesTheCompiledRecord) {
    const VersionRecord& own = OwnVersionRecord();
    EXPECT_EQ(own.m_Signature, k_VersionRecordSignature);
    EXPECT_EQ(own.m_FileVersionMS, 0x00010002u); // 1.2
    EXPECT_EQ(own.m_FileVersionLS, 0x00130000u); // 19.0
    EXPECT_EQ(own.m_ProductVersionMS, own.m_FileVersionMS);
    // The build day: after 2020 and on a day boundary.
    const uint64_t date = uint64_t{own.m_FileDateMS} << 32 | own.m_FileDateLS;
    EXPECT_GT(date, 132223104000000000u);
    EXPECT_EQ(date % (86400ull * 10000000ull), 0u);

    VersionRecord fromFile{};
    ASSERT_TRUE(ReadVersionRecord(LibraryPath().c_str(), fromFile));
    EXPECT_EQ(std::memcmp(&fromFile, &own, sizeof own), 0);
    // Files without one: an ELF file without the section, no file, no regular file.
    for (const char* path : {"/proc/self/exe", "/no/such/file.so", "/", "/dev/null", ""})
        EXPECT_FALSE(ReadVersionRecord(path, fromFile)) << path;
    EXPECT_FALSE(ReadVersionRecord(nullptr, fromFile));
}

TEST(VersionRecord, ParsesMinimalFilesAndTheirVariants) {
    VersionRecord record{};
    const std::vector<uint8_t> valid = BuildElf(
        {{".text", 1, std::vector<uint8_t>(16, 0x90)}, {".quorlix_version", 1, RecordBytes()}});
    ASSERT_TRUE(Parse(valid, &record));
    EXPECT_EQ(record.m_ProductVersionMS, 0x30004u);
    EXPECT_EQ(record.m_FileDateLS, 0xBC8A4000u);

    EXPECT_TRUE(Parse(BuildElf({{".quorlix_version", 1, RecordBytes()}}, true)));
    // A wrong signature is skipped; a later good section still counts.
    EXPECT_TRUE(Parse(BuildElf({{".quorlix_version", 1, RecordBytes(0x12345678)},
                                {".quorlix_version", 1, RecordBytes()}})));
    EXPECT_FALSE(Parse(BuildElf({{".quorlix_version", 1, RecordBytes(0x12345678)}})));
    // Names must match exactly, with their terminator.
    EXPECT_FALSE(Parse(BuildElf(
        {{".quorlix_versionx", 1, RecordBytes()}, {".quorlix_versio", 1, RecordBytes()}})));
    EXPECT_FALSE(Parse(BuildElf({{".quorlix_version", 8, RecordBytes()}}))); // no file bytes

    // Not the kind of file we read: 32-bit, big-endian, not ELF.
    for (size_t byte : {size_t{4}, size_t{5}, size_t{0}}) {
        std::vector<uint8_t> other = valid;
        other[byte] ^= 3;
        EXPECT_FALSE(Parse(other)) << byte;
    }
}

TEST(VersionRecord, RejectsEveryTruncationAndOutOfRangeField) {
    const std::vector<uint8_t> valid = BuildElf({{".quorlix_version", 1, RecordBytes()}});
    for (size_t size = 0; size < valid.size(); ++size) {
        std::vector<uint8_t> cut(valid.begin(), valid.begin() + static_cast<ptrdiff_t>(size));
        EXPECT_FALSE(Parse(cut)) << size;
    }
    auto patched = [&](size_t offset, uint64_t value, int bytes) {
        std::vector<uint8_t> image = valid;
        for (int i = 0; i < bytes; ++i)
            image.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
        return Parse(image);
    };
    const size_t names = EntryOffset(valid, 1), record = EntryOffset(valid, 2);
    EXPECT_FALSE(patched(40, ~0ull, 8));                      // section table offset
    EXPECT_FALSE(patched(40, ~0ull - 100, 8));                // ... wrapping around
    EXPECT_FALSE(patched(58, 32, 2));                         // entries too small
    EXPECT_FALSE(patched(60, 0xFFFE, 2));                     // more entries than the file holds
    EXPECT_FALSE(patched(62, 3, 2));                          // name table index past the count
    EXPECT_FALSE(patched(names + 24, ~0ull - 4, 8));          // name table offset
    EXPECT_FALSE(patched(names + 32, ~0ull, 8));              // name table size
    EXPECT_FALSE(patched(record + 0, 0xFFFFFFF0u, 4));        // name offset past the name table
    EXPECT_FALSE(patched(record + 24, valid.size() - 51, 8)); // record runs past the end
    EXPECT_FALSE(patched(record + 24, ~0ull - 10, 8));
    EXPECT_TRUE(patched(record + 32, ~0ull, 8)); // only the record's 52 bytes must be there
}
