#include "quorlix/library/Library.h"
#include "quorlix/core/Result.h"
#include "quorlix/library/internal/LifecycleSteps.h"
#include "quorlix/platform/CrashSignals.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/LoadedModules.h"
#include "quorlix/platform/VersionRecord.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> G_Steps;

const std::vector<std::string> k_InitSteps{"CreateMasterCVTBL", "InitializeSystemClasses",
                                           "InitializeSceneClasses", "CreateMasterCVTBLHash"};

// Whether `parts` occur in `text` one after the other.
bool InOrder(const std::string& text, std::initializer_list<std::string> parts) {
    size_t at = 0;
    for (const std::string& part : parts) {
        if ((at = text.find(part, at)) == std::string::npos)
            return false;
        at += part.size();
    }
    return true;
}

struct ChildRun {
    int m_Status;
    std::string m_Log, m_Errors;
    double m_Seconds;
};

// Runs the lifecycle child in `mode`: its wait status, its error log and its standard error.
ChildRun RunChild(const char* mode) {
    // The sanitizer must leave the faults to the library's handler.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan != nullptr ? asan : "") + ":handle_segv=0";
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    const QuorlixTest::TempDir dir;
    const std::string log = dir / "log", errors = dir / "err";
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(30); // a child that hangs ends by SIGALRM
        ::dup2(::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        ::execl(QUORLIX_LIFECYCLE_CHILD, QUORLIX_LIFECYCLE_CHILD, mode, log.c_str(), nullptr);
        ::_exit(127);
    }
    ChildRun run{0, {}, {}, 0};
    ::waitpid(child, &run.m_Status, 0);
    run.m_Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.m_Log = QuorlixTest::ReadFileBytes(log);
    run.m_Errors = QuorlixTest::ReadFileBytes(errors);
    return run;
}

} // namespace

TEST(Library, InitialisesOnFirstCallAndDeInitialisesOnLast) {
    SetLifecycleObserver([](const char* step) { G_Steps.push_back(step); });
    LogCapture log;
    DLLInitialize(0);
    DLLInitialize(0);
    EXPECT_EQ(DLLGetInitializeCount(), 2);
    EXPECT_EQ(G_Steps, k_InitSteps);
    DLLDeInitialize(0);
    EXPECT_EQ(G_Steps.back(), "ExitStorage(0)");
    EXPECT_TRUE(Platform::IsCrashHandlerInstalled());
    DLLDeInitialize(0);
    EXPECT_FALSE(Platform::IsCrashHandlerInstalled());
    std::vector<std::string> all = k_InitSteps;
    all.insert(all.end(), {"ExitStorage(0)", "ExitStorage(1)", "UnInitializeSceneClasses",
                           "DeleteMasterCVTBL"});
    EXPECT_EQ(G_Steps, all);
    // The class tables are built and deleted in between, without leaked blocks.
    EXPECT_EQ(
        log.Messages(),
        (std::vector<std::string>{
            "[Debug]DLLInitialize() ver=F010219x ...", "[Debug]CreateMasterCVTBLHash() start.",
            "[Debug]CreateMasterCVTBLHash() complete.", "[Debug]DLLInitialize() ok.",
            "[Debug]DLLDeInitialize() ...", "[Debug]DeleteMasterCVTBL() start.",
            "[Debug]DeleteMasterCVTBL() end.", "[Debug]DLLDeInitialize() ok."}));
    // An unmatched call keeps the count at zero: the next initialisation is a first one again.
    DLLDeInitialize(0);
    EXPECT_EQ(DLLGetInitializeCount(), 0);
    G_Steps.clear();
    DLLInitialize(0);
    EXPECT_EQ(G_Steps, k_InitSteps);
    DLLDeInitialize(0);
    EXPECT_EQ(G_Steps.back(), "DeleteMasterCVTBL");
    SetLifecycleObserver(nullptr);
}

