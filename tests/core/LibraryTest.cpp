#include "quorlix/core/Library.h"
#include "quorlix/core/LogStream.h"
#include "quorlix/core/Result.h"
#include "quorlix/core/internal/FixedText.h"
#include "quorlix/core/internal/LifecycleSteps.h"
#include "quorlix/platform/CrashSignals.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/LoadedModules.h"
#include "quorlix/platform/VersionRecord.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace Quorlix;
using QuorlixTest::LogCapture;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> G_Steps;

class StepRecorder {
public:
    StepRecorder() {
        G_Steps.clear();
        Internal::SetLifecycleObserver([](const char* step) { G_Steps.push_back(step); });
    }
    ~StepRecorder() { Internal::SetLifecycleObserver(nullptr); }
};

int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the lifecycle child with its standard error in `errors`; its wait status, or -1 when it
// had to be killed after 30 s.
int RunChild(const char* mode, const fs::path& log, const fs::path& errors = "/dev/null") {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::strncmp(*entry, "ASAN_OPTIONS=", 13) != 0)
            environment.emplace_back(*entry);
    // The sanitizer must leave the faults to the library's handler.
    const char* asan = std::getenv("ASAN_OPTIONS");
    environment.push_back(std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") +
                          (asan != nullptr && *asan != '\0' ? ":" : "") + "handle_segv=0");
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = QUORLIX_LIFECYCLE_CHILD, modeText = mode, logText = log.string();
    char* argv[] = {program.data(), modeText.data(), logText.data(), nullptr};
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                       0644);
    pid_t child = 0;
    const int spawned =
        ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv, envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status;
}

fs::path TempFolder(const char* name) {
    const fs::path folder =
        fs::temp_directory_path() / (std::string(name) + "." + std::to_string(::getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

} // namespace

TEST(Library, InitialisesOnFirstCallAndDeInitialisesOnLast) {
    StepRecorder steps;
    LogCapture log;
    DLLInitialize(0);
    EXPECT_TRUE(Platform::IsCrashHandlerInstalled());
    DLLInitialize(0);
    EXPECT_EQ(DLLGetInitializeCount(), 2);
    EXPECT_EQ(G_Steps,
              (std::vector<std::string>{"CreateMasterCVTBL", "InitializeSystemClasses",
                                        "InitializeSceneClasses", "CreateMasterCVTBLHash"}));
    DLLDeInitialize(0);
    EXPECT_EQ(G_Steps.back(), "ExitStorage(0)");
    EXPECT_TRUE(Platform::IsCrashHandlerInstalled());
    DLLDeInitialize(0);
    EXPECT_FALSE(Platform::IsCrashHandlerInstalled());
    EXPECT_EQ(G_Steps, (std::vector<std::string>{"CreateMasterCVTBL", "InitializeSystemClasses",
                                                 "InitializeSceneClasses", "CreateMasterCVTBLHash",
                                                 "ExitStorage(0)", "ExitStorage(1)",
                                                 "UnInitializeSceneClasses", "DeleteMasterCVTBL"}));
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{"[Debug]DLLInitialize() ver=F010219x ...",
                                                        "[Debug]DLLInitialize() ok.",
                                                        "[Debug]DLLDeInitialize() ...",
                                                        "[Debug]DLLDeInitialize() ok."}));
}

TEST(Library, UnmatchedDeInitializeKeepsTheCountAtZero) {
    StepRecorder steps;
    LogCapture log;
    DLLDeInitialize(0);
    EXPECT_EQ(DLLGetInitializeCount(), 0);
    EXPECT_EQ(G_Steps, std::vector<std::string>{"ExitStorage(0)"});
    // The next initialisation is a first one again.
    DLLInitialize(0);
    EXPECT_EQ(G_Steps.size(), 5u);
    EXPECT_EQ(G_Steps[1], "CreateMasterCVTBL");
    DLLDeInitialize(0);
    EXPECT_EQ(G_Steps.back(), "DeleteMasterCVTBL");
    EXPECT_EQ(DLLGetInitializeCount(), 0);
}

