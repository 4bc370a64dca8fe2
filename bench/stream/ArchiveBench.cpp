// Reading archive members through Storage::OpenStream, on an archive with 256 MiB of member data
// that sits in the page cache: stored members against read() of the same bytes from a plain
// file, compressed members against zlib inflating the same members from memory, enciphered
// members in MB/s; full verification against reading the file and hashing it with OpenSSL's MD5.

#include "BenchRatios.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/Archive.h"
#include "quorlix/stream/Storage.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_MemberSize = 2 << 20;
constexpr int k_Stored = 48;     // 96 MiB
constexpr int k_Compressed = 32; // 64 MiB before compression
constexpr int k_Enciphered = 48; // 96 MiB
constexpr int k_Block = 64 << 10;
constexpr const char* k_Key = "00112233445566778899AABBCCDDEEFF";

std::string Folder() {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/QuorlixArchiveBench." +
           std::to_string(::getpid());
}

// Text-like bytes: words from a small vocabulary, which zlib packs about 3:1.
std::vector<unsigned char> TextBytes(size_t n, unsigned seed) {
    static const char* const words[] = {"engine ", "scene ",   "node ",   "light ", "camera ",
                                        "mesh ",   "texture ", "frame\n", "clip ",  "key ",
                                        "0.25 ",   "1.0 ",     "-3.5 ",   "{ ",     "} "};
    std::vector<unsigned char> bytes;
    bytes.reserve(n + 16);
    unsigned state = seed;
    while (bytes.size() < n) {
        state = state * 1103515245u + 12345u;
        for (const char* w = words[(state >> 16) % 15]; *w; ++w)
            bytes.push_back(static_cast<unsigned char>(*w));
    }
    bytes.resize(n);
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ::close(fd);
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::vector<unsigned char> bytes;
    std::vector<unsigned char> block(k_Block);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    for (ssize_t n; fd >= 0 && (n = ::read(fd, block.data(), block.size())) > 0;)
        bytes.insert(bytes.end(), block.begin(), block.begin() + n);
    ::close(fd);
    return bytes;
}

struct Fixture {
    std::string m_Folder = Folder();
    std::string m_Archive = m_Folder + "/bench.kxp";
    std::string m_Plain = m_Folder + "/stored.bin"; // the stored members' bytes, one file
    std::vector<std::vector<unsigned char>> m_Gzip; // the compressed members as stored
    int64_t m_CompressedBytes = 0;                  // their size after inflating

    Fixture() {
        ::mkdir(m_Folder.c_str(), 0700);
        Obj<Archive> archive = Archive::Create();
        archive->OpenNew(String(m_Archive.c_str()));
        archive->MakeDir(String("s"));
        archive->MakeDir(String("c"));
        archive->MakeDir(String("t"));
        std::vector<unsigned char> plain;
        // Sources are read again on Close: give each member a file of its own.
        auto addOwn = [&](const char* dir, int i, const std::vector<unsigned char>& bytes) {
            const std::string source = m_Folder + "/" + dir + std::to_string(i);
            WriteFile(source, bytes);
            const std::string name = std::string(dir) + "/" + std::to_string(i);
            archive->AddFile(String(name.c_str()), String(source.c_str()), String(), nullptr);
        };
        for (int i = 0; i < k_Stored; ++i) {
            std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(k_MemberSize, i);
            plain.insert(plain.end(), bytes.begin(), bytes.end());
            addOwn("s", i, bytes);
        }
        archive->SetStoreMode(Archive::StoreModeCompress, 0);
        for (int i = 0; i < k_Compressed; ++i) {
            addOwn("c", i, TextBytes(k_MemberSize, i));
            m_CompressedBytes += k_MemberSize;
        }
        archive->SetStoreMode(Archive::StoreModeStore, 0);
        archive->SetCryptMode(Archive::CryptModeTEA, 0, String(k_Key));
        for (int i = 0; i < k_Enciphered; ++i)
            addOwn("t", i, QuorlixBench::RandomBytes(k_MemberSize, 1000 + i));
        archive->Close();
        WriteFile(m_Plain, plain);
        // The compressed members as the archive stores them (made the same way), for the zlib
        // baseline.
        for (int i = 0; i < k_Compressed; ++i) {
            const std::string source = m_Folder + "/gz";
            std::vector<unsigned char> raw = TextBytes(k_MemberSize, i);
            gzFile out = gzopen(source.c_str(), "wb9");
            gzwrite(out, raw.data(), static_cast<unsigned>(raw.size()));
            gzclose(out);
            m_Gzip.push_back(ReadFileBytes(source));
        }
        // Into the page cache.
        ReadFileBytes(m_Archive);
        ReadFileBytes(m_Plain);
    }
    ~Fixture() { std::system(("rm -rf '" + m_Folder + "'").c_str()); }
};

