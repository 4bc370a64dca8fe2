#include "quorlix/core/internal/SiblingSearch.h"
#include "quorlix/library/Library.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace Quorlix::Internal;
using std::chrono::seconds;
namespace fs = std::filesystem;

namespace {

class SiblingSearchTest : public testing::Test {
protected:
    void SetUp() override {
        m_Root = fs::temp_directory_path() / ("quorlix_siblings_" + std::to_string(::getpid()));
        for (const char* dir : {"a", "b", "c"})
            fs::create_directories(m_Root / dir);
        m_Previous = fs::current_path();
        fs::current_path(m_Root / "c"); // "./" is searched last
    }
    void TearDown() override {
        fs::current_path(m_Previous);
        fs::remove_all(m_Root);
    }
    // A sibling file written `after` 2020-01-01.
    void Make(const char* dir, int sibling, std::chrono::nanoseconds after) {
        const fs::path file = m_Root / dir / k_SiblingLibraries[sibling];
        std::ofstream(file) << "so";
        const std::chrono::sys_time<std::chrono::nanoseconds> when =
            std::chrono::sys_days{std::chrono::year{2020} / 1 / 1} + after;
        fs::last_write_time(file, std::chrono::file_clock::from_sys(when));
    }
    std::string Dir(const char* dir) const { return (m_Root / dir).string(); }

    fs::path m_Root, m_Previous;
};

} // namespace

TEST_F(SiblingSearchTest, FindsSiblingsAlongThePathAndTellsCopiesWithOtherTimes) {
    // 0x01D6000000000000 in 100-ns steps since 1601 (a day in 2020) has a zero low half: the
    // first copy's time must count as recorded, so the second copy is seen to differ, although
    // by less than a second.
    const auto since1601 =
        std::chrono::duration<int64_t, std::ratio<1, 10000000>>{int64_t{0x01D6} << 48};
    const auto zeroHalf = std::chrono::duration_cast<std::chrono::nanoseconds>(
        since1601 - seconds{11644473600LL} -
        std::chrono::sys_days{std::chrono::year{2020} / 1 / 1}.time_since_epoch());
    Make("a", 0, seconds{1});
    Make("a", 1, zeroHalf);
    Make("b", 1, zeroHalf + std::chrono::microseconds{1});
    Make("c", 2, seconds{1});
    // The same folder twice, once with a trailing '/', and empty pieces: found, not ambiguous.
    const std::string path = "::" + Dir("a") + ":" + Dir("a") + "/:" + Dir("b") + ":";
    const SiblingSearch result = SearchSiblingLibraries(path.c_str());
    EXPECT_EQ(result.m_Found, 0x80000007u);
    EXPECT_EQ(result.m_Ambiguous, 0x80000002u);
    // No search path: nothing is searched, the current folder neither.
    EXPECT_EQ(SearchSiblingLibraries("").m_Found, 0u);
}

TEST_F(SiblingSearchTest, TheLibraryReportsCopiesWithDifferentTimesByName) {
    Make("a", 0, seconds{1});
    Make("b", 0, seconds{5});
    const char* before = std::getenv("LD_LIBRARY_PATH");
    const std::string saved = before != nullptr ? before : ""; // put back as set or empty
    ::setenv("LD_LIBRARY_PATH", (Dir("a") + ":" + Dir("b")).c_str(), 1);
    QuorlixTest::LogCapture log;
    EXPECT_EQ(static_cast<uint32_t>(Quorlix::DLLDetectAmbiguousLibraries(false)), 0x80000001u);
    EXPECT_TRUE(log.Text().empty());
    EXPECT_EQ(static_cast<uint32_t>(Quorlix::DLLDetectAmbiguousLibraries(true)), 0x80000001u);
    ::setenv("LD_LIBRARY_PATH", saved.c_str(), 1);
    EXPECT_TRUE(log.Text().starts_with("Error [8000000D] EAmbiguous:")) << log.Text();
    EXPECT_NE(log.Text().find("Multiple dynamic link library (.DLL) files with the same name but "
                              "different filetime exist.\n  Please uninstall or delete the "
                              "unwanted duplicates, then restart this application.\n  - "
                              "\"libQuorlix010219.so\"\n"),
              std::string::npos);
}
