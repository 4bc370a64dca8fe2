// OpenGLAPI on the machine's own driver: load and API counts, extension detection, the
// environment switch and settings values, and a driver rule met through stand-in strings.

#include "quorlix/render/opengl/OpenGLAPI.h"
#include "quorlix/core/Registry.h"
#include "quorlix/core/Result.h"
#include "quorlix/platform/Dialog.h"
#include "quorlix/render/opengl/internal/OpenGLDriverStrings.h"
#include "render/OpenGLFixture.h"
#include "support/LogCapture.h"

#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

constexpr OpenGLAPI::GLenum k_Version = 0x1F02;

bool Logged(const LogCapture& log, const std::string& text) {
    return log.Text().find(text) != std::string::npos;
}

std::string Setting(const char* key, const char* name) {
    Registry settings(Registry::CurrentUser);
    return settings.OpenKey(key) ? settings.GetValueData(name).GetCPtr() : "<no key>";
}

void Store(const char* key, const char* name, const char* value) {
    Registry settings(Registry::CurrentUser);
    ASSERT_TRUE(settings.CreateKey(key));
    ASSERT_TRUE(settings.SetValueData(name, value));
}

// The API with a current context on the fixture's window, extensions not yet initialised.
class OpenGLAPITest : public OpenGLFixture {
protected:
    void SetUp() override {
        OpenGLFixture::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(m_API.LoadDLL(), SOK);
        m_Context = m_API.wglCreateContext(m_Window);
        ASSERT_NE(m_Context, nullptr);
        ASSERT_TRUE(m_API.wglMakeCurrent(m_Window, m_Context));
    }
    void TearDown() override {
        Internal::SetOpenGLDriverStrings(nullptr, nullptr, nullptr, nullptr);
        Platform::SetMessageDialogHook(nullptr);
        if (m_Context != nullptr) {
            m_API.wglMakeCurrent(nullptr, nullptr);
            m_API.wglDeleteContext(m_Context);
        }
        OpenGLFixture::TearDown();
    }

    // One start of the engine's extension set-up in a fresh API, as a new process would.
    void Start(const char* basePath, bool exitCleanly) {
        OpenGLAPI api;
        ASSERT_EQ(api.LoadDLL(), SOK);
        ASSERT_EQ(api.InitExtensions(String(basePath), m_Window), SOK);
        m_CullingDisabled = api.IsCullingDisabled();
        m_RangeDrawing = api.HasExtension(OpenGLAPI::k_GL_EXT_draw_range_elements);
        m_Multitexture = api.HasExtension(OpenGLAPI::k_GL_ARB_multitexture);
        m_TextureLod = api.HasExtension(OpenGLAPI::k_GL_EXT_texture_lod);
        if (exitCleanly) {
            EXPECT_EQ(api.ExitExtensions(), SOK);
        }
        api.UnloadDLL();
    }

    OpenGLAPI m_API;
    Platform::GLContext* m_Context = nullptr;
    bool m_CullingDisabled = false;
    bool m_RangeDrawing = false;
    bool m_Multitexture = false;
    bool m_TextureLod = false;
};

std::vector<std::string> G_Dialogs;

int AnswerYes(const char* caption, const char*, const Platform::DialogButton*, int) {
    G_Dialogs.push_back(caption);
    return 1;
}

} // namespace