Fixture& Data() {
    static Fixture s_Fixture;
    return s_Fixture;
}

int64_t ReadMembers(const char* dir, int count) {
    std::vector<char> block(k_Block);
    int64_t total = 0;
    for (int i = 0; i < count; ++i) {
        const std::string path = Data().m_Archive + "/" + dir + "/" + std::to_string(i);
        Obj<StreamPipe> pipe = Storage::OpenStream(String(path.c_str()), IOReadDefault);
        for (int n; (n = pipe->Read(block.data(), k_Block)) > 0;)
            total += n;
    }
    return total;
}

void BM_Posix_ReadPlainFile(benchmark::State& state) {
    std::vector<char> block(k_Block);
    int64_t total = 0;
    for (auto _ : state) {
        const int fd = ::open(Data().m_Plain.c_str(), O_RDONLY | O_CLOEXEC);
        total = 0;
        for (ssize_t n; (n = ::read(fd, block.data(), k_Block)) > 0;)
            total += n;
        ::close(fd);
    }
    state.SetBytesProcessed(state.iterations() * total);
}

// The stored members' chunks read straight from the archive file: the same pages of the page
// cache that the storage layer reads, so this isolates its own cost from how the kernel happens
// to cache one file or the other.
void BM_Posix_ReadArchiveRegion(benchmark::State& state) {
    std::vector<unsigned char> head(64);
    const int fd = ::open(Data().m_Archive.c_str(), O_RDONLY | O_CLOEXEC);
    ::pread(fd, head.data(), 64, 32);
    uint64_t indexLength = 0;
    std::memcpy(&indexLength, head.data() + 8, 8);
    ::close(fd);
    // The folders were made s, c, t: the stored members' chunks come first in the DATA body.
    const int64_t begin = static_cast<int64_t>(96 + indexLength + 32);
    const int64_t end = begin + int64_t{k_Stored} * (64 + k_MemberSize);
    std::vector<char> block(k_Block);
    int64_t total = 0;
    for (auto _ : state) {
        const int in = ::open(Data().m_Archive.c_str(), O_RDONLY | O_CLOEXEC);
        total = 0;
        for (int64_t at = begin; at < end;) {
            const ssize_t n = ::pread(in, block.data(), std::min<int64_t>(k_Block, end - at), at);
            if (n <= 0)
                break;
            at += n;
            total += n;
        }
        ::close(in);
    }
    state.SetBytesProcessed(state.iterations() * total);
}

void BM_Storage_ReadStored(benchmark::State& state) {
    int64_t total = 0;
    for (auto _ : state)
        total = ReadMembers("s", k_Stored);
    if (total != int64_t{k_Stored} * k_MemberSize)
        state.SkipWithError("short read");
    state.SetBytesProcessed(state.iterations() * total);
}

// What opening a member costs on its own: the name, the cache, the file, its FILE head.
void BM_Storage_OpenMember(benchmark::State& state) {
    const std::string path = Data().m_Archive + "/s/7";
    const String name(path.c_str());
    for (auto _ : state) {
        Obj<StreamPipe> pipe = Storage::OpenStream(name, IOReadDefault);
        benchmark::DoNotOptimize(pipe->Read());
    }
}

