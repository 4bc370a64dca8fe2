// "quorlix texture cache" as a user runs it: caches written, then checked as fresh, stale and
// unreadable, and the statuses it exits with.

#include "ToolRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace QuorlixTest;

TEST(TextureTool, WritesAndChecksCaches) {
    TempDir folder;
    ASSERT_EQ(
        std::system(("convert -size 4x4 xc:blue -depth 8 '" + (folder / "a.png") + "'").c_str()),
        0);
    {
        const ToolOutcome check = RunTool(folder, "texture cache --check a gone");
        EXPECT_EQ(check.m_Status, 1);
        EXPECT_EQ(check.m_Out, "a: missing\ngone: missing\n");
    }
    {
        const ToolOutcome write = RunTool(folder, "texture cache a.png");
        EXPECT_EQ(write.m_Status, 0) << write.m_Err;
        EXPECT_EQ(write.m_Out, "a.png: written\n");
        EXPECT_EQ(RunTool(folder, "texture cache --check a").m_Out, "a: fresh\n");
        EXPECT_EQ(RunTool(folder, "texture cache --check a").m_Status, 0);
    }
    {
        ASSERT_EQ(std::system(("touch -d '+1 hour' '" + (folder / "a.png") + "'").c_str()), 0);
        EXPECT_EQ(RunTool(folder, "texture cache --check a").m_Out, "a: stale\n");
        WriteFileBytes(folder / "a.cache.bmg", "BMG");
        ASSERT_EQ(std::system(("touch -d '+2 hours' '" + (folder / "a.cache.bmg") + "'").c_str()),
                  0);
        EXPECT_EQ(RunTool(folder, "texture cache --check a").m_Out, "a: unreadable\n");
    }
    {
        const ToolOutcome missing = RunTool(folder, "texture cache gone");
        EXPECT_EQ(missing.m_Status, 1);
        EXPECT_TRUE(Contains(missing.m_Err, "gone")) << missing.m_Err;
        EXPECT_EQ(RunTool(folder, "texture cache").m_Status, 2);
    }
}
