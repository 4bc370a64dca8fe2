// The full-screen mode search over mode lists no display here has: exact matches, the depth
// retry orders, displays that do not state a field, and the log lines on the way.

#include "quorlix/render/internal/FullscreenMode.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;
using Platform::DisplayMode;

namespace {

struct Search {
    int m_Index = -1;
    DisplayMode m_Chosen;
    std::vector<std::string> m_Log;
    std::vector<std::string> m_Out;
};

Search Find(const std::vector<DisplayMode>& modes, DisplayMode requested) {
    Search s;
    LogCapture out(Xout);
    LogCapture log;
    s.m_Index = Internal::FindFullscreenMode(modes.data(), static_cast<int>(modes.size()),
                                             requested, s.m_Chosen);
    s.m_Log = log.Messages();
    s.m_Out = out.Messages();
    return s;
}

const char* const k_Detecting = "[Info ]InitializeWindow: detecting fullscreen modes...";
const char* const k_NotAvailable = "[Error]EnumDisplaySettings: requested mode is not available.";

TEST(FullscreenMode, ExactMatchAndRefreshRate) {
    const std::vector<DisplayMode> modes = {
        {800, 600, 32, 60}, {640, 480, 16, 60}, {640, 480, 16, 75}, {640, 480, 32, 70}};
    {
        const Search s = Find(modes, {640, 480, 16, 75});
        EXPECT_EQ(s.m_Index, 2);
        EXPECT_EQ(s.m_Log, std::vector<std::string>{k_Detecting});
        EXPECT_EQ(s.m_Out,
                  (std::vector<std::string>{"[Info ]InitializeWindow: mode 0: 800x600x32@60",
                                            "[Info ]InitializeWindow: mode 1: 640x480x16@60",
                                            "[Info ]InitializeWindow: mode 2: 640x480x16@75",
                                            "[Info ]InitializeWindow: mode 3: 640x480x32@70"}));
    }
    // Rate 0 takes the first mode of the size and depth.
    EXPECT_EQ(Find(modes, {640, 480, 16, 0}).m_Index, 1);
    {
        // 16 bits at 70 Hz: none, then 24 (none), then 32.
        const Search s = Find(modes, {640, 480, 16, 70});
        EXPECT_EQ(s.m_Index, 3);
        EXPECT_EQ(s.m_Chosen.m_Depth, 32);
        EXPECT_EQ(s.m_Chosen.m_Width, 640);
        EXPECT_EQ(s.m_Log, (std::vector<std::string>{
                               k_Detecting, "[Info ]InitializeWindow: Retrying with 640x480x24@70",
                               "[Info ]InitializeWindow: Retrying with 640x480x32@70"}));
    }
}

TEST(FullscreenMode, DepthRetryOrders) {
    struct Case {
        int m_Depth;
        std::vector<int> m_Retries;
    };
    const Case cases[] = {{16, {24, 32}}, {24, {32, 16}}, {32, {24, 16}}, {8, {}}};
    const std::vector<DisplayMode> none = {{1024, 768, 16, 60}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_Depth);
        const Search s = Find(none, {320, 200, c.m_Depth, 0});
        EXPECT_EQ(s.m_Index, -1);
        std::vector<std::string> expected = {k_Detecting};
        for (int depth : c.m_Retries)
            expected.push_back("[Info ]InitializeWindow: Retrying with 320x200x" +
                               std::to_string(depth) + "@0");
        expected.push_back(k_NotAvailable);
        EXPECT_EQ(s.m_Log, expected);
    }
    // The retry stops at the first depth found: 24 requested, 32 exists before 16.
    const std::vector<DisplayMode> both = {{640, 480, 16, 60}, {640, 480, 32, 60}};
    EXPECT_EQ(Find(both, {640, 480, 24, 60}).m_Index, 1);
    EXPECT_EQ(Find(both, {640, 480, 32, 60}).m_Index, 1);
}

TEST(FullscreenMode, FieldsTheDisplayDoesNotStateMatchAnything) {
    {
        // Xvfb: one mode whose rate is 0; 16 bits are retried up to its 24.
        const Search s = Find({{1024, 768, 24, 0}}, {1024, 768, 16, 70});
        EXPECT_EQ(s.m_Index, 0);
        EXPECT_EQ(s.m_Chosen.m_RefreshRate, 70);
        EXPECT_EQ(s.m_Chosen.m_Depth, 24);
    }
    {
        // The offscreen driver: one mode of no size and depth takes any request as it is.
        const Search s = Find({{0, 0, 0, 0}}, {1280, 720, 16, 60});
        EXPECT_EQ(s.m_Index, 0);
        EXPECT_EQ(s.m_Chosen.m_Width, 1280);
        EXPECT_EQ(s.m_Chosen.m_Depth, 16);
        EXPECT_EQ(s.m_Log, std::vector<std::string>{k_Detecting});
    }
    // No list at all fails after the retries.
    EXPECT_EQ(Find({}, {640, 480, 16, 0}).m_Index, -1);
    DisplayMode chosen;
    LogCapture log;
    EXPECT_EQ(Internal::FindFullscreenMode(nullptr, 5, {640, 480, 32, 0}, chosen), -1);
}

} // namespace
