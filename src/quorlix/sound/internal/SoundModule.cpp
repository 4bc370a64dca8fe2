#include "quorlix/sound/internal/SoundModule.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/LoadedModules.h"
#include "quorlix/platform/Process.h"

#include <atomic>
#include <cctype>
#include <cstdint>

namespace Quorlix::Internal {

namespace {

constexpr char k_DX8[] = "DX8";
constexpr char k_DX3[] = "DX3";
// Loads when the system has the output library the DX8 module needs.
constexpr char k_OutputLibrary[] = "libopenal.so.1";

// The audio-file path decides once per process: 0 undecided, 3 or 8 the variant. A failure to
// load DX8 there moves it to DX3 for good.
std::atomic<int> G_AudioFileVariant{0};

bool IsVariantName(const std::string& name) {
    if (name.empty() || name.size() > k_MaxVariantLength)
        return false;
    for (const char ch : name)
        if (std::isalnum(static_cast<unsigned char>(ch)) == 0)
            return false;
    return true;
}

// The variant QUORLIX_SOUND_MODULE names, or "" when it names none (a bad name is logged).
std::string ForcedVariant() {
    if (!Platform::HasEnvironmentVariable(k_SoundModuleVariable))
        return {};
    const std::string name = Platform::GetEnvironmentVariable(k_SoundModuleVariable);
    if (IsVariantName(name))
        return name;
    Xerr.pLockWarn() << k_SoundModuleVariable << " names no sound module (1 to 16 letters or "
                     << "digits); ignored.";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return {};
}

bool OutputLibraryLoads() {
    Platform::DynamicLibrary* probe = Platform::LoadDynamicLibrary(k_OutputLibrary);
    Platform::UnloadDynamicLibrary(probe);
    return probe != nullptr;
}

std::string AutomaticVariant(SoundFactory factory) {
    if (factory == SoundFactory::Device)
        return OutputLibraryLoads() ? k_DX8 : k_DX3;
    int decided = G_AudioFileVariant.load();
    if (decided == 0) {
        G_AudioFileVariant.compare_exchange_strong(decided, OutputLibraryLoads() ? 8 : 3);
        decided = G_AudioFileVariant.load();
    }
    return decided == 8 ? k_DX8 : k_DX3;
}

// Beside this library first, then wherever the loader looks. When the file beside us exists
// but does not load, its reason is the one worth reporting.
Platform::DynamicLibrary* LoadModuleFile(const std::string& fileName, std::string& reason) {
    std::string beside = Platform::LibraryPath();
    const size_t slash = beside.rfind('/');
    beside = slash == std::string::npos ? fileName : beside.substr(0, slash + 1) + fileName;
    if (Platform::DynamicLibrary* library = Platform::LoadDynamicLibrary(beside.c_str()))
        return library;
    reason = Platform::LastLibraryError();
    uint64_t written = 0;
    const bool existsBeside = Platform::GetFileWriteTime(beside.c_str(), written);
    if (Platform::DynamicLibrary* library = Platform::LoadDynamicLibrary(fileName.c_str()))
        return library;
    if (!existsBeside)
        reason = Platform::LastLibraryError();
    return nullptr;
}

void LogModuleFailure(const char* caller, const std::string& fileName, const char* what,
                      const std::string& reason) {
    Xerr.pLockError() << caller << '(' << fileName.c_str() << "): " << what;
    Xerr.pLF();
    if (!reason.empty()) {
        Xerr << "    Error: " << reason.c_str();
        Xerr.pLF();
    }
    Xerr.pUnlockMessage();
}

} // namespace

std::string SoundModuleFileName(const std::string& variant) {
    return "libQuorlix" QUORLIX_VERSION_TAG "SOUND" + variant + ".so";
}

SoundModule LoadSoundModule(const char* caller, SoundFactory factory, const char* forcedVariant) {
    std::string variant = forcedVariant != nullptr ? std::string(forcedVariant) : ForcedVariant();
    const bool forced = !variant.empty();
    if (!forced)
        variant = AutomaticVariant(factory);

    std::string fileName = SoundModuleFileName(variant);
    std::string reason;
    Platform::DynamicLibrary* library = LoadModuleFile(fileName, reason);
    if (library == nullptr && !forced && variant == k_DX8) {
        if (factory == SoundFactory::AudioFile)
            G_AudioFileVariant.store(3);
        fileName = SoundModuleFileName(k_DX3);
        library = LoadModuleFile(fileName, reason);
    }
    if (library == nullptr) {
        LogModuleFailure(caller, fileName, "DLL load failed.", reason);
        return {};
    }

    const char* symbol =
        factory == SoundFactory::Device ? k_SoundDeviceFactorySymbol : k_AudioSrcFileFactorySymbol;
    void* function = Platform::FindLibrarySymbol(library, symbol);
    if (function == nullptr) {
        LogModuleFailure(caller, fileName, "create function unresolved.", {});
        Platform::UnloadDynamicLibrary(library);
        return {};
    }
    return {library, function, fileName, !forced && variant == k_DX8};
}

} // namespace Quorlix::Internal
