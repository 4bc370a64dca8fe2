#pragma once
// A hidden 64 x 64 window on the offscreen driver (which works without any display), a settings
// store of the test's own, and the library started: what every OpenGL test stands on.

#include "quorlix/library/Library.h"
#include "quorlix/platform/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace QuorlixTest {

class OpenGLFixture : public ::testing::Test {
protected:
    static constexpr int k_Size = 64;

    void SetUp() override {
        m_Folder = std::filesystem::temp_directory_path() /
                   ("OpenGLTest." + std::to_string(::getpid()) + "." +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_Folder);
        ::setenv("QUORLIX_SETTINGS_DIR", m_Folder.c_str(), 1);
        ::unsetenv("XPDISABLE_OPENGL_EXTENSIONS");
        Quorlix::DLLInitialize(0);
        ASSERT_TRUE(Quorlix::Platform::StartVideo("offscreen"))
            << Quorlix::Platform::LastWindowError();
        m_VideoStarted = true;
        Quorlix::Platform::WindowDesc desc;
        desc.m_Visible = false;
        desc.m_Width = k_Size;
        desc.m_Height = k_Size;
        desc.m_ColorBits = 24;
        desc.m_DepthBits = 24;
        m_Window = Quorlix::Platform::CreateWindow(desc);
        ASSERT_NE(m_Window, nullptr) << Quorlix::Platform::LastWindowError();
    }
    void TearDown() override {
        Quorlix::Platform::DestroyWindow(m_Window);
        Quorlix::Platform::WindowEvent event;
        while (Quorlix::Platform::PollWindowEvent(event)) {
        }
        if (m_VideoStarted)
            Quorlix::Platform::StopVideo();
        Quorlix::DLLDeInitialize(0);
        ::unsetenv("QUORLIX_SETTINGS_DIR");
        ::unsetenv("XPDISABLE_OPENGL_EXTENSIONS");
        std::filesystem::remove_all(m_Folder);
    }

    std::filesystem::path m_Folder;
    Quorlix::Platform::Window* m_Window = nullptr;
    bool m_VideoStarted = false;
};

} // namespace QuorlixTest
