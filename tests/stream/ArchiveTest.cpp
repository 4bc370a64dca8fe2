// Archive files: the byte layout against a checked-in archive, round trips in every storage
// mode, updates, and damaged or hostile archives.

#include "quorlix/stream/Archive.h"
#include "quorlix/core/MD5.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <sys/resource.h>
#include <thread>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr const char* k_Key = "0123456789abcdefFEDCBA9876543210";
constexpr uint64_t k_FixedTime = 0x01D9000000000000ull;

struct Member {
    std::string m_Path;
    std::string m_Bytes;
    bool m_Compress = false;
    bool m_Encipher = false;
};

// Writes the members' sources below `dir` and packs them into `archivePath`.
Result Pack(const TempDir& dir, const std::string& archivePath, const std::vector<Member>& members,
            bool update = false) {
    Obj<Archive> archive = Archive::Create();
    Result opened = update ? archive->OpenUpdate(String(archivePath.c_str()))
                           : archive->OpenNew(String(archivePath.c_str()));
    if (opened != nullptr)
        return opened;
    archive->SetWriteTime(k_FixedTime);
    int n = 0;
    for (const Member& m : members) {
        const std::string source = dir / ("src/" + std::to_string(n++));
        WriteFileBytes(source, m.m_Bytes);
        String folder, name;
        EXPECT_EQ(archive->SplitPathName(String(m.m_Path.c_str()), folder, name), nullptr);
        EXPECT_EQ(archive->MakeDir(folder), nullptr);
        (void)archive->SetStoreMode(
            m.m_Compress ? Archive::StoreModeCompress : Archive::StoreModeStore, 0);
        (void)archive->SetCryptMode(m.m_Encipher ? Archive::CryptModeTEA : Archive::CryptModeNone,
                                    0, String(m.m_Encipher ? k_Key : ""));
        if (Result result = archive->AddFile(String(m.m_Path.c_str()), String(source.c_str()),
                                             String(), nullptr))
            return result;
    }
    (void)archive->SetCryptMode(Archive::CryptModeTEA, 0, String(k_Key)); // the key readers get
    return archive->Close();
}

