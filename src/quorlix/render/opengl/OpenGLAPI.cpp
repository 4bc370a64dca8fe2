#include "quorlix/render/opengl/OpenGLAPI.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Registry.h"
#include "quorlix/core/Result.h"
#include "quorlix/log/LogMsg.h"
#include "quorlix/platform/Dialog.h"
#include "quorlix/platform/Process.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/opengl/internal/OpenGLDriverStrings.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <charconv>
#include <cstring>
#include <string>

namespace Quorlix {

OpenGLAPI G_OpenGLAPI;

namespace {

constexpr OpenGLAPI::GLenum k_GLVendor = 0x1F00;
constexpr OpenGLAPI::GLenum k_GLRenderer = 0x1F01;
constexpr OpenGLAPI::GLenum k_GLVersion = 0x1F02;
constexpr OpenGLAPI::GLenum k_GLExtensions = 0x1F03;

// Made on first use: the shared instance may be loaded from static initialisers of hosts.
CriticalSection& LoadLock() {
    static CriticalSection section;
    return section;
}

struct DriverStrings {
    const char* m_Vendor = nullptr;
    const char* m_Renderer = nullptr;
    const char* m_Version = nullptr;
    const char* m_Extensions = nullptr;
};
DriverStrings G_DriverStrings;

constexpr const char* k_ExtensionNames[] = {
#define QUORLIX_GL_NAME(name) #name,
    QUORLIX_GL_EXTENSIONS(QUORLIX_GL_NAME) QUORLIX_GL_WINDOW_EXTENSIONS(QUORLIX_GL_NAME)
#undef QUORLIX_GL_NAME
};
static_assert(sizeof(k_ExtensionNames) / sizeof(k_ExtensionNames[0]) ==
              OpenGLAPI::k_ExtensionCount);

template <class... Parts>
void LogInfo(const Parts&... parts) {
    Internal::LogScript(&LogStream::pLockInfo, parts...);
}

// Whole-word presence as the drivers of old were tested: the FIRST occurrence of the name
// decides. It must start the string or follow a blank, and end it or precede a blank.
bool ContainsWord(const char* list, const char* name) {
    const char* found = std::strstr(list, name);
    if (found == nullptr)
        return false;
    const char after = found[std::strlen(name)];
    return (found == list || found[-1] == ' ') && (after == '\0' || after == ' ');
}

// The integer reading of an environment value: leading blanks and a sign, then digits.
long IntegerOf(const std::string& text) {
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        return 0;
    if (text[i] == '+')
        ++i;
    long value = 0;
    std::from_chars(text.data() + i, text.data() + text.size(), value);
    return value;
}

// A stored yes/no/ask decision: 1, -1 or 0.
int DecisionOf(const String& value) {
    const StringRef& v = value;
    if (v == "enable" || v == "yes")
        return 1;
    if (v == "disable" || v == "no")
        return -1;
    if (v == "default" || v == "auto" || v.Size() == 0)
        return 0;
    Internal::LogScriptWarn("RegGet: unknown value: ", v, ".");
    return 0;
}

// German when the host chose German (the system's language number, primary id 7).
bool German() {
    return (static_cast<int>(GetLogMsgLanguage()) & 0x3FF) == 0x07;
}

struct DriverRule {
    const char* m_Match[3];
    const char* m_Name; // as in the dialog title
    const char* m_Detected;
    const char* m_Applied;
    const char* m_Declined;
};

constexpr DriverRule k_DriverRules[] = {
    {{"ATI", "Radeon", nullptr},
     "ATI",
     "OpenGL: ATI/Radeon driver detected.",
     "OpenGL: ATI/Radeon driver detected, disabling some unstable extensions.",
     "OpenGL: ATI/Radeon driver - user/registry selected 'no workarounds'."},
    {{"SIS", "SiS", nullptr},
     "SiS",
     "OpenGL: SiS driver detected.",
     "OpenGL: SiS driver detected, disabling some unstable extensions.",
     "OpenGL: SiS driver - user/registry selected 'no workarounds'."},
    {{"S3 Graphics", nullptr, nullptr},
     "S3",
     "OpenGL: S3 driver detected.",
     "OpenGL: S3 driver detected, disabling some unstable extensions.",
     "OpenGL: S3 driver - user/registry selected 'no workarounds'."},
    {{"3Dfx", "voodoo", "Voodoo"},
     "3Dfx",
     "OpenGL: 3Dfx driver detected.",
     "OpenGL: 3Dfx driver detected, disabling some unstable extensions.",
     "OpenGL: 3Dfx driver - user/registry selected 'no workarounds'."},
};

// Asks whether to work around the faults of a detected driver; 1 for yes, 0 otherwise (also
// when no dialog may be shown: nobody is there to answer).
int AskForWorkarounds(const char* driver) {
    if (!Platform::DialogsAvailable())
        return 0;
    const bool german = German();
    std::string text = driver;
    text += german ? " Grafik Treiber erkannt" : " Display Driver detected";
    const std::string caption = text;
    text += german ? "\n\nDieser Grafiktreiber hat bekannte Fehler. Sollen die Umgehungen "
                     "dafuer eingeschaltet werden?"
                   : "\n\nThis display driver has known faults. Enable the workarounds for "
                     "them?";
    const Platform::DialogButton buttons[] = {{1, german ? "Ja" : "Yes"},
                                              {0, german ? "Nein" : "No"}};
    return Platform::ShowMessageDialog(caption.c_str(), text.c_str(), buttons, 2) == 1 ? 1 : 0;
}

} // namespace

namespace Internal {

void SetOpenGLDriverStrings(const char* vendor, const char* renderer, const char* version,
                            const char* extensions) {
    G_DriverStrings = DriverStrings{vendor, renderer, version, extensions};
}

} // namespace Internal

OpenGLAPI::OpenGLAPI() noexcept = default;
OpenGLAPI::~OpenGLAPI() = default;

const char* OpenGLAPI::GetExtensionName(Extension extension) noexcept {
    return extension >= 0 && extension < k_ExtensionCount ? k_ExtensionNames[extension] : "";
}

const char* OpenGLAPI::GetDriverString(GLenum name) const {
    const char* stand = name == k_GLVendor       ? G_DriverStrings.m_Vendor
                        : name == k_GLRenderer   ? G_DriverStrings.m_Renderer
                        : name == k_GLVersion    ? G_DriverStrings.m_Version
                        : name == k_GLExtensions ? G_DriverStrings.m_Extensions
                                                 : nullptr;
    if (stand != nullptr)
        return stand;
    const GLubyte* text = glGetString != nullptr ? glGetString(name) : nullptr;
    return text != nullptr ? reinterpret_cast<const char*>(text) : "";
}

void OpenGLAPI::ClearExtensions() noexcept {
    for (bool& flag : m_Extensions)
        flag = false;
#define QUORLIX_GL_CLEAR(ret, name, params) name = nullptr;
    QUORLIX_GL_EXTENSION_FUNCTIONS(QUORLIX_GL_CLEAR)
#undef QUORLIX_GL_CLEAR
    wglGetExtensionsStringARB = nullptr;
    wglSwapIntervalEXT = nullptr;
    wglGetSwapIntervalEXT = nullptr;
}

void OpenGLAPI::ClearTable() noexcept {
    ClearExtensions();
#define QUORLIX_GL_CLEAR(ret, name, params) name = nullptr;
    QUORLIX_GL_CORE_FUNCTIONS(QUORLIX_GL_CLEAR)
#undef QUORLIX_GL_CLEAR
    wglGetProcAddress = nullptr;
    wglCreateContext = nullptr;
    wglMakeCurrent = nullptr;
    wglDeleteContext = nullptr;
    wglGetCurrentContext = nullptr;
    m_CullingDisabled = false;
}

int OpenGLAPI::LoadDLL() {
    CriticalSectionLock lock(LoadLock());
    if (m_Module == nullptr) {
        Internal::LogScriptDebug("OpenGLAPI::LoadDLL: loading \"", k_LibraryName, "\".");
        Platform::GLLibrary* module = Platform::OpenGLLibrary(k_LibraryName);
        if (module == nullptr)
            return ENotFound;
        {
            Stream& s = Xerr.pLockInfo();
            s << "ModuleOpenGL=";
            s.pMemPtr(module);
            Xerr.pLF();
            Xerr.pUnlockMessage();
        }
        // The context functions are the platform layer's; only glGetString comes from the
        // library, and a library without it is no GL library.
        wglGetProcAddress = &Platform::GetGLProcAddress;
        wglCreateContext = &Platform::CreateGLContext;
        wglMakeCurrent = &Platform::MakeGLContextCurrent;
        wglDeleteContext = &Platform::DeleteGLContext;
        glGetString = reinterpret_cast<decltype(glGetString)>(
            Platform::FindGLLibrarySymbol(module, "glGetString"));
        if (glGetString == nullptr) {
            Internal::LogScriptError("OpenGLAPI::LoadDLL: damaged opengl32 library?");
            ClearTable();
            return EUnimplemented;
        }
        m_Module = module;
    }
    ++m_LoadCount;
    return SOK;
}

int OpenGLAPI::UnloadDLL() {
    CriticalSectionLock lock(LoadLock());
    if (m_LoadCount <= 0)
        return EFail;
    if (--m_LoadCount > 0)
        return EFail;
    Internal::LogScriptDebug("OpenGLAPI::UnloadDLL: unloading \"", k_LibraryName, "\".");
    Internal::LogScriptDebug("OpenGLAPI::UnloadDLL: unloading \"", k_LibraryName, "\" (bypassed).");
    ClearTable();
    m_Module = nullptr; // never closed: see Platform::OpenGLLibrary
    m_APICount = 0;
    return SOK;
}

int OpenGLAPI::InitAPI(const StringRef& basePath) {
    (void)basePath;
    if (m_APICount > 0) {
        LogInfo("OpenGLAPI::InitAPI called again.");
        return SOK;
    }
    if (m_Module == nullptr)
        return ENotFound;
        // Core names come from the library's exports: the window system's lookup answers for any
        // name, existing or not.
#define QUORLIX_GL_RESOLVE(ret, name, params)                                                      \
    name = reinterpret_cast<decltype(name)>(Platform::FindGLLibrarySymbol(m_Module, #name));
    QUORLIX_GL_CORE_FUNCTIONS(QUORLIX_GL_RESOLVE)
#undef QUORLIX_GL_RESOLVE
    wglGetCurrentContext = &Platform::GetCurrentGLContext;
    m_APICount = 1;
    return SOK;
}

int OpenGLAPI::ExitAPI() {
    if (--m_APICount < 0) {
        Internal::LogScriptWarn("OpenGLAPI::ExitAPI called too often.");
        m_APICount = 0;
    }
    return SOK;
}

void OpenGLAPI::ResolveExtension(Extension extension) {
    auto find = [this](const char* name) { return wglGetProcAddress(name); };
#define QUORLIX_GL_FIND(name) name = reinterpret_cast<decltype(name)>(find(#name))
    switch (extension) {
    case k_GL_ARB_multitexture:
        QUORLIX_GL_FIND(glActiveTextureARB);
        QUORLIX_GL_FIND(glClientActiveTextureARB);
        break;
    case k_GL_EXT_vertex_array:
        QUORLIX_GL_FIND(glVertexPointerEXT);
        QUORLIX_GL_FIND(glNormalPointerEXT);
        QUORLIX_GL_FIND(glTexCoordPointerEXT);
        QUORLIX_GL_FIND(glColorPointerEXT);
        QUORLIX_GL_FIND(glArrayElementEXT);
        QUORLIX_GL_FIND(glDrawArraysEXT);
        break;
    case k_GL_EXT_draw_range_elements:
        QUORLIX_GL_FIND(glDrawRangeElementsEXT);
        if (glDrawRangeElementsEXT == nullptr)
            glDrawRangeElementsEXT =
                reinterpret_cast<decltype(glDrawRangeElementsEXT)>(find("glDrawRangeElements"));
        break;
    case k_GL_EXT_compiled_vertex_array:
        QUORLIX_GL_FIND(glLockArraysEXT);
        QUORLIX_GL_FIND(glUnlockArraysEXT);
        break;
    case k_GL_ATI_element_array:
        QUORLIX_GL_FIND(glElementPointerATI);
        QUORLIX_GL_FIND(glDrawElementArrayATI);
        QUORLIX_GL_FIND(glDrawRangeElementArrayATI);
        break;
    default:
        break;
    }
#undef QUORLIX_GL_FIND
}

int OpenGLAPI::InitExtensions(const StringRef& basePath, Platform::Window* window) {
    if (m_ExtensionInitCount++ > 0)
        return SOK;
    if (const int result = InitAPI(basePath); result != SOK) {
        --m_ExtensionInitCount;
        return result;
    }
    m_BasePath = String(basePath);
    ClearExtensions();

    const bool environmentOff =
        IntegerOf(Platform::GetEnvironmentVariable("XPDISABLE_OPENGL_EXTENSIONS")) != 0;
    bool enabled = !environmentOff;
    Registry settings(Registry::CurrentUser);
    const String key = SettingsKey(m_BasePath);
    if (settings.OpenKey(key.GetCPtr())) {
        const String value = settings.GetValueData("Extensions");
        const StringRef& v = value;
        if (v == "yes" || v == "enable")
            enabled = true;
        else if (v == "no" || v == "disable")
            enabled = false;
    } else if (settings.CreateKey(key.GetCPtr())) {
        settings.SetValueData("Extensions", environmentOff ? "disable" : "default");
    }

    if (!enabled) {
        LogInfo("Warning: XPDISABLE_OPENGL_EXTENSIONS detected: extensions disabled.");
    } else {
        // The window system's entries are the platform layer's; its string is GLX's or EGL's.
        wglGetExtensionsStringARB = &Platform::GetWindowSystemExtensions;
        wglSwapIntervalEXT = &Platform::SetSwapInterval;
        wglGetSwapIntervalEXT = &Platform::GetSwapInterval;
        const char* gl = GetDriverString(k_GLExtensions);
        const char* glw = window != nullptr ? wglGetExtensionsStringARB() : "";
        LogInfo("GL.Extensions:", gl);
        LogInfo("GLW.Extensions:", glw);
        for (int i = 0; i < k_ExtensionCount; ++i) {
            const Extension e = static_cast<Extension>(i);
            m_Extensions[i] =
                ContainsWord(i < k_WGL_ARB_buffer_region ? gl : glw, k_ExtensionNames[i]);
            if (m_Extensions[i])
                ResolveExtension(e);
        }
        for (int i = 0; i < k_ExtensionCount; ++i)
            LogInfo(k_ExtensionNames[i], m_Extensions[i] ? "  ok" : "  no");
    }

    ApplyDriverWorkarounds(settings);
    CheckConsistency();
    return SOK;
}

void OpenGLAPI::ApplyDriverWorkarounds(Registry& settings) {
    const char* vendor = GetDriverString(k_GLVendor);
    const char* renderer = GetDriverString(k_GLRenderer);
    (void)GetDriverString(k_GLVersion);
    m_CullingDisabled = false;
    const bool crashed = DecisionOf(settings.GetValueData("Running")) > 0;
    int decision = DecisionOf(settings.GetValueData("Workaround"));
    if (crashed)
        decision = 0; // the last start did not end cleanly: ask again
    settings.SetValueData("Running", "enable");

    for (size_t rule = 0; rule < sizeof(k_DriverRules) / sizeof(k_DriverRules[0]); ++rule) {
        const DriverRule& r = k_DriverRules[rule];
        bool matches = false;
        for (const char* m : r.m_Match)
            matches = matches || (m != nullptr && std::strstr(vendor, m) != nullptr);
        if (!matches)
            continue;
        LogInfo(r.m_Detected);
        if (decision == 0)
            decision = AskForWorkarounds(r.m_Name);
        if (decision <= 0) {
            LogInfo(r.m_Declined);
            continue;
        }
        LogInfo(r.m_Applied);
        switch (rule) {
        case 0: // ATI
            m_Extensions[k_GL_EXT_draw_range_elements] = false;
            for (const char* model : {"8500", "9000", "9500", "9700"})
                if (std::strstr(renderer, model) != nullptr) {
                    LogInfo("OpenGL: ATI/8500/9000/9500/9700 driver detected, disabling "
                            "culling.");
                    m_CullingDisabled = true;
                    break;
                }
            break;
        case 1: // SiS
            glActiveTextureARB = nullptr;
            break;
        case 2: // S3
            m_Extensions[k_GL_ARB_multitexture] = false;
            m_Extensions[k_GL_EXT_draw_range_elements] = false;
            m_Extensions[k_GL_EXT_vertex_array] = false;
            m_Extensions[k_GL_EXT_compiled_vertex_array] = false;
            ClearExtensions();
            LogInfo("OpenGL: S3 driver - forcing 100% no extensions.");
            break;
        default: // 3Dfx
            ClearExtensions();
            LogInfo("OpenGL: 3Dfx driver - forcing 100% no extensions.");
            break;
        }
    }
    settings.SetValueData("Workaround", decision > 0 ? "enable" : "disable");
}

void OpenGLAPI::CheckConsistency() {
    bool& vertexArray = m_Extensions[k_GL_EXT_vertex_array];
    if (vertexArray && (glVertexPointerEXT == nullptr || glNormalPointerEXT == nullptr ||
                        glTexCoordPointerEXT == nullptr || glColorPointerEXT == nullptr ||
                        glArrayElementEXT == nullptr || glDrawArraysEXT == nullptr)) {
        Internal::LogScriptWarn("OpenGL: inconsistent vertexpointer extension disabled.");
        vertexArray = false;
    }
    bool& multitexture = m_Extensions[k_GL_ARB_multitexture];
    if (multitexture && (glActiveTextureARB == nullptr || glClientActiveTextureARB == nullptr)) {
        Internal::LogScriptWarn("OpenGL: inconsistent multitexture extension disabled.");
        multitexture = false;
    }
    bool& range = m_Extensions[k_GL_EXT_draw_range_elements];
    if (range && glDrawRangeElementsEXT == nullptr) {
        Internal::LogScriptWarn("OpenGL: inconsistent DrawRangeElementsEXT extension disabled.");
        range = false;
    }
    bool& compiled = m_Extensions[k_GL_EXT_compiled_vertex_array];
    if (compiled && (glLockArraysEXT == nullptr || glUnlockArraysEXT == nullptr))
        compiled = false;

    if (!vertexArray) {
        glVertexPointerEXT = nullptr;
        glNormalPointerEXT = nullptr;
        glTexCoordPointerEXT = nullptr;
        glColorPointerEXT = nullptr;
        glArrayElementEXT = nullptr;
        glDrawArraysEXT = nullptr;
    }
    if (!multitexture) {
        glActiveTextureARB = nullptr;
        glClientActiveTextureARB = nullptr;
    }
    if (!range)
        glDrawRangeElementsEXT = nullptr;
    if (!compiled) {
        glLockArraysEXT = nullptr;
        glUnlockArraysEXT = nullptr;
    }
}

String OpenGLAPI::SettingsKey(const String& basePath) {
    return basePath.Size() == 0 ? String("Software\\Quorlix\\Engine\\OpenGL")
                                : basePath + "Engine\\OpenGL";
}

int OpenGLAPI::ExitExtensions() {
    if (--m_ExtensionInitCount < 0) {
        m_ExtensionInitCount = 0;
        return EOverflow;
    }
    // A clean shutdown clears "Running" under whichever key the start used: left at "enable"
    // under the default key, every later start would count as one after a crash and ask again.
    if (m_ExtensionInitCount == 0) {
        Registry settings(Registry::CurrentUser);
        if (settings.OpenKey(SettingsKey(m_BasePath).GetCPtr()))
            settings.SetValueData("Running", "default");
    }
    return SOK;
}

} // namespace Quorlix
