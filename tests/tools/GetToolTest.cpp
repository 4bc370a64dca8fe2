// "quorlix get" as a user runs it, against nginx on loopback: bodies to standard output and to
// files, ranges, file information, and the failures that must leave no file behind.

#include "ToolRun.h"
#include "support/LocalNginx.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>

using namespace QuorlixTest;

namespace {

class GetTool : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_Nginx = std::make_unique<LocalNginx>();
        if (LocalNginx::Program().empty())
            return;
        WriteFileBytes(s_Nginx->Root() + "/notes.txt", "first line\nsecond line\n");
        // Sun, 29 Feb 2004 10:00:00 GMT
        const timespec times[2] = {{1078048800, 0}, {1078048800, 0}};
        ::utimensat(AT_FDCWD, (s_Nginx->Root() + "/notes.txt").c_str(), times, 0);
        s_Started = s_Nginx->Start();
    }
    static void TearDownTestSuite() { s_Nginx.reset(); }
    void SetUp() override {
        if (LocalNginx::Program().empty())
            GTEST_SKIP() << "nginx is not installed (make deps installs nginx-light)";
        ASSERT_TRUE(s_Started) << s_Nginx->ErrorLog();
    }
    static std::string Url(const std::string& path) { return "'" + s_Nginx->Url(path) + "'"; }

    static inline std::unique_ptr<LocalNginx> s_Nginx;
    static inline bool s_Started = false;
    TempDir m_Dir;
};

TEST_F(GetTool, DownloadsBodiesRangesAndInformation) {
    ToolOutcome run = RunTool(m_Dir, "get " + Url("/notes.txt"));
    EXPECT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_EQ(run.m_Out, "first line\nsecond line\n");
    EXPECT_EQ(run.m_Err, "");

    run = RunTool(m_Dir, "get " + Url("/notes.txt") + " -o copy.txt");
    EXPECT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_EQ(run.m_Out, "");
    EXPECT_EQ(ReadFileBytes(m_Dir / "copy.txt"), "first line\nsecond line\n");

    run = RunTool(m_Dir, "get " + Url("/notes.txt") + " --range 11-16 -o part.txt");
    EXPECT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_EQ(ReadFileBytes(m_Dir / "part.txt"), "second");
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "part.txt.part"));

    run = RunTool(m_Dir, "get --info " + Url("/notes.txt"));
    EXPECT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_EQ(run.m_Out, "url: " + s_Nginx->Url("/notes.txt") +
                             "\nsize: 23\nlast-modified: Sun, 29 Feb 2004 10:00:00 GMT\n"
                             "resumable: yes\n");
}

TEST_F(GetTool, FailuresSayWhyAndLeaveNoFile) {
    ToolOutcome run = RunTool(m_Dir, "get " + Url("/missing.txt") + " -o missing.txt");
    EXPECT_EQ(run.m_Status, 1);
    EXPECT_TRUE(Contains(run.m_Err, "404 Not Found")) << run.m_Err;
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "missing.txt"));
    EXPECT_FALSE(std::filesystem::exists(m_Dir / "missing.txt.part"));

    run = RunTool(m_Dir, "get http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/x");
    EXPECT_EQ(run.m_Status, 1);
    EXPECT_TRUE(Contains(run.m_Err, "cannot connect")) << run.m_Err;

    // Wrong use: a URL or range that cannot be read, options that exclude each other.
    for (const char* arguments :
         {"get http://host:99999/", "get 'http://host/a\tb'", "get http://host/ --range 9-1",
          "get http://host/ --range x", "get http://host/ --info -o f", "get"}) {
        run = RunTool(m_Dir, arguments);
        EXPECT_EQ(run.m_Status, 2) << arguments;
        EXPECT_FALSE(run.m_Err.empty()) << arguments;
    }
}

} // namespace
