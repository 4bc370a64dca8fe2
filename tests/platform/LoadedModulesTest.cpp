#include "quorlix/platform/LoadedModules.h"
#include "quorlix/platform/CrashSignals.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/VersionRecord.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace Quorlix::Platform;
namespace fs = std::filesystem;

TEST(LoadedModules, NamesTheModuleOfAnAddress) {
    char path[4096];
    ASSERT_TRUE(ModuleOfAddress(&OwnVersionRecord(), path, sizeof path));
    EXPECT_TRUE(std::string(path).ends_with("/libQuorlix010219.so")) << path;
    static const int inTheProgram = 0;
    ASSERT_TRUE(ModuleOfAddress(&inTheProgram, path, sizeof path));
    EXPECT_EQ(fs::path(path), fs::read_symlink("/proc/self/exe"));
    const int onTheStack = 0;
    EXPECT_FALSE(ModuleOfAddress(&onTheStack, path, sizeof path));
    EXPECT_STREQ(path, "");
}

TEST(LoadedModules, WalksFromTheProgramAndStopsWhenAsked) {
    std::vector<std::string> names;
    ForEachLoadedModule(
        [](const char* path, const void*, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(path);
            return !std::string(path).ends_with("/libQuorlix010219.so"); // stop there
        },
        &names);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(fs::path(names[0]), fs::read_symlink("/proc/self/exe"));
    EXPECT_TRUE(names.back().ends_with("/libQuorlix010219.so")) << names.back();
}

TEST(LoadedModules, SnapshotAnswersAsTheLoaderDidAndFollowsOwnLoads) {
    RefreshModuleSnapshot();
    using Names = std::vector<std::string>;
    const auto collect = [](const char* path, const void*, void* context) {
        static_cast<Names*>(context)->push_back(path);
        return true;
    };
    Names loaded, kept;
    ForEachLoadedModule(collect, &loaded);
    ForEachSnapshotModule(collect, &kept);
    EXPECT_EQ(kept, loaded);
    static const int inTheProgram = 0;
    const int onTheStack = 0;
    for (const void* address :
         {static_cast<const void*>(&OwnVersionRecord()), static_cast<const void*>(&inTheProgram),
          static_cast<const void*>(&onTheStack)}) {
        char fromLoader[4096], fromSnapshot[4096];
        const bool found = ModuleOfAddress(address, fromLoader, sizeof fromLoader);
        EXPECT_EQ(SnapshotModuleOfAddress(address, fromSnapshot, sizeof fromSnapshot), found);
        EXPECT_STREQ(fromSnapshot, fromLoader);
    }

    // While the crash handler is installed, loads through the library refresh the snapshot.
    InstallCrashHandler([](const CrashInfo&) noexcept {});
    DynamicLibrary* library = LoadDynamicLibrary("libuuid.so.1");
    ASSERT_NE(library, nullptr) << LastLibraryError();
    const void* symbol = FindLibrarySymbol(library, "uuid_generate");
    char path[4096];
    EXPECT_TRUE(SnapshotModuleOfAddress(symbol, path, sizeof path));
    EXPECT_TRUE(std::string(path).ends_with("/libuuid.so.1")) << path;
    UnloadDynamicLibrary(library);
    RemoveCrashHandler();
}

TEST(LoadedModules, RecognisesGraphicsDriverNamesByFileNameOnly) {
    for (const char* name : {"/usr/lib/x86_64-linux-gnu/libGL.so.1", "libEGL_nvidia.so.0",
                             "/usr/lib/dri/iris_dri.so", "libgallium-24.so"})
        EXPECT_TRUE(IsGraphicsDriverModule(name)) << name;
    for (const char* name :
         {"/usr/lib/libc.so.6", "/opt/nvidia/libc.so.6", "/home/mesa/libz.so.1", "libglib-2.0.so"})
        EXPECT_FALSE(IsGraphicsDriverModule(name)) << name;
}

TEST(LoadedModules, WriteTimesOfRegularFilesAsFileTime) {
    const fs::path file = fs::temp_directory_path() / "quorlix_loaded_modules_test.so";
    std::ofstream(file) << "x";
    // 2020-01-01 00:00:00.5 UTC.
    fs::last_write_time(file, std::chrono::file_clock::from_sys(
                                  std::chrono::sys_days{std::chrono::year{2020} / 1 / 1} +
                                  std::chrono::milliseconds{500}));
    uint64_t written = 1;
    ASSERT_TRUE(GetFileWriteTime(file.c_str(), written));
    EXPECT_EQ(written, 132223104005000000u);
    EXPECT_FALSE(GetFileWriteTime(file.parent_path().c_str(), written));
    EXPECT_EQ(written, 0u);
    fs::remove(file);
}