std::string ReadPipe(StreamPipe* raw) {
    Obj<StreamPipe> pipe = raw;
    std::string bytes;
    char buffer[5000];
    for (int n; pipe && (n = pipe->Read(buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<size_t>(n));
    return bytes;
}

std::string ReadMember(Archive& archive, const std::string& path, Result* outcome = nullptr) {
    Result result = nullptr;
    std::string bytes = ReadPipe(archive.OpenStream(String(path.c_str()), IOReadDefault, result));
    if (outcome != nullptr)
        *outcome = result;
    return bytes;
}

Obj<Archive> OpenForReading(const std::string& path, Result* outcome = nullptr) {
    Obj<Archive> archive = Archive::Create();
    Result result = archive->OpenExisting(String(path.c_str()));
    EXPECT_EQ(archive->SetCryptMode(Archive::CryptModeTEA, 0, String(k_Key)), nullptr);
    if (outcome != nullptr)
        *outcome = result;
    return archive;
}

std::string Compressible(size_t n) {
    std::string text;
    while (text.size() < n)
        text += "the quick brown fox " + std::to_string(text.size() % 97) + "\n";
    text.resize(n);
    return text;
}

uint32_t U32(const std::string& bytes, size_t at) {
    uint32_t v;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

uint64_t U64(const std::string& bytes, size_t at) {
    uint64_t v;
    std::memcpy(&v, bytes.data() + at, 8);
    return v;
}

void Put32(std::string& bytes, size_t at, uint32_t v) {
    std::memcpy(bytes.data() + at, &v, 4);
}

void Put64(std::string& bytes, size_t at, uint64_t v) {
    std::memcpy(bytes.data() + at, &v, 8);
}

const std::vector<Member> k_GoldenTree = {
    {"empty.txt", ""},
    {"docs/33.bin", std::string(33, 'x')},
    {"docs/deep/64.bin", Pattern().substr(0, 64)},
    {"docs/packed.txt", Compressible(1000), true},
    {"secret.bin", "thirteen byte", false, true},
};

TEST(Archive, ValidatesPathsKeysAndSplits) {
    Obj<Archive> archive = Archive::Create();
    const std::pair<const char*, Result> paths[] = {
        {"a/b.txt", nullptr},
        {"a\\b", RArchiveIllegalPathSeparator},
        {"a/b:c", RArchiveIllegalPathCharacter},
        {"x?y", RArchiveIllegalPathCharacter},
        {"a//b", RArchiveIllegalPathEmpty},
        {"/etc/passwd", RArchiveIllegalPathEmpty},
        {"a/./b", RArchiveIllegalPathDot},
        {"a/b.", RArchiveIllegalPathDot},
        {"..", RArchiveIllegalPathDot},
        {"../x", RArchiveIllegalPathDot},
        {".hidden/x.y", nullptr},
    };
    for (const auto& [path, result] : paths)
        EXPECT_EQ(archive->ValidateFileName(String(path)), result) << path;
    EXPECT_EQ(archive->ValidateFileName(String("a\0b", 3)), RArchiveIllegalPathCharacter);

    const std::tuple<int, const char*, Result> keys[] = {
        {0, "", nullptr},
        {0, "00", RArchiveInvalidKey},
        {1, k_Key, nullptr},
        {1, "0123456789abcdef0123456789abcde", RArchiveInvalidKey},
        {1, "0123456789abcdef0123456789abcdef0", RArchiveInvalidKey},
        {1, "0123456789abcdef0123456789abcdeg", RArchiveInvalidKey},
    };
    for (const auto& [mode, key, result] : keys)
        EXPECT_EQ(archive->SetCryptMode(Archive::CryptMode(mode), 0, String(key)), result) << key;
    unsigned words[4];
    ASSERT_TRUE(ParseArchiveKey(String(k_Key), words));
    EXPECT_EQ(words[0], 0x01234567u);
    EXPECT_EQ(words[3], 0x76543210u);

    String dir, name;
    EXPECT_EQ(archive->SplitPathName(String("a/b/c.txt"), dir, name), nullptr);
    EXPECT_EQ(dir, "a/b");
    EXPECT_EQ(name, "c.txt");
    EXPECT_EQ(archive->SplitPathName(String("top"), dir, name), nullptr);
    EXPECT_EQ(dir, "");
    EXPECT_EQ(name, "top");
}

// The layout is fixed byte for byte by a checked-in archive, whose chunks, digests and padding
// the next test checks.
TEST(Archive, WritesTheCheckedInLayout) {
    TempDir dir;
    const std::string path = dir / "golden.kxp";
    ASSERT_EQ(Pack(dir, path, k_GoldenTree), nullptr);
    const std::string bytes = ReadFileBytes(path);
    const std::string golden = ReadFileBytes(QUORLIX_TEST_DATA "/stream/Golden.kxp");
    if (std::getenv("QUORLIX_UPDATE_GOLDEN") != nullptr)
        WriteFileBytes(QUORLIX_TEST_DATA "/stream/Golden.kxp", bytes);
    EXPECT_TRUE(bytes == golden) << "archive layout changed";

    ASSERT_EQ(bytes.substr(0, 4), std::string("KXP\2", 4));
    EXPECT_EQ(U64(bytes, 8), bytes.size() - 32);
    EXPECT_EQ(U64(bytes, 16), k_FixedTime);
    EXPECT_EQ(bytes.substr(96 + U64(bytes, 40) + 4, 4), "DATA");
    EXPECT_EQ(Archive::TestExisting(String(path.c_str()), 0), nullptr);
}

// The checked-in archive read back with the reader alone: what every member is, its bytes and
// digests, so that archives written by earlier versions stay readable whatever the writer does.
TEST(Archive, ReadsTheCheckedInArchive) {
    const std::string path = QUORLIX_TEST_DATA "/stream/Golden.kxp";
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 1472u);
    EXPECT_EQ(Archive::TestExisting(String(path.c_str()), 0), nullptr);
    Obj<Archive> archive = OpenForReading(path);
    ASSERT_TRUE(archive->IsOpen());

    Array<String> all;
    ASSERT_EQ(archive->ListFiles(all, String(""), Archive::ListRecursive), nullptr);
    std::vector<std::string> names;
    for (const String& name : all)
        names.emplace_back(name.GetCPtr());
    EXPECT_EQ(names,
              (std::vector<std::string>{"docs/", "docs/deep/", "docs/deep/64.bin", "docs/33.bin",
                                        "docs/packed.txt", "empty.txt", "secret.bin"}));
    int64_t first = 0, second = 0;
    EXPECT_EQ(archive->GetFileTime(String(""), first, second), nullptr);
    EXPECT_EQ(first, int64_t(k_FixedTime));
    EXPECT_EQ(archive->GetFileTime(String("docs/deep/"), first, second), nullptr);
    EXPECT_EQ(second, int64_t(k_FixedTime));

    const std::string pattern64 = Pattern().substr(0, 64), text = Compressible(1000);
    struct Expected {
        const char* m_Name;
        std::string m_Bytes;
        uint64_t m_Stored;
        unsigned m_Flags;
    };
    const Expected members[] = {
        {"empty.txt", "", 0, 0},
        {"secret.bin", "thirteen byte", 16, Archive::FlagCipherTEA},
        {"docs/33.bin", std::string(33, 'x'), 33, 0},
        {"docs/packed.txt", text, 156, Archive::FlagCompressZLib},
        {"docs/deep/64.bin", pattern64, 64, 0},
    };
    // The FILE chunks in DATA order (pre-order: root files, docs, docs/deep), each checked
    // against its own digest here, independently of TestExisting.
    size_t at = 96 + U64(bytes, 40) + 32;
    for (const Expected& member : members) {
        SCOPED_TRACE(member.m_Name);
        Archive::FileInfo info;
        ASSERT_EQ(archive->GetFileInfo(String(member.m_Name), info), nullptr);
        EXPECT_EQ(info.m_StoredLength, member.m_Stored);
        EXPECT_EQ(info.m_Flags, member.m_Flags);
        EXPECT_EQ(info.m_PlainLength, member.m_Flags == Archive::FlagCipherTEA
                                          ? member.m_Bytes.size()
                                          : member.m_Stored);
        EXPECT_EQ(info.m_First, int64_t(k_FixedTime));
        EXPECT_EQ(info.m_Second, int64_t(k_FixedTime));
        Result result = RArchiveFatal;
        EXPECT_EQ(ReadMember(*archive, member.m_Name, &result), member.m_Bytes);
        EXPECT_EQ(result, nullptr);

        ASSERT_EQ(bytes.substr(at, 8), std::string("KXP\2FILE", 8));
        ASSERT_EQ(U64(bytes, at + 8), member.m_Stored);
        EXPECT_EQ(U32(bytes, at + 28), member.m_Flags);
        MD5Generator digest;
        digest.Update(bytes.data() + at, 32);
        digest.Update(bytes.data() + at + 64, static_cast<int64_t>(member.m_Stored));
        MD5 sum;
        digest.Final(sum);
        EXPECT_EQ(std::memcmp(sum.m_Bytes, bytes.data() + at + 48, 16), 0);
        const size_t padding = (32 - member.m_Stored % 32) % 32;
        EXPECT_EQ(bytes.substr(at + 64 + member.m_Stored, padding), std::string(padding, '\0'));
        at += 64 + member.m_Stored + padding;
    }
    EXPECT_EQ(at, bytes.size());
    // The index digest, both copies.
    MD5Generator digest;
    digest.Update(bytes.data() + 32, 32);
    digest.Update(bytes.data() + 96, static_cast<int64_t>(U64(bytes, 40)));
    MD5 sum;
    digest.Final(sum);
    EXPECT_EQ(std::memcmp(sum.m_Bytes, bytes.data() + 64, 16), 0);
    EXPECT_EQ(std::memcmp(sum.m_Bytes, bytes.data() + 80, 16), 0);
}

TEST(Archive, ReadsListsAndDatesWhatItWrote) {
    TempDir dir;
    const std::string path = dir / "a.kxp";
    ASSERT_EQ(Pack(dir, path, k_GoldenTree), nullptr);
    Obj<Archive> archive = OpenForReading(path);
    for (const Member& m : k_GoldenTree)
        EXPECT_EQ(ReadMember(*archive, m.m_Path), m.m_Bytes) << m.m_Path;

    // The whole listing and the folders' dates are the checked-in archive's (above).
    Array<String> docs;
    ASSERT_EQ(archive->ListFiles(docs, String("docs"), 0), nullptr);
    EXPECT_EQ(docs.Size(), 3);
    EXPECT_EQ(archive->ListFiles(docs, String("nope"), 0), RArchiveFileNotFound);

    int64_t first = 1, second = 1;
    EXPECT_EQ(archive->GetFileTime(String("docs/33.bin"), first, second), nullptr);
    EXPECT_EQ(first, int64_t(k_FixedTime));
    EXPECT_EQ(archive->GetFileTime(String("docs/none/"), first, second), RArchiveFileNotFound);
    EXPECT_EQ(first, 0);

    Result result = nullptr;
    EXPECT_EQ(archive->OpenStream(String(""), IOReadDefault, result), nullptr);
    EXPECT_EQ(result, RArchiveFileNotFound);
    EXPECT_EQ(archive->OpenStream(String("docs"), IOReadDefault, result), nullptr);
    EXPECT_EQ(result, RArchiveFileNotFound);
    {
        LogCapture log;
        EXPECT_EQ(ReadMember(*archive, "docs/33.bin", &result), std::string(33, 'x'));
        EXPECT_EQ(ReadPipe(archive->OpenStream(String("empty.txt"), 3, result)), "");
        ASSERT_EQ(log.Messages().size(), 1u);
        EXPECT_EQ(log.Messages()[0], "[Warn ]Archive::OpenStream(): stream io mode other than "
                                     "IOReadDefault is not supported.");
    }
    // A seek to 0 of an enciphered member works.
    Obj<StreamPipe> pipe = archive->OpenStream(String("secret.bin"), IOReadDefault, result);
    pipe->Skip(5);
    EXPECT_EQ(pipe->Seek(0, SeekBegin), 0);
    EXPECT_EQ(pipe->Read(), 't');

    // Without the key, enciphered members are refused and the others still read.
    Obj<Archive> keyless = Archive::Create();
    ASSERT_EQ(keyless->OpenExisting(String(path.c_str())), nullptr);
    ReadMember(*keyless, "secret.bin", &result);
    EXPECT_EQ(result, RArchiveInvalidKey);
    EXPECT_EQ(ReadMember(*keyless, "docs/packed.txt"), Compressible(1000));
    (void)keyless->Close();
    ReadMember(*keyless, "docs/33.bin", &result);
    EXPECT_EQ(result, RArchiveNotOpen);
    // A default key reaches archives opened after it is set.
    EXPECT_EQ(Archive::SetDefaultKey(String("xyz")), RArchiveInvalidKey);
    EXPECT_EQ(Archive::SetDefaultKey(String(k_Key)), nullptr);
    ASSERT_EQ(keyless->OpenExisting(String(path.c_str())), nullptr);
    EXPECT_EQ(Archive::SetDefaultKey(String("")), nullptr);
    EXPECT_EQ(ReadMember(*keyless, "secret.bin"), "thirteen byte");
    // A wrong key: compressed members are caught by their missing gzip magic.
    const std::vector<Member> packedSecret = {{"p.txt", Compressible(400), true, true}};
    const std::string other = dir / "k.kxp";
    ASSERT_EQ(Pack(dir, other, packedSecret), nullptr);
    Obj<Archive> wrongKey = Archive::Create();
    ASSERT_EQ(wrongKey->OpenExisting(String(other.c_str())), nullptr);
    EXPECT_EQ(wrongKey->SetCryptMode(Archive::CryptModeTEA, 0,
                                     String("ffffffffffffffffffffffffffffffff")),
              nullptr);
    {
        LogCapture log;
        EXPECT_EQ(ReadMember(*wrongKey, "p.txt", &result), "");
        EXPECT_EQ(result, RArchiveInvalidKey);
    }
    EXPECT_EQ(ReadMember(*OpenForReading(other), "p.txt"), Compressible(400));
    // Streams outlive their archive.
    Obj<StreamPipe> kept = archive->OpenStream(String("docs/packed.txt"), IOReadDefault, result);
    archive = nullptr;
    EXPECT_EQ(ReadPipe(kept.Handover()), Compressible(1000));
}

// A stored member's pipe reads, peeks, skips and seeks inside the member only, whatever mix of
// small buffered and large direct reads the caller makes; the next member's bytes follow it in
// the file and must never show.
TEST(Archive, StoredMembersReadPeekSkipAndSeekWithinTheirRange) {
    TempDir dir;
    const std::string path = dir / "m.kxp";
    const std::string big = Pattern();
    ASSERT_EQ(Pack(dir, path, {{"big.bin", big}, {"small.bin", "0123456789"}, {"z", "ZZZZ"}}),
              nullptr);
    Obj<Archive> archive = OpenForReading(path);
    Result result = nullptr;
    Obj<StreamPipe> pipe = archive->OpenStream(String("big.bin"), IOReadDefault, result);
    ASSERT_TRUE(pipe);
    auto at = [&](size_t i) { return static_cast<unsigned char>(big[i]); };
    uint64_t created = 0, accessed = 0, written = 0;
    pipe->GetFileTime(created, accessed, written);
    EXPECT_EQ(created, k_FixedTime);
    EXPECT_EQ(accessed, k_FixedTime);
    EXPECT_EQ(written, k_FixedTime);
    EXPECT_EQ(pipe->Peek(), at(0));
    EXPECT_EQ(pipe->PeekAt(8191), at(8191));
    EXPECT_EQ(pipe->PeekAt(8192), -2);
    EXPECT_EQ(pipe->Read(), at(0));
    std::string bytes(30000, '\0');
    // Small from the buffer, then one larger than the buffer partly from it, then the rest.
    EXPECT_EQ(pipe->Read(bytes.data(), 9), 9);
    EXPECT_EQ(bytes.substr(0, 9), big.substr(1, 9));
    EXPECT_EQ(ReadFully(*pipe, bytes.data(), 9000), 9000);
    EXPECT_EQ(bytes.substr(0, 9000), big.substr(10, 9000));
    EXPECT_EQ(pipe->Skip(990), 990);
    EXPECT_EQ(pipe->Seek(0, SeekCurrent), 10000);
    EXPECT_EQ(pipe->Read(), at(10000));
    // Near the end: peeks stop at the member's end, reads and skips deliver only what is left.
    EXPECT_EQ(pipe->Seek(-5, SeekEnd), 19995);
    EXPECT_EQ(pipe->PeekAt(4), at(19999));
    EXPECT_EQ(pipe->PeekAt(5), -1);
    EXPECT_EQ(pipe->Read(bytes.data(), 100), 5);
    EXPECT_EQ(bytes.substr(0, 5), big.substr(19995));
    EXPECT_EQ(pipe->Read(), -1);
    EXPECT_EQ(pipe->Peek(), -1);
    EXPECT_EQ(pipe->Read(bytes.data(), 100), 0);
    EXPECT_EQ(pipe->Seek(-3, SeekEnd), 19997);
    EXPECT_EQ(pipe->Skip(1000), 3);
    // Seeks are clamped to the member.
    EXPECT_EQ(pipe->Seek(100, SeekEnd), 20000);
    EXPECT_EQ(pipe->Seek(-1000000, SeekCurrent), 0);
    EXPECT_EQ(pipe->Read(bytes.data(), 100), 100);
    EXPECT_EQ(pipe->Seek(50, SeekBegin), 50);
    EXPECT_EQ(pipe->Read(), at(50));
    EXPECT_EQ(pipe->Seek(0, 7), -1);
    EXPECT_EQ(pipe->Write("x", 1), 0);
    // A whole read of a large member in one call.
    ASSERT_EQ(pipe->Seek(0, SeekBegin), 0);
    EXPECT_EQ(ReadFully(*pipe, bytes.data(), 30000), 20000);
    EXPECT_EQ(bytes.substr(0, 20000), big);

    Obj<StreamPipe> small = archive->OpenStream(String("small.bin"), IOReadDefault, result);
    ASSERT_TRUE(small);
    EXPECT_EQ(small->PeekAt(9), '9');
    EXPECT_EQ(small->PeekAt(10), -1);
    EXPECT_EQ(small->Skip(4), 4);
    EXPECT_EQ(ReadPipe(small.Handover()), "456789");

    // Members opened one after the other reuse a few open handles on the archive, which go
    // when it closes; pipes still out keep theirs and read on.
    auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    pipe = nullptr;
    const auto before = openFiles();
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(ReadMember(*archive, "z"), "ZZZZ");
        Obj<StreamPipe> a = archive->OpenStream(String("z"), IOReadDefault, result);
        Obj<StreamPipe> b = archive->OpenStream(String("small.bin"), IOReadDefault, result);
        EXPECT_EQ(a->Read(), 'Z');
        EXPECT_EQ(b->Read(), '0');
    }
    EXPECT_LE(openFiles(), before + 2);
    Obj<StreamPipe> kept = archive->OpenStream(String("small.bin"), IOReadDefault, result);
    ASSERT_EQ(archive->Close(), nullptr);
    EXPECT_LE(openFiles(), before + 1);
    EXPECT_EQ(ReadPipe(kept.Handover()), "0123456789");
    EXPECT_LE(openFiles(), before);
}

// Every way MakeDir can fail gives RArchiveFatal with the reason logged, and changes nothing.
TEST(Archive, MakeDirFailuresAreFatal) {
    TempDir dir;
    const std::string path = dir / "d.kxp";
    Obj<Archive> archive = Archive::Create();
    {
        LogCapture log;
        EXPECT_EQ(archive->MakeDir(String("a")), RArchiveFatal);
        EXPECT_NE(log.Text().find("Archive::MakeDir: \"a\": the archive is not open for update."),
                  std::string::npos)
            << log.Text();
    }
    ASSERT_EQ(archive->OpenNew(String(path.c_str())), nullptr);
    archive->SetWriteTime(k_FixedTime);
    EXPECT_EQ(archive->MakeDir(String("a/b/c")), nullptr);
    EXPECT_EQ(archive->MakeDir(String("a/b")), nullptr); // already there
    EXPECT_EQ(archive->MakeDir(String("")), nullptr);    // the root
    WriteFileBytes(dir / "f", "file");
    ASSERT_EQ(archive->AddFile(String("a/f"), String((dir / "f").c_str()), String(), nullptr),
              nullptr);
    for (const char* bad : {"a\\x", "a//x", "a/./x", "x/..", "/x", "a:x", "a/f", "a/f/g"}) {
        LogCapture log;
        EXPECT_EQ(archive->MakeDir(String(bad)), RArchiveFatal) << bad;
        EXPECT_NE(log.Text().find("Archive::MakeDir: "), std::string::npos) << bad;
    }
    {
        LogCapture log;
        EXPECT_EQ(archive->MakeDir(String("a/f/g")), RArchiveFatal);
        EXPECT_NE(log.Text().find("\"a/f/g\": a file of that name is in the way."),
                  std::string::npos)
            << log.Text();
    }
    ASSERT_EQ(archive->Close(), nullptr);

    // Nothing of the refused paths reached the archive; reading it is no update either.
    Obj<Archive> reader = OpenForReading(path);
    Array<String> all;
    ASSERT_EQ(reader->ListFiles(all, String(""), Archive::ListRecursive), nullptr);
    std::vector<std::string> names;
    for (const String& s : all)
        names.emplace_back(s.GetCPtr());
    EXPECT_EQ(names, (std::vector<std::string>{"a/", "a/b/", "a/b/c/", "a/f"}));
    LogCapture log;
    EXPECT_EQ(reader->MakeDir(String("new")), RArchiveFatal);
}

// Compressed members are the gzip stream zlib's gzip file interface writes at level 9, byte for
// byte, whether they are compressed in memory (the default) or through a given temporary file;
// members that do not shrink by 32 bytes are stored as they are.
TEST(Archive, CompressedMembersAreTheGzipFileInterfaceBytes) {
    TempDir dir;
    std::mt19937 random(11);
    std::vector<std::string> sources;
    for (const size_t size : {size_t{33}, size_t{100}, size_t{5000}, size_t{65536}, size_t{65537},
                              size_t{300000}, size_t{1} << 21}) {
        std::string text = Compressible(size);
        for (size_t i = 0; i < size; i += 1 + random() % 64)
            text[i] = static_cast<char>(random()); // less regular than the plain text
        sources.push_back(text);
    }
    std::string noise(20000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    sources.push_back(noise); // does not shrink by 32 bytes: stored
    auto gzipped = [&](const std::string& bytes) {
        const std::string file = dir / "reference.gz";
        gzFile out = gzopen(file.c_str(), "wb9");
        EXPECT_NE(out, nullptr);
        EXPECT_EQ(gzwrite(out, bytes.data(), static_cast<unsigned>(bytes.size())),
                  static_cast<int>(bytes.size()));
        EXPECT_EQ(gzclose(out), Z_OK);
        return ReadFileBytes(file);
    };
    for (const bool throughFile : {false, true}) {
        const std::string path = dir / (throughFile ? "file.kxp" : "memory.kxp");
        Obj<Archive> archive = Archive::Create();
        ASSERT_EQ(archive->OpenNew(String(path.c_str())), nullptr);
        EXPECT_EQ(archive->SetStoreMode(Archive::StoreModeCompress, 0), nullptr);
        for (size_t i = 0; i < sources.size(); ++i) {
            const std::string source = dir / ("s" + std::to_string(i));
            WriteFileBytes(source, sources[i]);
            const std::string temporary = throughFile ? dir / ("t" + std::to_string(i)) : "";
            LogCapture quiet(Xerr);
            ASSERT_EQ(archive->AddFile(String(("m" + std::to_string(i)).c_str()),
                                       String(source.c_str()), String(temporary.c_str()), nullptr),
                      nullptr);
        }
        ASSERT_EQ(archive->Close(), nullptr);
        EXPECT_FALSE(std::filesystem::exists(dir / "t0")); // given temporaries are gone too

        Obj<Archive> reader = OpenForReading(path);
        const std::string bytes = ReadFileBytes(path);
        for (size_t i = 0; i < sources.size(); ++i) {
            const std::string name = "m" + std::to_string(i);
            Archive::FileInfo info;
            ASSERT_EQ(reader->GetFileInfo(String(name.c_str()), info), nullptr);
            const std::string reference = gzipped(sources[i]);
            const bool stored = reference.size() + 31 >= sources[i].size();
            if (sources[i].size() >= 5000) {
                EXPECT_EQ(stored, i + 1 == sources.size()) << name;
            }
            EXPECT_EQ(info.m_Flags, stored ? 0u : unsigned{Archive::FlagCompressZLib}) << name;
            // Members follow each other in the DATA body in the order they were added.
            size_t at = 96 + U64(bytes, 40) + 32;
            for (size_t j = 0; j < i; ++j)
                at += 64 + (U64(bytes, at + 8) + 31) / 32 * 32;
            const std::string member = bytes.substr(at + 64, U64(bytes, at + 8));
            EXPECT_TRUE(member == (stored ? sources[i] : reference))
                << name << (throughFile ? " through a file" : " in memory");
            EXPECT_EQ(ReadMember(*reader, name), sources[i]) << name;
        }
    }
}

TEST(Archive, RoundTripsRandomTreesInEveryMode) {
    std::mt19937 random(7);
    TempDir dir;
    std::vector<Member> members;
    for (int i = 0; i < 24; ++i) {
        Member m;
        m.m_Path = "d" + std::to_string(random() % 4) + "/s" + std::to_string(random() % 3) + "/f" +
                   std::to_string(i);
        const size_t sizes[] = {0, 1, 7, 8, 31, 32, 33, 4096, 70000, 1 << 20};
        const size_t size = sizes[random() % 10];
        m.m_Bytes = random() % 2 ? Compressible(size) : Pattern().substr(0, size % 20000);
        m.m_Compress = random() % 2;
        m.m_Encipher = random() % 2;
        members.push_back(m);
    }
    const std::string path = dir / "r.kxp";
    {
        LogCapture quiet(Xerr);
        ASSERT_EQ(Pack(dir, path, members), nullptr);
    }
    EXPECT_EQ(Archive::TestExisting(String(path.c_str()), 0), nullptr);
    Obj<Archive> archive = OpenForReading(path);
    for (const Member& m : members)
        EXPECT_EQ(ReadMember(*archive, m.m_Path), m.m_Bytes) << m.m_Path;

    // Several threads read different members of one archive at once.
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (size_t i = t; i < members.size(); i += 4)
                    if (ReadMember(*archive, members[i].m_Path) != members[i].m_Bytes)
                        ++wrong;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST(Archive, UpdateKeepsOldMembersByteForByte) {
    TempDir dir;
    const std::string path = dir / "u.kxp";
    ASSERT_EQ(Pack(dir, path, k_GoldenTree), nullptr);
    const std::string before = ReadFileBytes(path);
    const uint64_t oldData = 96 + U64(before, 40) + 32;
    const std::vector<Member> added = {{"docs/new.txt", "new file"},
                                       {"z/late.bin", Compressible(500), true}};
    ASSERT_EQ(Pack(dir, path, added, true), nullptr);
    const std::string after = ReadFileBytes(path);
    const uint64_t newData = 96 + U64(after, 40) + 32;
    EXPECT_EQ(Archive::TestExisting(String(path.c_str()), 0), nullptr);
    // Each old chunk appears unchanged in the new DATA body.
    for (size_t at = oldData; at < before.size();) {
        const uint64_t size = 64 + (U64(before, at + 8) + 31) / 32 * 32;
        EXPECT_NE(after.find(before.substr(at, size), newData), std::string::npos);
        at += size;
    }
    Obj<Archive> archive = OpenForReading(path);
    for (const Member& m : k_GoldenTree)
        EXPECT_EQ(ReadMember(*archive, m.m_Path), m.m_Bytes) << m.m_Path;
    for (const Member& m : added)
        EXPECT_EQ(ReadMember(*archive, m.m_Path), m.m_Bytes) << m.m_Path;

    // The rewritten archive keeps the old file's permissions.
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    ASSERT_EQ(Pack(dir, path, {{"more.txt", "x"}}, true), nullptr);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));

    // Adding a name twice, into a missing folder, or to a closed archive is refused.
    Obj<Archive> again = Archive::Create();
    ASSERT_EQ(again->OpenUpdate(String(path.c_str())), nullptr);
    EXPECT_EQ(again->AddFile(String("docs/new.txt"), String(path.c_str()), String(), nullptr),
              RArchiveFileExists);
    EXPECT_EQ(again->AddFile(String("nope/x"), String(path.c_str()), String(), nullptr),
              RArchiveFileNotFound);
    EXPECT_EQ(again->AddFile(String("docs/"), String(path.c_str()), String(), nullptr),
              RArchiveIllegalPathEmpty);
    const std::string unchanged = ReadFileBytes(path);
    (void)again->Close();
    EXPECT_EQ(ReadFileBytes(path), unchanged);
    EXPECT_EQ(again->AddFile(String("x"), String(path.c_str()), String(), nullptr),
              RArchiveNotOpen);
}

// A source that changes size between AddFile and Close is written with its recorded length, and
// Close says so; a write that fails leaves the old archive as it was.
TEST(Archive, CloseReportsChangedSourcesAndKeepsTheOldArchiveOnFailure) {
    TempDir dir;
    const std::string path = dir / "c.kxp";
    const std::string source = dir / "grows.txt";
    WriteFileBytes(source, "12345");
    {
        Obj<Archive> archive = Archive::Create();
        ASSERT_EQ(archive->OpenNew(String(path.c_str())), nullptr);
        ASSERT_EQ(archive->AddFile(String("g"), String(source.c_str()), String(), nullptr),
                  nullptr);
        ASSERT_EQ(archive->AddFile(String("h"), String(source.c_str()), String(), nullptr),
                  nullptr);
        WriteFileBytes(source, "123456789");
        LogCapture log;
        EXPECT_EQ(archive->Close(), RArchiveFatal);
        EXPECT_NE(log.Text().find("file size changed during archive update?"), std::string::npos);
    }
    EXPECT_EQ(Archive::TestExisting(String(path.c_str()), 0), nullptr);
    EXPECT_EQ(ReadMember(*OpenForReading(path), "g"), "12345");

    const std::string before = ReadFileBytes(path);
    WriteFileBytes(source, std::string(300000, 'b'));
    Obj<Archive> archive = Archive::Create();
    ASSERT_EQ(archive->OpenUpdate(String(path.c_str())), nullptr);
    ASSERT_EQ(archive->AddFile(String("big"), String(source.c_str()), String(), nullptr), nullptr);
    // Files may not grow past 100 KB while the archive is written.
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    Result result;
    {
        LogCapture log;
        result = archive->Close();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(result, RArchiveFatal);
    EXPECT_EQ(ReadFileBytes(path), before);
    int entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        entries += entry.path().filename().string().rfind("~$", 0) == 0;
    EXPECT_EQ(entries, 0) << "temporary file left behind";
}

// Damaged archives: every cut and every patched field gives a result and a log line, never a
// crash; members the damage does not reach still read.
TEST(Archive, AnswersTruncationAtEveryChunkBoundary) {
    TempDir dir;
    const std::string path = dir / "t.kxp";
    ASSERT_EQ(Pack(dir, path, k_GoldenTree), nullptr);
    const std::string bytes = ReadFileBytes(path);
    const std::string cut = dir / "cut.kxp";
    LogCapture log;
    for (size_t size = 0; size < bytes.size(); size += (size % 32 == 0 ? 1 : 31)) {
        WriteFileBytes(cut, bytes.substr(0, size));
        Result result = nullptr;
        OpenForReading(cut, &result);
        EXPECT_NE(result, nullptr) << size;
        EXPECT_NE(Archive::TestExisting(String(cut.c_str()), 0), nullptr) << size;
    }
    WriteFileBytes(cut, bytes.substr(0, bytes.size() - 1));
    Result result = nullptr;
    OpenForReading(cut, &result);
    EXPECT_EQ(result, RArchiveCorrupted);
    EXPECT_NE(log.Text().find("damaged archive: archive file size invalid (" +
                              std::to_string(bytes.size() - 1) + " instead of " +
                              std::to_string(bytes.size()) + ")."),
              std::string::npos);
}

TEST(Archive, AnswersDamagedIndexAndMembers) {
    TempDir dir;
    const std::string path = dir / "p.kxp";
    ASSERT_EQ(Pack(dir, path, k_GoldenTree), nullptr);
    const std::string bytes = ReadFileBytes(path);
    const size_t root = 96 + 32; // the root SDIR head
    const uint32_t rootFiles = U32(bytes, root + 36);
    const uint32_t rootPool = U32(bytes, root + 40);
    const size_t data = 96 + U64(bytes, 40);
    const size_t firstChunk = data + 32;
    const std::string damaged = dir / "d.kxp";
    struct Case {
        const char* m_What;
        std::function<void(std::string&)> m_Patch;
        Result m_Open;
        const char* m_Log;
    };
    const Case cases[] = {
        {"index length past the file", [&](std::string& b) { Put64(b, 40, 1ull << 40); },
         RArchiveCorrupted, "INDX invalid."},
        {"file count past the index", [&](std::string& b) { Put32(b, root + 36, 0x10000000); },
         RArchiveCorrupted, "SDIR invalid file stat."},
        {"subdirectory count past the index",
         [&](std::string& b) { Put32(b, root + 32, 0xFFFFFFFF); }, RArchiveCorrupted,
         "SDIR invalid sdir nameoffs."},
        {"pool past the index", [&](std::string& b) { Put32(b, root + 40, 0x7FFFFFFF); },
         RArchiveCorrupted, "SDIR invalid name."},
        {"name offset outside the pool", [&](std::string& b) { Put32(b, root + 64, rootPool); },
         RArchiveCorrupted, "SDIR invalid name."},
        {"name without its NUL",
         [&](std::string& b) {
             const size_t pool = root + 64 + 68 * rootFiles + 12 * U32(b, root + 32);
             std::memset(b.data() + pool, 'n', rootPool);
         },
         RArchiveCorrupted, "SDIR invalid name."},
        {"SDIR magic", [&](std::string& b) { b[root + 4] = 'X'; }, RArchiveInvalidChunkID,
         "SDIR invalid."},
        {"DATA magic", [&](std::string& b) { b[data + 5] = 'X'; }, RArchiveInvalidChunkID,
         "DATA invalid."},
    };
    LogCapture log;
    for (const Case& c : cases) {
        std::string patched = bytes;
        c.m_Patch(patched);
        WriteFileBytes(damaged, patched);
        Result result = nullptr;
        OpenForReading(damaged, &result);
        EXPECT_EQ(result, c.m_Open) << c.m_What;
        EXPECT_NE(log.Text().find(std::string("damaged archive: ") + c.m_Log), std::string::npos)
            << c.m_What;
        EXPECT_NE(Archive::TestExisting(String(damaged.c_str()), 0), nullptr) << c.m_What;
    }

    // Member damage leaves the index intact: the member fails, the others read.
    std::string patched = bytes;
    Put64(patched, firstChunk + 8, 99); // FILE head length differs from its record
    WriteFileBytes(damaged, patched);
    Result result = nullptr;
    Obj<Archive> archive = OpenForReading(damaged, &result);
    ASSERT_EQ(result, nullptr);
    ReadMember(*archive, "empty.txt", &result);
    EXPECT_EQ(result, RArchiveCorrupted);
    EXPECT_NE(log.Text().find("damaged archive: FILE size different from SDIR size."),
              std::string::npos);
    EXPECT_EQ(ReadMember(*archive, "docs/33.bin"), std::string(33, 'x'));
    EXPECT_NE(Archive::TestExisting(String(damaged.c_str()), 0), nullptr);

    // Unknown storage codes and a chunk offset beyond the DATA body are damage too.
    patched = bytes;
    Put32(patched, firstChunk + 28, 2);
    WriteFileBytes(damaged, patched);
    ReadMember(*OpenForReading(damaged), "empty.txt", &result);
    EXPECT_EQ(result, RArchiveCorrupted);
    patched = bytes;
    Put64(patched, root + 64 + 56, 1ull << 50);
    WriteFileBytes(damaged, patched);
    ReadMember(*OpenForReading(damaged), "empty.txt", &result);
    EXPECT_EQ(result, RArchiveCorrupted);

    // An enciphered member cut to 13 bytes: one whole block deciphers, the rest passes as it is.
    patched = bytes;
    Put64(patched, root + 64 + 64 + 48, 13);
    Put64(patched, firstChunk + 64 + 8, 13);
    WriteFileBytes(damaged, patched);
    const std::string cutMember = ReadMember(*OpenForReading(damaged), "secret.bin", &result);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(cutMember.substr(0, 8), "thirteen");
    EXPECT_EQ(cutMember.size(), 13u);
    // Archives that do not record the length before enciphering read whole blocks.
    patched = bytes;
    Put64(patched, firstChunk + 64 + 16, 0);
    WriteFileBytes(damaged, patched);
    EXPECT_EQ(ReadMember(*OpenForReading(damaged), "secret.bin"),
              std::string("thirteen byte\0\0\0", 16));

    // One digest field right and the other wrong still fails verification.
    patched = bytes;
    patched[80] ^= 1;
    WriteFileBytes(damaged, patched);
    EXPECT_EQ(Archive::TestExisting(String(damaged.c_str()), 0), RArchiveCorrupted);
    EXPECT_NE(log.Text().find("damaged archive: INDX data invalid, MD5 mismatch."),
              std::string::npos);
    patched = bytes;
    patched[bytes.size() - 40] ^= 1; // inside the last member's bytes
    WriteFileBytes(damaged, patched);
    EXPECT_EQ(Archive::TestExisting(String(damaged.c_str()), 0), RArchiveCorrupted);
    EXPECT_NE(log.Text().find("damaged archive: FILE data invalid, MD5 mismatch, file #4"),
              std::string::npos);
    EXPECT_NE(log.Text().find("Archive::TestExisting: returns ArchiveCorrupted for"),
              std::string::npos);
}

TEST(Archive, ListingStopsAtOrSkipsHostileNames) {
    TempDir dir;
    const std::string path = dir / "h.kxp";
    ASSERT_EQ(Pack(dir, path, k_GoldenTree), nullptr);
    std::string bytes = ReadFileBytes(path);
    bytes[bytes.find("empty.txt") + 3] = ':'; // "emp:y.txt"
    WriteFileBytes(path, bytes);
    Obj<Archive> archive = OpenForReading(path);
    LogCapture log;
    Array<String> names;
    EXPECT_EQ(archive->ListFiles(names, String(""), Archive::ListRecursive),
              RArchiveIllegalPathCharacter);
    EXPECT_EQ(names.Size(), 5); // the folders and their files come first
    Array<String> rest;
    EXPECT_EQ(
        archive->ListFiles(rest, String(""), Archive::ListRecursive | Archive::ListSkipInvalid),
        RArchiveIllegalPathCharacter);
    EXPECT_EQ(rest.Size(), 6);
    EXPECT_EQ(rest[5], "secret.bin");
    EXPECT_NE(log.Text().find("Archive: security file path error. Skipped \"emp:y.txt\"."),
              std::string::npos);
}

// A chain of 1100 nested directories: refused as damage, without exhausting the stack.
TEST(Archive, RefusesDirectoryNestingBeyondLimit) {
    TempDir dir;
    std::string index;
    auto sdir = [](uint32_t dirs, const std::string& name) {
        std::string chunk(64, '\0');
        chunk.replace(0, 8, std::string("KXP\2SDIR", 8));
        Put32(chunk, 32, dirs);
        Put32(chunk, 40, static_cast<uint32_t>(name.size() + 1));
        std::string body(12 * dirs, '\0');
        body += name + '\0';
        body.resize((body.size() + 31) / 32 * 32, '\0'); // the chunk: a multiple of 32 bytes
        return chunk + body;
    };
    for (int depth = 0; depth < 1100; ++depth)
        index += sdir(1, "d");
    index += sdir(0, "d");
    index = std::string("KXP\2TREE", 8) + std::string(24, '\0') + index;
    std::string file = std::string("KXP\2ARCH", 8) + std::string(24, '\0');
    std::string indx = std::string("KXP\2INDX", 8) + std::string(56, '\0');
    Put64(indx, 8, index.size());
    file += indx + index + std::string("KXP\2DATA", 8) + std::string(24, '\0');
    Put64(file, 8, file.size() - 32);
    const std::string path = dir / "deep.kxp";
    WriteFileBytes(path, file);
    LogCapture log;
    Result result = nullptr;
    OpenForReading(path, &result);
    EXPECT_EQ(result, RArchiveCorrupted);
    EXPECT_NE(log.Text().find("damaged archive: SDIR nesting too deep."), std::string::npos);
}

} // namespace