TEST_F(OpenGLAPITest, CountsLoadsAndInitialisationsAndNeverFreesTheLibrary) {
    LogCapture log;
    OpenGLAPI api;
    EXPECT_EQ(api.InitAPI(String("")), ENotFound);
    EXPECT_EQ(api.UnloadDLL(), EFail);
    ASSERT_EQ(api.LoadDLL(), SOK);
    ASSERT_EQ(api.LoadDLL(), SOK);
    EXPECT_EQ(api.GetLoadCount(), 2);
    EXPECT_TRUE(Logged(log, "OpenGLAPI::LoadDLL: loading \"libGL.so.1\"."));
    EXPECT_TRUE(Logged(log, "ModuleOpenGL="));

    ASSERT_EQ(api.InitAPI(String("")), SOK);
    ASSERT_NE(api.glClear, nullptr);
    ASSERT_NE(api.glDrawElements, nullptr);
    EXPECT_EQ(api.wglCopyContext, nullptr); // no counterpart on this platform
    const auto clear = api.glClear;
    EXPECT_EQ(api.InitAPI(String("")), SOK);
    EXPECT_TRUE(Logged(log, "OpenGLAPI::InitAPI called again."));
    EXPECT_EQ(api.glClear, clear);
    EXPECT_EQ(api.ExitAPI(), SOK);
    EXPECT_FALSE(Logged(log, "called too often"));
    EXPECT_EQ(api.ExitAPI(), SOK);
    EXPECT_TRUE(Logged(log, "OpenGLAPI::ExitAPI called too often."));

    const auto getString = api.glGetString;
    EXPECT_EQ(api.UnloadDLL(), EFail); // one user remains
    EXPECT_EQ(api.glGetString, getString);
    EXPECT_EQ(api.UnloadDLL(), SOK);
    EXPECT_TRUE(Logged(log, "OpenGLAPI::UnloadDLL: unloading \"libGL.so.1\" (bypassed)."));
    EXPECT_EQ(api.glGetString, nullptr);
    EXPECT_EQ(api.glClear, nullptr);
    EXPECT_EQ(api.UnloadDLL(), EFail);
    // The library stayed: an entry point taken before still answers.
    const unsigned char* version = getString(k_Version);
    ASSERT_NE(version, nullptr);
    EXPECT_GE(version[0], '1');
}

TEST_F(OpenGLAPITest, ExtensionsAreWholeWordsAndTheFirstOccurrenceDecides) {
    {
        Internal::SetOpenGLDriverStrings(nullptr, nullptr, nullptr,
                                         "GL_EXT_texture_lod_bias GL_ARB_multitexture");
        LogCapture log;
        OpenGLAPI api;
        ASSERT_EQ(api.LoadDLL(), SOK);
        ASSERT_EQ(api.InitExtensions(String(""), m_Window), SOK);
        EXPECT_FALSE(api.HasExtension(OpenGLAPI::k_GL_EXT_texture_lod));
        EXPECT_TRUE(api.HasExtension(OpenGLAPI::k_GL_EXT_texture_lod_bias));
        EXPECT_TRUE(api.HasMultitexture());
        EXPECT_FALSE(api.HasRangeDrawing());
        EXPECT_TRUE(Logged(log, "GL.Extensions:GL_EXT_texture_lod_bias GL_ARB_multitexture"));
        EXPECT_TRUE(Logged(log, "GL_EXT_texture_lod  no"));
        EXPECT_TRUE(Logged(log, "GL_EXT_texture_lod_bias  ok"));
        EXPECT_EQ(api.InitExtensions(String(""), m_Window), SOK); // counted, not run again
        EXPECT_EQ(api.GetExtensionCount(), 2);
        EXPECT_EQ(api.ExitExtensions(), SOK);
        EXPECT_EQ(api.ExitExtensions(), SOK);
        EXPECT_EQ(api.ExitExtensions(), EOverflow);
    }
    for (const char* list : {"GL_EXT_texture_lod", "GL_EXT_texture_lod GL_EXT_texture_lod_bias",
                             "GL_EXT_texture_lod_bias GL_EXT_texture_lod"}) {
        Internal::SetOpenGLDriverStrings(nullptr, nullptr, nullptr, list);
        Start("", false);
        const bool first = std::string(list).rfind("GL_EXT_texture_lod ", 0) == 0 ||
                           std::string(list) == "GL_EXT_texture_lod";
        EXPECT_EQ(m_TextureLod, first) << list;
    }
}

