#include "quorlix/platform/VersionRecord.h"
#include "quorlix/platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

using namespace Quorlix::Platform;

TEST(VersionRecord, TheLibraryFileCarriesTheCompiledRecord) {
    const VersionRecord& own = OwnVersionRecord();
    VersionRecord fromFile{};
    ASSERT_TRUE(ReadVersionRecord(LibraryPath().c_str(), fromFile));
    EXPECT_EQ(std::memcmp(&fromFile, &own, sizeof own), 0);
    // An ELF file without the record, no file, no regular file.
    for (const char* path : {"/proc/self/exe", "/no/such/file.so", "/dev/null", ""})
        EXPECT_FALSE(ReadVersionRecord(path, fromFile)) << path;
}

TEST(VersionRecord, RejectsTruncatedFilesAndFieldsOutOfRange) {
    std::ifstream in(LibraryPath(), std::ios::binary);
    const std::vector<uint8_t> valid{std::istreambuf_iterator<char>(in), {}};
    VersionRecord record{};
    ASSERT_TRUE(ParseVersionRecord(valid.data(), valid.size(), record));
    const auto* own = reinterpret_cast<const uint8_t*>(&OwnVersionRecord());
    const size_t signature =
        std::search(valid.begin(), valid.end(), own, own + sizeof record) - valid.begin();
    const struct {
        size_t m_Size, m_Offset;
        uint64_t m_Value;
        int m_Bytes;
    } cases[] = {
        {63, 0, 0, 0},                   // shorter than the header
        {valid.size() - 1, 0, 0, 0},     // the section table cut short
        {valid.size(), 4, 1, 1},         // 32-bit
        {valid.size(), 40, ~0ull, 8},    // section table offset
        {valid.size(), 58, 32, 2},       // entries too small
        {valid.size(), 60, 0xFFFE, 2},   // more entries than the file holds
        {valid.size(), 62, 0xFFFE, 2},   // name table index past the count
        {valid.size(), signature, 0, 4}, // a wrong signature
    };
    for (const auto& bad : cases) {
        std::vector<uint8_t> image = valid;
        for (int i = 0; i < bad.m_Bytes; ++i)
            image.at(bad.m_Offset + i) = static_cast<uint8_t>(bad.m_Value >> (8 * i));
        EXPECT_FALSE(ParseVersionRecord(image.data(), bad.m_Size, record)) << bad.m_Offset;
    }
}
