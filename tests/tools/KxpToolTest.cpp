// "quorlix kxp" run as a user runs it, on a small tree and on an archive whose index was
// rewritten by hand, digests included.

#include "MemberPath.h"
#include "ToolRun.h"
#include "quorlix/core/MD5.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/Archive.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// Runs "quorlix kxp <arguments>" in `folder`.
ToolOutcome Kxp(const TempDir& folder, const std::string& arguments) {
    return RunTool(folder, "kxp " + arguments);
}

TEST(KxpTool, CreatesListsVerifiesAddsExtractsAndPrints) {
    TempDir folder;
    WriteFileBytes(folder / "tree/a.txt", "hello");
    WriteFileBytes(folder / "tree/sub/b.bin", Pattern());
    std::filesystem::create_directories(folder / "tree/empty");
    WriteFileBytes(folder / "more.txt", "more");
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);

    EXPECT_EQ(Kxp(folder, "create pak.kxp tree --compress").m_Status, 0);
    EXPECT_EQ(Kxp(folder, "create again.kxp tree --compress").m_Status, 0);
    EXPECT_EQ(ReadFileBytes(folder / "pak.kxp"), ReadFileBytes(folder / "again.kxp"));
    const ToolOutcome list = Kxp(folder, "list pak.kxp -r");
    EXPECT_EQ(list.m_Status, 0);
    for (const char* line : {"-            - dir   2023-11-14 22:13:20  empty/", "20000",
                             " z-    2023-11-14 22:13:20  sub/b.bin\n",
                             "5            5 --    2023-11-14 22:13:20  a.txt\n"})
        EXPECT_TRUE(Contains(list.m_Out, line)) << line << "\n" << list.m_Out;

    const ToolOutcome verify = Kxp(folder, "verify pak.kxp");
    EXPECT_EQ(verify.m_Status, 0);
    EXPECT_EQ(verify.m_Out, "pak.kxp: good\n");
    EXPECT_EQ(Kxp(folder, "add pak.kxp new/c.txt more.txt").m_Status, 0);
    EXPECT_EQ(Kxp(folder, "cat pak.kxp new/c.txt").m_Out, "more");
    EXPECT_EQ(Kxp(folder, "add pak.kxp new/c.txt more.txt").m_Status, 1);

    EXPECT_EQ(Kxp(folder, "extract pak.kxp out").m_Status, 0);
    EXPECT_EQ(ReadFileBytes(folder / "out/a.txt"), "hello");
    EXPECT_EQ(ReadFileBytes(folder / "out/sub/b.bin"), Pattern());
    EXPECT_EQ(ReadFileBytes(folder / "out/new/c.txt"), "more");
    EXPECT_TRUE(std::filesystem::is_directory(folder / "out/empty"));

    // Failures, and wrong use (status 2).
    const ToolOutcome missing = Kxp(folder, "cat pak.kxp nope");
    EXPECT_EQ(missing.m_Status, 1);
    EXPECT_EQ(missing.m_Err, "kxp cat: cannot read \"nope\": ArchiveFileNotFound\n");
    WriteFileBytes(folder / "short.kxp", ReadFileBytes(folder / "pak.kxp").substr(1));
    EXPECT_EQ(Kxp(folder, "verify short.kxp").m_Status, 1);
    EXPECT_EQ(Kxp(folder, "create x.kxp").m_Status, 2);
    EXPECT_EQ(Kxp(folder, "create x.kxp tree --key 0123").m_Status, 2);
    ::unsetenv("SOURCE_DATE_EPOCH");
}