TEST_F(OpenGLAPITest, EnvironmentSwitchYieldsToTheStoredChoice) {
    const char* key = "Software\\Quorlix\\Engine\\OpenGL";
    {
        // First start with the switch on: the key is made, and says so.
        ::setenv("XPDISABLE_OPENGL_EXTENSIONS", "1", 1);
        LogCapture log;
        Start("", false);
        EXPECT_TRUE(
            Logged(log, "Warning: XPDISABLE_OPENGL_EXTENSIONS detected: extensions disabled."));
        EXPECT_FALSE(m_Multitexture);
        EXPECT_EQ(Setting(key, "Extensions"), "disable");
    }
    // Then a stored choice decides, whatever the switch says; a value of its own means nothing
    // and the switch decides. llvmpipe has multitexturing.
    const struct {
        const char* m_Switch; // null: not set
        const char* m_Stored;
        bool m_Extensions;
    } cases[] = {{"1", "enable", true},
                 {"0", "no", false},
                 {nullptr, "no", false},
                 {nullptr, "default", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.m_Stored);
        c.m_Switch != nullptr ? ::setenv("XPDISABLE_OPENGL_EXTENSIONS", c.m_Switch, 1)
                              : ::unsetenv("XPDISABLE_OPENGL_EXTENSIONS");
        Store(key, "Extensions", c.m_Stored);
        Start("", false);
        EXPECT_EQ(m_Multitexture, c.m_Extensions);
    }
}

TEST_F(OpenGLAPITest, DriverRuleAsksOnceAndAgainAfterACrash) {
    const char* base = "Software\\QuorlixTest\\";
    const char* key = "Software\\QuorlixTest\\Engine\\OpenGL";
    Internal::SetOpenGLDriverStrings("ATI Technologies Inc.", "RADEON 9700 PRO x86/SSE2", nullptr,
                                     nullptr);
    Platform::SetMessageDialogHook(&AnswerYes);
    G_Dialogs.clear();
    {
        LogCapture log;
        Start(base, true);
        ASSERT_EQ(G_Dialogs.size(), 1u);
        EXPECT_EQ(G_Dialogs[0], "ATI Display Driver detected");
        EXPECT_TRUE(m_CullingDisabled);
        EXPECT_FALSE(m_RangeDrawing);
        EXPECT_TRUE(Logged(log, "OpenGL: ATI/Radeon driver detected."));
        EXPECT_TRUE(Logged(log, "OpenGL: ATI/8500/9000/9500/9700 driver detected, disabling "
                                "culling."));
        EXPECT_EQ(Setting(key, "Workaround"), "enable");
        EXPECT_EQ(Setting(key, "Running"), "default"); // shut down cleanly
    }
    Start(base, false); // the stored choice holds; this start "crashes"
    EXPECT_EQ(G_Dialogs.size(), 1u);
    EXPECT_TRUE(m_CullingDisabled);
    EXPECT_EQ(Setting(key, "Running"), "enable");
    Start(base, true);
    EXPECT_EQ(G_Dialogs.size(), 2u);
    {
        // A value nobody wrote is reported and counts as "ask".
        Store(key, "Workaround", "sometimes");
        LogCapture log;
        Start(base, true);
        EXPECT_TRUE(Logged(log, "RegGet: unknown value: sometimes."));
        EXPECT_EQ(G_Dialogs.size(), 3u);
    }
    {
        // Without a base path the default key records the clean shutdown as well, so the
        // start after it does not ask again.
        Start("", true);
        Start("", true);
        EXPECT_EQ(G_Dialogs.size(), 4u);
        EXPECT_EQ(Setting("Software\\Quorlix\\Engine\\OpenGL", "Running"), "default");
    }
    {
        // Without a driver rule nobody is asked, and culling stays allowed.
        Internal::SetOpenGLDriverStrings("Mesa", nullptr, nullptr, nullptr);
        Start(base, true);
        EXPECT_EQ(G_Dialogs.size(), 4u);
        EXPECT_FALSE(m_CullingDisabled);
    }
}
