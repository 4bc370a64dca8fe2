#include "quorlix/core/internal/SiblingSearch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace Quorlix::Internal;
namespace fs = std::filesystem;

namespace {

class SiblingSearchTest : public testing::Test {
protected:
    void SetUp() override {
        m_Root = fs::temp_directory_path() / ("quorlix_siblings_" + std::to_string(::getpid()));
        fs::create_directories(m_Root / "a");
        fs::create_directories(m_Root / "b");
        fs::create_directories(m_Root / "c");
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

using std::chrono::seconds;

TEST_F(SiblingSearchTest, FindsSiblingsAlongThePathAndInTheCurrentFolder) {
    EXPECT_EQ(SearchSiblingLibraries(Dir("a").c_str()).m_Found, 0u);
    Make("a", 0, seconds{1});
    Make("a", 3, seconds{1});
    Make("c", 2, seconds{1});
    // The same folder twice, once with a trailing '/', and empty pieces: found, not ambiguous.
    const std::string path = "::" + Dir("a") + ":" + Dir("a") + "/:" + Dir("b") + ":";
    const SiblingSearch result = SearchSiblingLibraries(path.c_str());
    EXPECT_EQ(result.m_Found, 0b1101u);
    EXPECT_EQ(result.m_Ambiguous, 0u);
    // No search path: nothing is searched, the current folder neither.
    EXPECT_EQ(SearchSiblingLibraries("").m_Found, 0u);
    EXPECT_EQ(SearchSiblingLibraries(nullptr).m_Found, 0u);
    EXPECT_EQ(SearchSiblingLibraries("/no/such/folder").m_Found, 0b0100u);
}

TEST_F(SiblingSearchTest, AWriteTimeWithAZeroHalfIsStillATime) {
    // 0x01D6000000000000 in 100-ns steps since 1601 (a day in 2020) has a zero low half: the
    // first copy's time must count as recorded, so the second copy is seen to differ.
    const auto since1601 =
        std::chrono::duration<int64_t, std::ratio<1, 10000000>>{int64_t{0x01D6} << 48};
    const auto since2020 =
        since1601 - std::chrono::seconds{11644473600LL} -
        (std::chrono::sys_days{std::chrono::year{2020} / 1 / 1}.time_since_epoch());
    Make("a", 0, std::chrono::duration_cast<std::chrono::nanoseconds>(since2020));
    Make("b", 0, seconds{1});
    const std::string path = Dir("a") + ":" + Dir("b");
    EXPECT_EQ(SearchSiblingLibraries(path.c_str()).m_Ambiguous, 0x80000001u);
    // Less than a second apart counts as different too.
    Make("b", 0,
         std::chrono::duration_cast<std::chrono::nanoseconds>(since2020) +
             std::chrono::microseconds{1});
    EXPECT_EQ(SearchSiblingLibraries(path.c_str()).m_Found, 0x80000001u);
}