TEST(Library, AttachOrDetachWhileOthersRemainWarnsAndPauses) {
    LogCapture log;
    DLLInitialize(0);
    auto start = std::chrono::steady_clock::now();
    DLLInitialize(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(DLLGetInitializeCount(), 2);
    std::string text = log.Text();
    const std::string line = "[Error]DLLInitialize: dll process attach was called but library "
                             "was already initialized.\n";
    const size_t at = text.find(line);
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.substr(at + line.size(), 81), std::string(80, '.') + "\n");

    start = std::chrono::steady_clock::now();
    DLLDeInitialize(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(DLLGetInitializeCount(), 1);
    EXPECT_NE(log.Text().find("[Error]DLLInitialize: dll process detach was called but not all "
                              "threads did exit before.\n"),
              std::string::npos);
    DLLDeInitialize(0);
    EXPECT_EQ(DLLGetInitializeCount(), 0);
}

TEST(Library, ASecondThreadWaitsUntilTheClassesAreRegistered) {
    static std::atomic<bool> registering{false};
    static std::atomic<int> stepsDone{0};
    Internal::SetLifecycleObserver([](const char* step) {
        if (std::string(step) == "InitializeSystemClasses") {
            registering = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        ++stepsDone;
    });
    std::thread first([] { DLLInitialize(0); });
    while (!registering)
        std::this_thread::yield();
    DLLInitialize(0);
    EXPECT_EQ(stepsDone, 4); // every registration step of the first call is over
    first.join();
    Internal::SetLifecycleObserver(nullptr);
    DLLDeInitialize(0);
    DLLDeInitialize(0);
    EXPECT_EQ(DLLGetInitializeCount(), 0);
}

TEST(Library, RecordsItsModuleAndChecksItsName) {
    EXPECT_EQ(DLLGetModule(),
              Platform::ModuleBaseOfAddress(reinterpret_cast<const void*>(&DLLGetModule)));
    EXPECT_NE(DLLGetModule(), nullptr);
    EXPECT_EQ(std::string(DLLGetModulePath()), Platform::LibraryPath());
    EXPECT_EQ(DLLGetCrashStatus(), 0);

    LogCapture log;
    EXPECT_EQ(DLLDetectVersionMismatch(), 0);
    EXPECT_EQ(DetectVersionMismatchOfPath("/opt/q/libQuorlix010219.so"), 0);
    EXPECT_TRUE(log.Text().empty());
    EXPECT_EQ(DetectVersionMismatchOfPath("/opt/q/libQuorlix010220.so"), EFail);
    EXPECT_EQ(DetectVersionMismatchOfPath(nullptr), EFail);
    const std::string text = log.Text();
    EXPECT_EQ(Count(text, "The internal library version (010219) differs from the library DLL "
                          "name."),
              2);
    EXPECT_EQ(Count(text, "EFail"), 2);
    EXPECT_NE(text.find("DetectVersionMismatch"), std::string::npos);
}

TEST(Library, ReportsSiblingLibrariesWithDifferentTimes) {
    const fs::path root = TempFolder("quorlix_library_siblings");
    const fs::path previous = fs::current_path();
    fs::current_path(root); // "./" holds nothing
    for (const char* dir : {"a", "b"}) {
        fs::create_directories(root / dir);
        std::ofstream(root / dir / "libQuorlix010219.so") << dir;
    }
    fs::last_write_time(root / "b" / "libQuorlix010219.so",
                        fs::last_write_time(root / "a" / "libQuorlix010219.so") +
                            std::chrono::seconds(5));
    const char* before = std::getenv("LD_LIBRARY_PATH");
    const std::string saved = before != nullptr ? before : "";
    LogCapture log;
    {
        const std::string two = (root / "a").string() + ":" + (root / "b").string();
        ::setenv("LD_LIBRARY_PATH", two.c_str(), 1);
        EXPECT_EQ(static_cast<uint32_t>(DLLDetectAmbiguousLibraries(false)), 0x80000001u);
        EXPECT_TRUE(log.Text().empty());
        EXPECT_EQ(static_cast<uint32_t>(DLLDetectAmbiguousLibraries(true)), 0x80000001u);
        const std::string text = log.Text();
        EXPECT_NE(text.find("EAmbiguous"), std::string::npos);
        EXPECT_NE(text.find("Multiple dynamic link library (.DLL) files with the same name but "
                            "different filetime exist.\n  Please uninstall or delete the "
                            "unwanted duplicates, then restart this application.\n  - "
                            "\"libQuorlix010219.so\"\n"),
                  std::string::npos)
            << text;
    }
    if (before != nullptr)
        ::setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
    else
        ::unsetenv("LD_LIBRARY_PATH");
    fs::current_path(previous);
    fs::remove_all(root);
}

TEST(Library, DumpsTheVersionRecordOfAFile) {
    Stream out(StreamPipeMemory::Create());
    const std::string path = Platform::LibraryPath();
    ASSERT_TRUE(DumpDLLVersionStructure(out, path.c_str()));
    EXPECT_FALSE(DumpDLLVersionStructure(out, "/proc/self/exe"));
    EXPECT_FALSE(DumpDLLVersionStructure(out, "/no/such/file"));
    EXPECT_FALSE(DumpDLLVersionStructure(out, nullptr));
    const Platform::VersionRecord& own = Platform::OwnVersionRecord();
    const std::string expected = "DLL: \"" + path + "\": 1.2.19.0 1.2.19.0 " +
                                 std::to_string(own.m_FileDateMS) + "/" +
                                 std::to_string(own.m_FileDateLS) + ".\n";
    out.Seek(0, Stream::SeekStart(1));
    std::string written(expected.size() + 10, '\0');
    written.resize(static_cast<size_t>(out.Read(written.data(), static_cast<int>(written.size()))));
    EXPECT_EQ(written, expected);
}

TEST(Library, CrashLinesQuoteLikeTheStream) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += static_cast<char>(c);
    Internal::FixedText<2048> line;
    line.AddQuotedC(all.data(), all.size()).Add(' ').AddHex(0).Add(' ').AddHex(0xC0000005u);
    line.Add(' ').AddDecimal(0).Add(' ').AddDecimal(18446744073709551615u);
    Stream out(StreamPipeMemory::Create());
    out.pQuotedC(all.data(), static_cast<int>(all.size()), '"');
    out << " 0 C0000005 0 18446744073709551615";
    out.Seek(0, Stream::SeekStart(1));
    std::string written(2048, '\0');
    written.resize(static_cast<size_t>(out.Read(written.data(), 2048)));
    EXPECT_EQ(std::string(line.Text()), written);

    Internal::FixedText<8> tiny;
    tiny.Add("0123456789");
    EXPECT_STREQ(tiny.Text(), "0123456");
}

TEST(LibraryProcess, CrashReportReachesTheErrorLogAndTheProcessEndsByTheSignal) {
    const fs::path folder = TempFolder("quorlix_library_crash");
    const int status = RunChild("crash", folder / "err.log");
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const std::string text = ReadFile(folder / "err.log");
    EXPECT_NE(text.find("CrashHandler: ThreadId=0x"), std::string::npos) << text;
    EXPECT_NE(text.find("CrashHandler: Address=0x"), std::string::npos);
    EXPECT_NE(text.find(" ExceptionCode=0xC0000005\n"), std::string::npos);
    EXPECT_NE(
        text.find("CrashModule: \"" + fs::canonical(QUORLIX_LIFECYCLE_CHILD).string() + "\"\n"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("CrashHandler: returning"), std::string::npos);
    // The crashing thread's trace picture, then the trace globals.
    const size_t trace = text.find("<Trace CrashHandler for ThreadId=0x");
    ASSERT_NE(trace, std::string::npos) << text;
    EXPECT_NE(text.find(" (dead):\n  002| | | | |\\LifecycleChild\n  001| | | | | |\\LoadScene\n"
                        "  000| | | | | | | ParseNodes\n",
                        trace),
              std::string::npos)
        << text;
    const size_t global = text.find("TraceGlobal1: \"level \\\"one\\\"\"\n");
    EXPECT_LT(trace, global);
    EXPECT_NE(global, std::string::npos);
    EXPECT_NE(text.find("TraceGlobal2 unreadable.\n"), std::string::npos);
    // The unload routine never ran: the process ended in the signal.
    EXPECT_EQ(text.find("[OnExit]"), std::string::npos);
    fs::remove_all(folder);
}

TEST(LibraryProcess, CrashReportGoesToStandardErrorWhenTheLogStaysLocked) {
    const fs::path folder = TempFolder("quorlix_library_stuck");
    const auto start = std::chrono::steady_clock::now();
    const int status = RunChild("stuck", folder / "err.log", folder / "stderr.txt");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const std::string text = ReadFile(folder / "stderr.txt");
    EXPECT_EQ(text.find("CrashHandler: ThreadId=0x"), 0u) << text;
    EXPECT_NE(text.find("\nCrashHandler: Address=0x"), std::string::npos);
    EXPECT_NE(text.find(" ExceptionCode=0xC0000005\nCrashModule: \""), std::string::npos);
    EXPECT_NE(text.find("\nCrashHandler: returning\n"), std::string::npos);
    EXPECT_EQ(ReadFile(folder / "err.log").find("CrashHandler"), std::string::npos);
    fs::remove_all(folder);
}

TEST(LibraryProcess, UnloadReportsDetachAndChecksTracesUnlessBroken) {
    const fs::path folder = TempFolder("quorlix_library_unload");
    for (const char* mode : {"exit", "break"}) {
        const fs::path log = folder / (std::string(mode) + ".log");
        const int status = RunChild(mode, log);
        ASSERT_TRUE(WIFEXITED(status)) << mode << " " << status;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        const std::string text = ReadFile(log);
        const size_t detach = text.find("[DETACH 0x");
        ASSERT_NE(detach, std::string::npos) << text;
        const size_t count = text.find("[DLLInitializeCount!=0]");
        const size_t exit = text.find("[OnExit]\n");
        EXPECT_LT(detach, count);
        EXPECT_LT(count, exit);
        EXPECT_NE(text.find("[EOF/Xerr]"), std::string::npos);
        EXPECT_EQ(text.find("[SIGCRASH]"), std::string::npos);
        const bool traced = text.find("<Trace DLL_PROCESS_DETACH") != std::string::npos;
        EXPECT_EQ(traced, std::string(mode) == "exit") << mode;
    }
    fs::remove_all(folder);
}
