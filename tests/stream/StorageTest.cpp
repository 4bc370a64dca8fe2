// Storage: multipart names and their limits, archive members through the archive cache, the
// per-thread paths, several threads on one cached archive, local copies of members.

#include "quorlix/stream/Storage.h"
#include "quorlix/core/Obj.h"
#include "quorlix/stream/Archive.h"
#include "quorlix/stream/StreamPipeNull.h"
#include "stream/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::string ReadAll(StreamPipe& pipe) {
    std::string all;
    char buffer[4096];
    for (int count; (count = pipe.Read(buffer, sizeof buffer)) > 0;)
        all.append(buffer, static_cast<size_t>(count));
    return all;
}

// Reads `path` through Storage; "<null>" when the null pipe comes back.
std::string ReadStored(const std::string& path, unsigned mode = IOReadDefault) {
    Obj<StreamPipe> pipe = Storage::OpenStream(String(path.c_str()), mode);
    return pipe.Get() == StreamPipeNull::GetSingleton() ? "<null>" : ReadAll(*pipe);
}

std::vector<std::string> Expand(const std::string& path) {
    Array<String> candidates;
    std::vector<std::string> out;
    if (!Storage::ExpandMultipartPath(String(path.c_str(), static_cast<int>(path.size())),
                                      candidates))
        return {"<invalid>"};
    for (const String& candidate : candidates)
        out.emplace_back(candidate.GetCPtr(), static_cast<size_t>(candidate.Size()));
    return out;
}

// Member name -> content of the test archive; the large ones are compressed when asked.
struct Member {
    const char* m_Name;
    std::string m_Bytes;
};

std::vector<Member> Members() {
    return {{"x.txt", "inside x"},
            {"sub/y.txt", "why"},
            {"big/even", Pattern() + Pattern()},
            {"big/text", std::string(50000, 'k') + "end"}};
}

// Writes `folder`/pak.kxp with the members above, made with the archive's own writer.
std::string MakeArchive(const TempDir& folder, bool compress) {
    const std::string path = folder / "pak.kxp";
    Obj<Archive> archive = Archive::Create();
    EXPECT_EQ(archive->OpenNew(String(path.c_str())), nullptr);
    EXPECT_EQ(
        archive->SetStoreMode(compress ? Archive::StoreModeCompress : Archive::StoreModeStore, 0),
        nullptr);
    for (const char* dir : {"sub", "big"})
        EXPECT_EQ(archive->MakeDir(String(dir)), nullptr);
    for (const Member& member : Members()) {
        const std::string source = folder / (std::string("src/") + member.m_Name);
        WriteFileBytes(source, member.m_Bytes);
        EXPECT_EQ(
            archive->AddFile(String(member.m_Name), String(source.c_str()), String(), nullptr),
            nullptr);
    }
    EXPECT_EQ(archive->Close(), nullptr);
    return path;
}

std::vector<std::string> MessagesStartingWith(const LogCapture& capture, const std::string& text) {
    std::vector<std::string> found;
    for (const std::string& message : capture.Messages())
        if (message.compare(0, text.size(), text) == 0)
            found.push_back(message);
    return found;
}

