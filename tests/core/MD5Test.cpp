#include "quorlix/core/MD5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Quorlix;

namespace {

std::string Hex(const MD5& digest) {
    static const char k_Digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : digest.m_Bytes) {
        text += k_Digits[byte >> 4];
        text += k_Digits[byte & 15];
    }
    return text;
}

// The digest coreutils computes for the same bytes, through a file and a child process.
std::string Md5sum(const std::vector<uint8_t>& bytes) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("MD5Test." + std::to_string(::getpid()));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    std::string output;
    if (FILE* pipe = ::popen(("md5sum '" + path.string() + "'").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, pipe) != nullptr)
            output += line;
        ::pclose(pipe);
    }
    std::filesystem::remove(path);
    return output.substr(0, 32);
}

} // namespace

TEST(MD5Generator, DigestsTheRfc1321TestSuite) {
    const char* const k_Suite[][2] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"}};
    for (const auto& [text, digest] : k_Suite) {
        MD5Generator generator;
        generator.Update(text, static_cast<int64_t>(std::strlen(text)));
        MD5 out;
        generator.Final(out);
        EXPECT_EQ(Hex(out), digest) << text;
    }
}

TEST(MD5Generator, AgreesWithMd5sumAcrossBlockEdgesAndChunkings) {
    std::mt19937 random(1321);
    for (size_t size :
         {size_t{55}, size_t{56}, size_t{63}, size_t{64}, size_t{65}, size_t{1} << 20}) {
        std::vector<uint8_t> bytes(size);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random());
        const std::string expected = Md5sum(bytes);
        ASSERT_EQ(expected.size(), 32u) << "md5sum did not run";

        // Whole, byte by byte, and in random chunks (empty ones and a null pointer among them).
        MD5Generator generator;
        MD5 whole, single, chunked;
        generator.Update(bytes.data(), static_cast<int64_t>(size));
        generator.Final(whole);
        for (uint8_t b : bytes)
            generator.Update(&b, 1);
        generator.Final(single); // the previous Final reset the generator
        for (size_t at = 0; at < size;) {
            const size_t chunk = std::min<size_t>(size - at, random() % 200);
            generator.Update(nullptr, 0);
            generator.Update(bytes.data() + at, static_cast<int64_t>(chunk));
            at += chunk;
        }
        generator.Final(chunked);
        EXPECT_EQ(Hex(whole), expected) << size;
        EXPECT_EQ(Hex(single), expected) << size;
        EXPECT_EQ(Hex(chunked), expected) << size;
    }
}

TEST(MD5, ComparesAllSixteenBytes) {
    MD5Generator generator;
    MD5 a, b;
    generator.Update("abc", 3);
    generator.Reset(); // drops what was given
    generator.Final(a);
    EXPECT_EQ(Hex(a), "d41d8cd98f00b204e9800998ecf8427e");
    b = a;
    b.m_Bytes[15] ^= 1;
    EXPECT_TRUE(a != b && !(a == b));
    b.SetZero();
    EXPECT_EQ(b, MD5{});
}
