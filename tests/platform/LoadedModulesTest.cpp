#include "quorlix/platform/LoadedModules.h"
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
    ASSERT_TRUE(
        ModuleOfAddress(reinterpret_cast<const void*>(&OwnVersionRecord), path, sizeof path));
    EXPECT_TRUE(std::string(path).ends_with("/libQuorlix010219.so")) << path;
    ASSERT_TRUE(ModuleOfAddress(&OwnVersionRecord(), path, sizeof path)); // data as well
    EXPECT_TRUE(std::string(path).ends_with("/libQuorlix010219.so")) << path;

    static const int inTheProgram = 0;
    ASSERT_TRUE(ModuleOfAddress(&inTheProgram, path, sizeof path));
    EXPECT_EQ(fs::path(path), fs::read_symlink("/proc/self/exe"));

    int onTheStack = 0;
    EXPECT_FALSE(ModuleOfAddress(&onTheStack, path, sizeof path));
    EXPECT_EQ(ModuleBaseOfAddress(&onTheStack), nullptr);
    EXPECT_EQ(ModuleBaseOfAddress(nullptr), nullptr);
    // The library's code and data share one load address.
    const void* base = ModuleBaseOfAddress(reinterpret_cast<const void*>(&OwnVersionRecord));
    EXPECT_NE(base, nullptr);
    EXPECT_EQ(ModuleBaseOfAddress(&OwnVersionRecord()), base);
    EXPECT_STREQ(path, "");
    EXPECT_FALSE(ModuleOfAddress(nullptr, path, sizeof path));
    EXPECT_FALSE(ModuleOfAddress(&onTheStack, nullptr, 10));

    char tiny[5] = "abcd";
    ASSERT_TRUE(
        ModuleOfAddress(reinterpret_cast<const void*>(&OwnVersionRecord), path, sizeof path));
    ASSERT_TRUE(ModuleOfAddress(reinterpret_cast<const void*>(&OwnVersionRecord), tiny, 5));
    EXPECT_EQ(std::string(tiny), std::string(path).substr(0, 4));
}

TEST(LoadedModules, WalksTheProgramFirstAndStopsWhenAsked) {
    std::vector<std::string> names;
    ForEachLoadedModule(
        [](const char* path, const void*, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(path);
            return true;
        },
        &names);
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(fs::path(names[0]), fs::read_symlink("/proc/self/exe"));
    int library = 0;
    for (const std::string& name : names) {
        library += name.ends_with("/libQuorlix010219.so");
        EXPECT_EQ(name.find("linux-vdso"), std::string::npos);
    }
    EXPECT_EQ(library, 1);

    int visits = 0;
    ForEachLoadedModule(
        [](const char*, const void*, void* context) {
            ++*static_cast<int*>(context);
            return false;
        },
        &visits);
    EXPECT_EQ(visits, 1);
    ForEachLoadedModule(nullptr, nullptr);
}

TEST(LoadedModules, RecognisesGraphicsDriverNamesByFileNameOnly) {
    for (const char* name : {"/usr/lib/x86_64-linux-gnu/libGL.so.1", "libEGL_nvidia.so.0",
                             "/usr/lib/dri/iris_dri.so", "libgallium-24.so"})
        EXPECT_TRUE(IsGraphicsDriverModule(name)) << name;
    for (const char* name : {"/usr/lib/libc.so.6", "/opt/nvidia/libc.so.6", "/home/mesa/libz.so.1",
                             "libglib-2.0.so", "", static_cast<const char*>(nullptr)})
        EXPECT_FALSE(IsGraphicsDriverModule(name)) << (name != nullptr ? name : "(null)");
}

TEST(LoadedModules, WriteTimesOfRegularFilesAsFileTime) {
    const fs::path dir = fs::temp_directory_path() / "quorlix_loaded_modules_test";
    fs::create_directories(dir);
    const fs::path file = dir / "lib.so";
    std::ofstream(file) << "x";
    // 2020-01-01 00:00:00.5 UTC.
    const std::chrono::sys_time<std::chrono::nanoseconds> when =
        std::chrono::sys_days{std::chrono::year{2020} / 1 / 1} + std::chrono::milliseconds{500};
    fs::last_write_time(file, std::chrono::file_clock::from_sys(when));
    uint64_t written = 1;
    ASSERT_TRUE(GetFileWriteTime(file.c_str(), written));
    EXPECT_EQ(written, 132223104005000000u);
    EXPECT_FALSE(GetFileWriteTime(dir.c_str(), written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(GetFileWriteTime((dir / "LIB.so").c_str(), written)); // exact names only
    EXPECT_FALSE(GetFileWriteTime(nullptr, written));
    fs::remove_all(dir);
}
