#include "quorlix/platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>

using namespace Quorlix::Platform;

TEST(DynamicLibrary, LoadsASystemLibraryAndFindsItsSymbols) {
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
}

TEST(DynamicLibrary, MissingLibrariesReportWhy) {
    EXPECT_EQ(LoadDynamicLibrary("libQuorlixNoSuchLibrary.so"), nullptr);
    EXPECT_NE(LastLibraryError().find("libQuorlixNoSuchLibrary.so"), std::string::npos);
    EXPECT_EQ(LoadDynamicLibrary(""), nullptr);
    EXPECT_NE(LastLibraryError(), "");
}

TEST(DynamicLibrary, LibraryPathNamesThisLibrary) {
    const std::string path = LibraryPath();
    const std::string name = "/libQuorlix010219.so";
    ASSERT_GT(path.size(), name.size());
    EXPECT_EQ(path.front(), '/');
    EXPECT_EQ(path.substr(path.size() - name.size()), name);
    int local = 0;
    EXPECT_EQ(ModulePathOfAddress(&local), "");
}