TEST(Storage, ExpandsMultipartPathsInOrderAndRefusesMalformedOnes) {
    const std::string deep64 = std::string(64, '{') + "a" + std::string(64, '}');
    const std::string deep65 = std::string(65, '{') + "a" + std::string(65, '}');
    const std::string deepHostile = std::string(100000, '{') + std::string(100000, '}');
    const std::string manyAlternatives = "x{" + std::string(5000, ';') + "}";
    const std::string longPrefix = std::string(600000, 'p') + "{a;b}";
    const struct {
        std::string m_Path;
        std::vector<std::string> m_Candidates;
    } cases[] = {
        {"plain/file.png", {"plain/file.png"}},
        {"data/{hi;lo}/tex.png", {"data/hi/tex.png", "data/lo/tex.png"}},
        {"a{b{c;d};e}f", {"abcf", "abdf", "aef"}},
        {"{;x}", {"", "x"}},
        {"a{}b", {"ab"}},
        {"a}{b}", {"a}b"}},
        {"a{b", {"<invalid>"}},
        {"a}b{c", {"<invalid>"}},
        {"a{b}c{d}", {"<invalid>"}},
        {"a{b{c}", {"<invalid>"}},
        {"{a}b{c", {"<invalid>"}},
        {deep64, {"a"}},
        {deep65, {"<invalid>"}},
        {deepHostile, {"<invalid>"}},
        {manyAlternatives, {"<invalid>"}},
        {longPrefix, {"<invalid>"}},
    };
    for (const auto& test : cases)
        EXPECT_EQ(Expand(test.m_Path), test.m_Candidates) << test.m_Path.substr(0, 40);
    EXPECT_EQ(Expand("x{" + std::string(4095, ';') + "}").size(), 4096u);

    LogCapture capture;
    EXPECT_EQ(ReadStored("a{b"), "<null>");
    EXPECT_EQ(ReadStored(deepHostile), "<null>");
    EXPECT_EQ(capture.Messages().size(), 2u);
    EXPECT_EQ(capture.Messages()[0],
              "[Error]Storage::OpenStream: invalid multipart path: \"a{b\".");
}

TEST(Storage, ReadsFilesAndArchiveMembersThroughOneCachedArchive) {
    ExitStorage(1);
    TempDir folder;
    const std::string pak = MakeArchive(folder, true);
    WriteFileBytes(folder / "plain.txt", "plain");
    LogCapture capture;
    const std::string x = pak + "/x.txt";
    EXPECT_EQ(ReadStored(x), "inside x");
    EXPECT_EQ(ReadStored(x), "inside x");
    EXPECT_EQ(ReadStored(pak + "/{missing;sub/y}.txt"), "why");
    EXPECT_EQ(ReadStored(folder / "{nothing;plain}.txt"), "plain");
    EXPECT_EQ(ReadStored(folder / "{nothing;plain}.txt", IOReadDefault | IOUnbuffered), "plain");
    EXPECT_EQ(ReadStored(pak + "/big/even"), Pattern() + Pattern());
    EXPECT_EQ(MessagesStartingWith(capture, "[Debug]Storage: opening archive"),
              std::vector<std::string>{"[Debug]Storage: opening archive \"pak.kxp\"."});

    // Not found: one note naming the requested path, none when asked to be quiet.
    EXPECT_EQ(ReadStored(pak + "/nope"), "<null>");
    EXPECT_EQ(ReadStored(pak + "/nope", IOReadDefault | Storage::k_QuietNotFound), "<null>");
    EXPECT_EQ(MessagesStartingWith(capture, "[Note ]"),
              std::vector<std::string>{"[Note ]ArchiveFileNotFound: ArchiveFileNotFound: \"" + pak +
                                       "/nope\"."});

    // An archive that does not open is not cached: every request tries again.
    const std::string missing = folder / "gone.kxp/x";
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ReadStored(missing, IOReadDefault | Storage::k_QuietNotFound), "<null>");
    EXPECT_EQ(MessagesStartingWith(capture, "[Warn ]TestOpenStream: failed for").size(), 2u);

    // ExitStorage(1) empties the cache, while a pipe handed out before stays readable.
    Obj<StreamPipe> held = Storage::OpenStream(String(x.c_str()), IOReadDefault);
    ExitStorage(1);
    EXPECT_EQ(ReadAll(*held), "inside x");
    EXPECT_EQ(ReadStored(x), "inside x");
    EXPECT_EQ(MessagesStartingWith(capture, "[Debug]Storage: opening archive \"pak").size(), 2u);

    // Writing goes straight to the file.
    {
        Obj<StreamPipe> out = Storage::OpenStream(String((folder / "new.txt").c_str()), 14);
        EXPECT_EQ(out->Write("new", 3), 3);
    }
    EXPECT_EQ(ReadFileBytes(folder / "new.txt"), "new");
    ExitStorage(1);
}