void BM_ZLib_InflateFromMemory(benchmark::State& state) {
    std::vector<unsigned char> block(k_Block);
    int64_t total = 0;
    for (auto _ : state) {
        total = 0;
        for (const auto& member : Data().m_Gzip) {
            z_stream z{};
            inflateInit2(&z, 16 + MAX_WBITS);
            z.next_in = const_cast<unsigned char*>(member.data());
            z.avail_in = static_cast<unsigned>(member.size());
            int status = Z_OK;
            while (status == Z_OK) {
                z.next_out = block.data();
                z.avail_out = k_Block;
                status = inflate(&z, Z_NO_FLUSH);
                total += k_Block - z.avail_out;
            }
            inflateEnd(&z);
        }
    }
    if (total != Data().m_CompressedBytes)
        state.SkipWithError("short inflate");
    state.SetBytesProcessed(state.iterations() * total);
}

void BM_Storage_ReadCompressed(benchmark::State& state) {
    int64_t total = 0;
    for (auto _ : state)
        total = ReadMembers("c", k_Compressed);
    if (total != Data().m_CompressedBytes)
        state.SkipWithError("short read");
    state.SetBytesProcessed(state.iterations() * total);
}

void BM_Storage_ReadEnciphered(benchmark::State& state) {
    int64_t total = 0;
    for (auto _ : state)
        total = ReadMembers("t", k_Enciphered);
    if (total != int64_t{k_Enciphered} * k_MemberSize)
        state.SkipWithError("short read");
    state.SetBytesProcessed(state.iterations() * total);
}

void BM_OpenSSL_ReadAndMD5(benchmark::State& state) {
    std::vector<unsigned char> block(k_Block);
    int64_t total = 0;
    unsigned char digest[EVP_MAX_MD_SIZE];
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    for (auto _ : state) {
        EVP_DigestInit_ex(context, EVP_md5(), nullptr);
        const int fd = ::open(Data().m_Archive.c_str(), O_RDONLY | O_CLOEXEC);
        total = 0;
        for (ssize_t n; (n = ::read(fd, block.data(), k_Block)) > 0;) {
            EVP_DigestUpdate(context, block.data(), static_cast<size_t>(n));
            total += n;
        }
        ::close(fd);
        unsigned size = 0;
        EVP_DigestFinal_ex(context, digest, &size);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(context);
    state.SetBytesProcessed(state.iterations() * total);
}

void BM_Archive_TestExisting(benchmark::State& state) {
    const int64_t size = static_cast<int64_t>(ReadFileBytes(Data().m_Archive).size());
    for (auto _ : state)
        if (Archive::TestExisting(String(Data().m_Archive.c_str()), 0) != nullptr)
            state.SkipWithError("verification failed");
    state.SetBytesProcessed(state.iterations() * size);
}

BENCHMARK(BM_Posix_ReadPlainFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Posix_ReadArchiveRegion)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Storage_ReadStored)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Storage_OpenMember)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ZLib_InflateFromMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Storage_ReadCompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Storage_ReadEnciphered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSSL_ReadAndMD5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Archive_TestExisting)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    Data();
    if (Archive::SetDefaultKey(String(k_Key)) != nullptr)
        return 1;
    const int result = QuorlixBench::RunAndCompare(
        argc, argv,
        {{"BM_Storage_ReadStored", "BM_Posix_ReadPlainFile", true},
         {"BM_Storage_ReadStored", "BM_Posix_ReadArchiveRegion", true},
         {"BM_Storage_ReadCompressed", "BM_ZLib_InflateFromMemory", true},
         {"BM_Archive_TestExisting", "BM_OpenSSL_ReadAndMD5", true}},
        {{"BM_Storage_ReadEnciphered", "at least 300 MB/s", 0, 300e6}});
    ExitStorage(1);
    return result;
}
