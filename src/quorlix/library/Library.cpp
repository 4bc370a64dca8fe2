#include "quorlix/library/Library.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Module.h"
#include "quorlix/core/Version.h"
#include "quorlix/core/internal/FixedText.h"
#include "quorlix/core/internal/SiblingSearch.h"
#include "quorlix/library/internal/LifecycleSteps.h"
#include "quorlix/log/LogConsole.h"
#include "quorlix/log/LogMsg.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/log/Trace.h"
#include "quorlix/log/internal/CrashLog.h"
#include "quorlix/platform/CrashSignals.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/LoadedModules.h"
#include "quorlix/platform/Process.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/platform/VersionRecord.h"
#include "quorlix/render/Texture.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace Quorlix {

namespace {

using Internal::FixedText;
using Internal::RunLifecycleSteps;

CriticalSection G_LibraryLock;
int G_InitializeCount = 0; // changed only under G_LibraryLock
bool G_UnloadRegistered = false;
// A texture load job on its own thread keeps the library initialised while it runs.
[[maybe_unused]] const bool G_TextureHooks =
    (Texture::SetLibraryReferenceHooks(&DLLInitialize, &DLLDeInitialize), true);

void ErrorLine(const char* text) {
    Xerr.pLockError() << text;
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

void DebugLine(const char* text) {
    Xerr.pLockDebug() << text;
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

// Runs at exit before the static destructors (it is registered after they are): first what the
// unload notification reports, then the log streams' end.
void UnloadRoutine() {
    // Texture load jobs hold library references and may still be reading files.
    Texture::WaitForLoadJobs(10000);
    Xerr.pLock() << "[DETACH 0x";
    Xerr.pMemPtr(DLLGetModule()) << "/0x";
    Xerr.pMemPtr(DLLGetModule()) << "]";
    Xerr.pLF();
    Xerr.pUnlock();
    if (DLLGetInitializeCount() != 0)
        ErrorLine("[DLLInitializeCount!=0]");
    if (G_SIGCRASH != 0)
        ErrorLine("[SIGCRASH]");
    if (G_SIGABORT == 0 && G_SIGCRASH == 0)
        CheckTrace("DLL_PROCESS_DETACH");
    Xerr.pLock() << "[OnExit]";
    Xerr.pLF();
    Xerr.pUnlock();
    DLLExitLogStreams();
}

// "DLL: \"path\": a.b.c.d e.f.g.h dateMS/dateLS." without the line feed.
template <size_t N>
bool FormatVersionLine(const char* path, FixedText<N>& line) {
    Platform::VersionRecord record{};
    if (!Platform::ReadVersionRecord(path, record))
        return false;
    auto version = [&line](uint32_t high, uint32_t low) {
        line.AddDecimal(high >> 16).Add('.').AddDecimal(high & 0xFFFF).Add('.');
        line.AddDecimal(low >> 16).Add('.').AddDecimal(low & 0xFFFF);
    };
    line.Add("DLL: ").AddQuotedC(path, std::strlen(path)).Add(": ");
    version(record.m_FileVersionMS, record.m_FileVersionLS);
    line.Add(' ');
    version(record.m_ProductVersionMS, record.m_ProductVersionLS);
    line.Add(' ').AddDecimal(record.m_FileDateMS).Add('/').AddDecimal(record.m_FileDateLS);
    line.Add('.');
    return true;
}

// The crash report: no allocation, no lock, no stream (see Internal::CrashLog). Lines are
// formatted in fixed buffers; the module list is the snapshot taken when the handler was
// installed.
constexpr size_t k_CrashLineBytes = 4200;

using Internal::CrashLog;

template <size_t N>
void ErrorLine(CrashLog& log, const FixedText<N>& line) {
    log.Line(Internal::LogError, line.Text(), line.Length());
}

void VersionLine(CrashLog& log, const char* path) {
    FixedText<k_CrashLineBytes> line;
    if (!FormatVersionLine(path, line))
        return;
    log.BeginPlain();
    log.Add(line.Text(), line.Length());
    log.End();
}

bool VisitGraphicsDriver(const char* path, const void*, void* context) {
    if (Platform::IsGraphicsDriverModule(path))
        VersionLine(*static_cast<CrashLog*>(context), path);
    return true;
}

void TraceGlobalLine(CrashLog& log, const char* label, const void* global) {
    if (global == nullptr)
        return;
    char text[64];
    const size_t read = Platform::ReadMemoryProtected(global, text, sizeof text);
    FixedText<256> line;
    line.Add(label);
    if (read == 0) {
        line.Add(" unreadable.");
    } else {
        const void* end = std::memchr(text, '\0', read);
        const size_t length = end != nullptr ? static_cast<const char*>(end) - text : read;
        line.Add(": ").AddQuotedC(text, length);
    }
    ErrorLine(log, line);
}

void ReportCrash(const Platform::CrashInfo& crash) noexcept {
    G_SIGCRASH = 1;
    CrashLog log;
    FixedText<k_CrashLineBytes> line;
    line.Add("CrashHandler: ThreadId=0x").AddHex(Platform::CurrentThreadIdUncached());
    ErrorLine(log, line);
    line.Clear();
    line.Add("CrashHandler: Address=0x").AddHex(reinterpret_cast<uintptr_t>(crash.m_Address));
    line.Add(" ExceptionCode=0x").AddHex(crash.m_Code);
    ErrorLine(log, line);

    char module[4096];
    if (Platform::SnapshotModuleOfAddress(crash.m_Address, module, sizeof module)) {
        line.Clear();
        line.Add("CrashModule: ").AddQuotedC(module, std::strlen(module));
        ErrorLine(log, line);
        VersionLine(log, module);
        Platform::ForEachSnapshotModule(&VisitGraphicsDriver, &log);
    }
    Internal::CheckTraceForCrash("CrashHandler", log);
    TraceGlobalLine(log, "TraceGlobal1", GetTraceGlobal1_());
    TraceGlobalLine(log, "TraceGlobal2", GetTraceGlobal2_());
    line.Clear();
    line.Add("CrashHandler: returning");
    ErrorLine(log, line);
}

// The console-forcing notice of a re-entry from the load or unload notification.
void ShowConsoles() {
    InitLogStreams(true, true, nullptr, nullptr, 0, 0, false, false);
}
void RestoreConsoles() {
    InitLogStreams(false, false, nullptr, nullptr, 0, 0, false, false);
}

} // namespace

void DLLInitialize(int attach) {
    CriticalSectionLock lock(G_LibraryLock);
    if (++G_InitializeCount == 1) {
        Xerr.pLockDebug() << "DLLInitialize() ver=F" << k_VersionTag << "x ...";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        Platform::InstallCrashHandler(&ReportCrash);
        if (!G_UnloadRegistered)
            G_UnloadRegistered = std::atexit(&UnloadRoutine) == 0;
        (void)DLLDetectVersionMismatch(); // reports only
        RunLifecycleSteps(Internal::InitializeSteps());
        DebugLine("DLLInitialize() ok.");
    } else if (attach != 0) {
        ShowConsoles();
        ErrorLine("DLLInitialize: dll process attach was called but library was already "
                  "initialized.");
        for (int i = 0; i < 80; ++i) {
            Platform::SleepMilliseconds(25);
            Xerr << ".";
            Xerr.Flush();
        }
        Xerr << "\n";
        RestoreConsoles();
    }
}

void DLLDeInitialize(int detach) {
    CriticalSectionLock lock(G_LibraryLock);
    const int before = G_InitializeCount;
    // An unmatched call must not drive the count below zero: the next DLLInitialize would not
    // be the first one, and the class tables would never be built again.
    if (G_InitializeCount > 0)
        --G_InitializeCount;
    if (before != 1) {
        RunLifecycleSteps(Internal::ReleaseThreadSteps());
        if (detach != 0) {
            ShowConsoles();
            ErrorLine("DLLInitialize: dll process detach was called but not all threads did "
                      "exit before.");
            Platform::SleepMilliseconds(3000);
            RestoreConsoles();
        }
        return;
    }
    DebugLine("DLLDeInitialize() ...");
    RunLifecycleSteps(Internal::DeInitializeSteps());
    SetLogConsole(nullptr);
    Platform::RemoveCrashHandler();
    DebugLine("DLLDeInitialize() ok.");
}

int DLLGetInitializeCount() {
    CriticalSectionLock lock(G_LibraryLock);
    return G_InitializeCount;
}

int DLLDetectVersionMismatch() {
    return DetectVersionMismatchOfPath(DLLGetModulePath());
}

int DetectVersionMismatchOfPath(const char* path) {
    if (path != nullptr && std::strstr(path, k_VersionTag) != nullptr)
        return 0;
    return LogMsg(EFail, "DetectVersionMismatch", nullptr, ErrActionDefault,
                  "The internal library version (010219) differs from the library DLL name.");
}

int DLLDetectAmbiguousLibraries(bool report) {
    const std::string searchPath = Platform::GetEnvironmentVariable("LD_LIBRARY_PATH");
    const Internal::SiblingSearch search = Internal::SearchSiblingLibraries(searchPath.c_str());
    if (!report || search.m_Ambiguous == 0)
        return static_cast<int>(search.m_Found);
    std::string text = "Multiple dynamic link library (.DLL) files with the same name but "
                       "different filetime exist.\n  Please uninstall or delete the unwanted "
                       "duplicates, then restart this application.";
    for (int i = 0; i < Internal::k_SiblingCount; ++i)
        if ((search.m_Ambiguous & (1u << i)) != 0)
            text.append("\n  - \"").append(Internal::k_SiblingLibraries[i]).append("\"");
    (void)LogMsg(EAmbiguous, "DetectAmbiguousLibraries", nullptr, ErrActionDefault, text.c_str());
    return static_cast<int>(search.m_Found);
}

bool DumpDLLVersionStructure(Stream& out, const char* path) {
    FixedText<k_CrashLineBytes> line;
    if (path == nullptr || !FormatVersionLine(path, line))
        return false;
    out.pLock();
    out.Write(line.Text(), static_cast<int>(line.Length()));
    out.pLF();
    out.pUnlock();
    return true;
}

} // namespace Quorlix