TEST(Storage, KeepsReadAndWritePathsPerThread) {
    LogCapture capture;
    EXPECT_EQ(Storage::SetReadPath(String("C:\\data")), nullptr);
    EXPECT_EQ(Storage::SetReadPath(String("C:/data/")), nullptr);
    EXPECT_EQ(Storage::SetWritePath(String("out\\dir")), nullptr);
    EXPECT_EQ(std::string(Storage::GetReadPath().GetCPtr()), "C:/data/");
    EXPECT_EQ(std::string(Storage::GetWritePath().GetCPtr()), "out/dir/");
    ASSERT_EQ(capture.Messages().size(), 1u);
    const std::string line = capture.Messages()[0];
    EXPECT_EQ(line.rfind("[Info ]Storage::SetReadPath: T[", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.find(']', 8)), "] \"C:/data/\".");

    std::string other;
    std::thread([&] {
        other = Storage::GetReadPath().GetCPtr();
        EXPECT_EQ(Storage::SetReadPath(String("mine")), nullptr);
        other += "|" + std::string(Storage::GetReadPath().GetCPtr());
        ExitStorage(0);
    }).join();
    EXPECT_EQ(other, "|mine/");
    // Each thread's line names its own pair.
    ASSERT_EQ(capture.Messages().size(), 2u);
    EXPECT_NE(capture.Messages()[1].substr(0, 40), line.substr(0, 40));
    EXPECT_EQ(std::string(Storage::GetReadPath().GetCPtr()), "C:/data/");

    ExitStorage(0);
    EXPECT_EQ(Storage::GetReadPath().Size(), 0);
    EXPECT_EQ(Storage::GetWritePath().Size(), 0);
}

TEST(Storage, ThreadsReadMembersOfOneArchiveWhileTheCacheIsReleased) {
    ExitStorage(1);
    TempDir folder;
    const std::string pak = MakeArchive(folder, true);
    const std::vector<Member> members = Members();
    std::atomic<int> mismatches{0};
    std::atomic<bool> reading{true};
    std::vector<std::thread> readers;
    for (const Member& member : members) {
        readers.emplace_back([&, member] {
            for (int i = 0; i < 40; ++i)
                if (ReadStored(pak + "/" + member.m_Name) != member.m_Bytes)
                    ++mismatches;
        });
    }
    // Releasing the cache under the readers must never free an archive one of them uses.
    std::thread releaser([&] {
        while (reading)
            ExitStorage(1);
    });
    for (std::thread& reader : readers)
        reader.join();
    reading = false;
    releaser.join();
    EXPECT_EQ(mismatches, 0);
    ExitStorage(1);
}

TEST(Storage, CopiesArchiveMembersToLocalTemporaryFiles) {
    ExitStorage(1);
    TempDir folder;
    const std::string pak = MakeArchive(folder, false);
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp != nullptr ? oldTmp : "";
    ::setenv("TMPDIR", folder.Path().c_str(), 1);

    const std::string local =
        Storage::OpenFileLocal(String((pak + "/big/text").c_str()), 1).GetCPtr();
    EXPECT_EQ(local.rfind(folder / "~KXP", 0), 0u) << local;
    EXPECT_EQ(ReadFileBytes(local), Members()[3].m_Bytes);
    // Plain names and members that do not open come back unchanged.
    for (const std::string& same : {folder / "plain.txt", pak + "/missing"})
        EXPECT_EQ(
            Storage::OpenFileLocal(String(same.c_str()), 1 | Storage::k_QuietNotFound).GetCPtr(),
            same);
    // No temporary file can be made: unchanged, with a warning.
    ::setenv("TMPDIR", (folder / "no/such/dir").c_str(), 1);
    LogCapture capture;
    const std::string x = pak + "/x.txt";
    EXPECT_EQ(Storage::OpenFileLocal(String(x.c_str()), 1).GetCPtr(), x);
    EXPECT_EQ(MessagesStartingWith(capture, "[Warn ]Storage::OpenFileLocal: could not copy").size(),
              1u);

    if (oldTmp != nullptr)
        ::setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    ExitStorage(1);
}

} // namespace