TEST(Library, AttachWhileInitialisedWarnsAndCounts) {
    LogCapture log;
    DLLInitialize(0);
    DLLInitialize(1);
    EXPECT_EQ(DLLGetInitializeCount(), 2);
    EXPECT_TRUE(InOrder(log.Text(), {"[Error]DLLInitialize: dll process attach was called but "
                                     "library was already initialized.\n" +
                                     std::string(80, '.') + "\n"}))
        << log.Text();
    DLLDeInitialize(0);
    DLLDeInitialize(0);
}

TEST(Library, DetachWhileOthersRemainWarnsPausesAndKeepsTheLibrary) {
    SetLifecycleObserver([](const char* step) { G_Steps.push_back(step); });
    LogCapture log;
    DLLInitialize(0);
    DLLInitialize(0);
    G_Steps.clear();
    const auto start = std::chrono::steady_clock::now();
    DLLDeInitialize(1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    EXPECT_EQ(DLLGetInitializeCount(), 1);
    // Only the calling thread's storage goes; the class tables and the crash handler stay.
    EXPECT_EQ(G_Steps, std::vector<std::string>{"ExitStorage(0)"});
    EXPECT_TRUE(Platform::IsCrashHandlerInstalled());
    EXPECT_TRUE(InOrder(log.Text(), {"[Error]DLLInitialize: dll process detach was called but not "
                                     "all threads did exit before.\n"}))
        << log.Text();
    DLLDeInitialize(0);
    EXPECT_EQ(DLLGetInitializeCount(), 0);
    EXPECT_EQ(G_Steps.back(), "DeleteMasterCVTBL");
    SetLifecycleObserver(nullptr);
}

TEST(Library, ASecondThreadWaitsUntilTheClassesAreRegistered) {
    static std::atomic<bool> registering{false};
    static std::atomic<int> stepsDone{0};
    SetLifecycleObserver([](const char* step) {
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
    // Every step of the first call is over when the second returns, and the second did none.
    const int steps = static_cast<int>(k_InitSteps.size());
    EXPECT_EQ(stepsDone, steps);
    first.join();
    EXPECT_EQ(stepsDone, steps);
    EXPECT_EQ(DLLGetInitializeCount(), 2);
    SetLifecycleObserver(nullptr);
    DLLDeInitialize(0);
    DLLDeInitialize(0);
}

TEST(Library, RecordsItsModuleAndChecksItsName) {
    EXPECT_EQ(DLLGetModule(),
              Platform::ModuleBaseOfAddress(reinterpret_cast<const void*>(&DLLGetModule)));
    EXPECT_EQ(std::string(DLLGetModulePath()), Platform::LibraryPath());
    LogCapture log;
    EXPECT_EQ(DLLDetectVersionMismatch(), 0);
    EXPECT_TRUE(log.Text().empty());
    EXPECT_EQ(DetectVersionMismatchOfPath("/opt/q/libQuorlix010220.so"), EFail);
    EXPECT_TRUE(InOrder(log.Text(), {"EFail", "The internal library version (010219) differs "
                                              "from the library DLL name."}))
        << log.Text();
}

TEST(Library, DumpsTheVersionRecordOfAFile) {
    StreamPipeMemory* memory = StreamPipeMemory::Create();
    Stream out(memory);
    const std::string path = Platform::LibraryPath();
    ASSERT_TRUE(DumpDLLVersionStructure(out, path.c_str()));
    EXPECT_FALSE(DumpDLLVersionStructure(out, "/proc/self/exe"));
    EXPECT_FALSE(DumpDLLVersionStructure(out, nullptr));
    const Platform::VersionRecord& own = Platform::OwnVersionRecord();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(memory->GetData()), memory->GetSize()),
              "DLL: \"" + path + "\": 1.2.19.0 1.2.19.0 " + std::to_string(own.m_FileDateMS) + "/" +
                  std::to_string(own.m_FileDateLS) + ".\n");
}

// The report's lines without the trace globals, which only the "crash" child sets.
bool HasCrashReport(const std::string& log) {
    const std::string child = fs::canonical(QUORLIX_LIFECYCLE_CHILD).string();
    return InOrder(log, {"CrashHandler: ThreadId=0x", "\n", "CrashHandler: Address=0x",
                         " ExceptionCode=0xC0000005\n", "CrashModule: \"" + child + "\"\n",
                         "<Trace CrashHandler for ThreadId=0x",
                         " (dead):\n  002| | | | |\\LifecycleChild\n  001| | | | | "
                         "|\\LoadScene\n  000| | | | | | | ParseNodes\n",
                         "Trace>\n", "CrashHandler: returning\n"});
}

bool KilledBySegmentationFault(int status) {
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV;
}

TEST(LibraryProcess, CrashReportReachesTheErrorLogAndTheProcessEndsByTheSignal) {
    const ChildRun run = RunChild("crash");
    EXPECT_TRUE(KilledBySegmentationFault(run.m_Status)) << run.m_Status;
    EXPECT_TRUE(HasCrashReport(run.m_Log)) << run.m_Log;
    EXPECT_TRUE(InOrder(run.m_Log, {"Trace>\n", "TraceGlobal1: \"level \\\"one\\\"\"\n",
                                    "TraceGlobal2 unreadable.\n", "CrashHandler: returning"}))
        << run.m_Log;
    // Every report line carries Xerr's own error prefix, with the crashed thread's id.
    std::smatch first;
    ASSERT_TRUE(std::regex_search(
        run.m_Log, first,
        std::regex("\\[E\\|0*([0-9A-F]+)\\] CrashHandler: ThreadId=0x([0-9A-F]+)\n")))
        << run.m_Log;
    EXPECT_EQ(first[1], first[2]);
    for (const char* line :
         {"CrashHandler: Address=0x", "CrashModule: ", "<Trace CrashHandler", "Trace>",
          "TraceGlobal1: ", "TraceGlobal2 unreadable.", "CrashHandler: returning"})
        EXPECT_NE(run.m_Log.find("] " + std::string(line)), std::string::npos) << line;
    // The unload routine never ran: the process ended in the signal.
    EXPECT_EQ(run.m_Log.find("[OnExit]"), std::string::npos);
}

TEST(LibraryProcess, CrashReportReachesTheErrorLogWhileAnotherThreadHoldsItsLock) {
    const ChildRun run = RunChild("stuck");
    EXPECT_TRUE(KilledBySegmentationFault(run.m_Status)) << run.m_Status;
    EXPECT_TRUE(HasCrashReport(run.m_Log)) << run.m_Log;
    EXPECT_EQ(run.m_Errors, "");
}

// The commonest crash is heap damage found inside malloc: the report must not wait for the
// allocator. It is complete and the process ends by the fault, before the watchdog would end it.
TEST(LibraryProcess, CrashReportIsWrittenWhileAnotherThreadHoldsTheAllocatorLock) {
    const ChildRun run = RunChild("heap");
    // A sanitizer's allocator has no arena lock that malloc_stats would hold.
    if (WIFEXITED(run.m_Status) && WEXITSTATUS(run.m_Status) == 4)
        GTEST_SKIP() << "the child could not hold the allocator's lock (not glibc's allocator)";
    EXPECT_TRUE(KilledBySegmentationFault(run.m_Status)) << run.m_Status;
    EXPECT_TRUE(HasCrashReport(run.m_Log)) << run.m_Log;
    // 0.3 s of set-up and the trace report's 1 s pause.
    EXPECT_LT(run.m_Seconds, Platform::k_CrashReportSeconds - 1.0);
}

TEST(LibraryProcess, UnloadReportsDetachAndChecksTracesUnlessBroken) {
    for (const char* mode : {"exit", "break"}) {
        const ChildRun run = RunChild(mode);
        EXPECT_EQ(run.m_Status, 0) << mode;
        EXPECT_TRUE(InOrder(run.m_Log,
                            {"[DETACH 0x", "[DLLInitializeCount!=0]", "[OnExit]\n", "[EOF/Xerr]"}))
            << run.m_Log;
        EXPECT_EQ(run.m_Log.find("[SIGCRASH]"), std::string::npos);
        const bool traced = run.m_Log.find("<Trace DLL_PROCESS_DETACH") != std::string::npos;
        EXPECT_EQ(traced, std::string(mode) == "exit") << mode;
    }
}
