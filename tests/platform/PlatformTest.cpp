#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/platform/Threading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

using namespace Quorlix::Platform;

TEST(PlatformThreading, ThreadIdsAreStablePerThreadAndDistinct) {
    const uint32_t mine = CurrentThreadId();
    EXPECT_EQ(CurrentThreadId(), mine);
    uint32_t other = mine;
    std::thread([&] { other = CurrentThreadId(); }).join();
    EXPECT_NE(other, mine);
}

TEST(PlatformMemory, PagesAreWholeZeroedAndAligned) {
    const size_t page = PageSize();
    EXPECT_EQ(page & (page - 1), 0u);
    EXPECT_EQ(AllocatePages(0), nullptr);
    for (size_t bytes : {size_t{1}, page, page + 1}) {
        auto* pages = static_cast<unsigned char*>(AllocatePages(bytes));
        ASSERT_NE(pages, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pages) % page, 0u);
        const size_t whole = (bytes + page - 1) / page * page;
        EXPECT_EQ(std::count(pages, pages + whole, 0), static_cast<ptrdiff_t>(whole));
        std::memset(pages, 0x5A, whole); // every byte of the rounded size is usable
        FreePages(pages, bytes);
    }
}

TEST(DynamicLibrary, LoadsLibrariesFindsSymbolsAndReportsWhatIsMissing) {
    DynamicLibrary* zlib = LoadDynamicLibrary("libz.so.1");
    ASSERT_NE(zlib, nullptr) << LastLibraryError();
    EXPECT_EQ(LastLibraryError(), "");
    using VersionFunction = const char* (*)();
    auto version = reinterpret_cast<VersionFunction>(FindLibrarySymbol(zlib, "zlibVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version()[0], '1');
    EXPECT_EQ(FindLibrarySymbol(zlib, "noSuchSymbolInZlib"), nullptr);
    EXPECT_NE(LastLibraryError(), "");
    UnloadDynamicLibrary(zlib);

    EXPECT_EQ(LoadDynamicLibrary("libQuorlixNoSuchLibrary.so"), nullptr);
    EXPECT_NE(LastLibraryError().find("libQuorlixNoSuchLibrary.so"), std::string::npos);

    const std::string path = LibraryPath();
    EXPECT_TRUE(path.starts_with('/') && path.ends_with("/libQuorlix010219.so")) << path;
    int local = 0;
    EXPECT_EQ(ModulePathOfAddress(&local), "");
}