TEST(KxpTool, RefusesMemberNamesThatLeaveTheFolderAndExtractsTheRest) {
    const struct {
        const char* m_Name;
        bool m_Safe;
    } names[] = {{"a/b.txt", true}, {"..a/b.", true},   {"", false},      {"/etc/x", false},
                 {"a/../b", false}, {"..", false},      {"a/./b", false}, {"a//b", false},
                 {"a\\b", false},   {"a\x1b[2J", false}};
    for (const auto& name : names)
        EXPECT_EQ(QuorlixTool::CheckMemberPath(name.m_Name) == nullptr, name.m_Safe) << name.m_Name;

    // Two names rewritten in the index: one a folder's parent, one with a terminal escape.
    TempDir folder;
    WriteFileBytes(folder / "f.txt", "payload");
    const std::string path = folder / "evil.kxp";
    {
        Obj<Archive> archive = Archive::Create();
        ASSERT_EQ(archive->OpenNew(String(path.c_str())), nullptr);
        ASSERT_EQ(archive->MakeDir(String("sub")), nullptr);
        for (const char* name : {"a.txt", "sub/b.txt", "sub/qqqqqq", "sub/zzzzzz"}) {
            ASSERT_EQ(archive->AddFile(String(name), String((folder / "f.txt").c_str()), String(),
                                       nullptr),
                      nullptr);
        }
        ASSERT_EQ(archive->Close(), nullptr);
    }
    std::string bytes = ReadFileBytes(path);
    const auto patch = [&](const char* from, const char* to) {
        const size_t at = bytes.find(from);
        ASSERT_NE(at, std::string::npos);
        std::memcpy(&bytes[at], to, std::strlen(from));
    };
    patch("qqqqqq", "q\x1b[2J\0");
    patch("zzzzzz", "..\0zzz");
    // Unkeyed digests: whoever rewrites the index writes matching ones.
    uint64_t length = 0;
    std::memcpy(&length, &bytes[32 + 8], 8);
    MD5Generator digest;
    digest.Update(&bytes[32], 32);
    digest.Update(&bytes[96], static_cast<int64_t>(length));
    MD5 sum;
    digest.Final(sum);
    std::memcpy(&bytes[32 + 32], sum.m_Bytes, 16);
    std::memcpy(&bytes[32 + 48], sum.m_Bytes, 16);
    WriteFileBytes(path, bytes);

    EXPECT_EQ(Kxp(folder, "verify evil.kxp").m_Status, 0);
    const ToolOutcome extract = Kxp(folder, "extract evil.kxp out/inner");
    EXPECT_EQ(extract.m_Status, 1);
    EXPECT_TRUE(Contains(extract.m_Err, "kxp extract: refused \"sub/q\\x1B[2J\": control "))
        << extract.m_Err;
    EXPECT_TRUE(Contains(extract.m_Err, "the folder \"sub\" holds members with names that "
                                        "cannot be used (ArchiveIllegalPathDot); they are skipped"))
        << extract.m_Err;
    EXPECT_TRUE(Contains(extract.m_Err, "Skipped \"sub/..\".")) << extract.m_Err;
    EXPECT_EQ(ReadFileBytes(folder / "out/inner/a.txt"), "payload");
    EXPECT_EQ(ReadFileBytes(folder / "out/inner/sub/b.txt"), "payload");
    size_t written = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "out"))
        written += entry.is_regular_file();
    EXPECT_EQ(written, 2u);
}

} // namespace

namespace {

// The listing of the checked-in archive, sizes of enciphered and compressed members included.
constexpr const char* k_GoldenListing =
    "        size       stored flags time (UTC)           name\n"
    "           -            - dir   2022-11-24 12:26:38  docs/\n"
    "           -            - dir   2022-11-24 12:26:38  docs/deep/\n"
    "          64           64 --    2022-11-24 12:26:38  docs/deep/64.bin\n"
    "          33           33 --    2022-11-24 12:26:38  docs/33.bin\n"
    "        1000          156 z-    2022-11-24 12:26:38  docs/packed.txt\n"
    "           0            0 --    2022-11-24 12:26:38  empty.txt\n"
    "          13           16 -t    2022-11-24 12:26:38  secret.bin\n";

} // namespace

TEST(KxpTool, ListsVerifiesAndPrintsTheCheckedInArchive) {
    TempDir folder;
    const std::string golden = "'" QUORLIX_TEST_DATA "/stream/Golden.kxp'";
    const std::string key = " --key 0123456789abcdefFEDCBA9876543210";
    ToolOutcome list = Kxp(folder, "list -r " + golden + key);
    EXPECT_EQ(list.m_Status, 0) << list.m_Err;
    EXPECT_EQ(list.m_Out, k_GoldenListing);
    ToolOutcome verify = Kxp(folder, "verify " + golden);
    EXPECT_EQ(verify.m_Status, 0);
    EXPECT_TRUE(Contains(verify.m_Out, "Golden.kxp: good"));
    EXPECT_EQ(Kxp(folder, "cat " + golden + " docs/33.bin").m_Out, std::string(33, 'x'));
    EXPECT_EQ(Kxp(folder, "cat " + golden + " secret.bin" + key).m_Out, "thirteen byte");
    EXPECT_EQ(Kxp(folder, "cat " + golden + " docs/packed.txt").m_Out.substr(0, 22),
              "the quick brown fox 0\n");
    ToolOutcome keyless = Kxp(folder, "cat " + golden + " secret.bin");
    EXPECT_EQ(keyless.m_Status, 1);
    EXPECT_TRUE(Contains(keyless.m_Err, "ArchiveInvalidKey")) << keyless.m_Err;
}
