#include "quorlix/render/opengl/internal/RenderEngineOpenGL.h"

#include "quorlix/core/Result.h"
#include "quorlix/core/Timer.h"
#include "quorlix/image/Image.h"
#include "quorlix/log/LogMsg.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/platform/Time.h"
#include "quorlix/platform/Window.h"
#include "quorlix/render/RenderShader.h"
#include "quorlix/render/internal/RenderEngineFactory.h"
#include "quorlix/render/opengl/OpenGLAPI.h"
#include "quorlix/scene/Fog.h"
#include "quorlix/scene/Light.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace Quorlix {

namespace {

using GLenum = OpenGLAPI::GLenum;

constexpr GLenum k_Points = 0x0000;
constexpr GLenum k_Lines = 0x0001;
constexpr GLenum k_LineLoop = 0x0002;
constexpr GLenum k_LineStrip = 0x0003;
constexpr GLenum k_Triangles = 0x0004;
constexpr GLenum k_TriangleStrip = 0x0005;
constexpr GLenum k_TriangleFan = 0x0006;
constexpr GLenum k_Quads = 0x0007;
constexpr GLenum k_QuadStrip = 0x0008;
constexpr GLenum k_Polygon = 0x0009;
constexpr GLenum k_One = 1;
constexpr GLenum k_Equal = 0x0202;
constexpr GLenum k_LessEqual = 0x0203;
constexpr GLenum k_SrcAlpha = 0x0302;
constexpr GLenum k_OneMinusSrcAlpha = 0x0303;
constexpr GLenum k_Back = 0x0405;
constexpr GLenum k_FrontAndBack = 0x0408;
constexpr GLenum k_Exp = 0x0800;
constexpr GLenum k_Exp2 = 0x0801;
constexpr GLenum k_CullFace = 0x0B44;
constexpr GLenum k_Lighting = 0x0B50;
constexpr GLenum k_LightModelAmbient = 0x0B53;
constexpr GLenum k_Fog = 0x0B60;
constexpr GLenum k_ScissorTest = 0x0C11;
constexpr GLenum k_FogDensity = 0x0B62;
constexpr GLenum k_FogStart = 0x0B63;
constexpr GLenum k_FogEnd = 0x0B64;
constexpr GLenum k_FogMode = 0x0B65;
constexpr GLenum k_FogColor = 0x0B66;
constexpr GLenum k_DepthTest = 0x0B71;
constexpr GLenum k_Normalize = 0x0BA1;
constexpr GLenum k_Blend = 0x0BE2;
constexpr GLenum k_MaxLights = 0x0D31;
constexpr GLenum k_PackAlignment = 0x0D05;
constexpr GLenum k_Texture2D = 0x0DE1;
constexpr GLenum k_Ambient = 0x1200;
constexpr GLenum k_Diffuse = 0x1201;
constexpr GLenum k_Specular = 0x1202;
constexpr GLenum k_Position = 0x1203;
constexpr GLenum k_UnsignedByte = 0x1401;
constexpr GLenum k_UnsignedInt = 0x1405;
constexpr GLenum k_Float = 0x1406;
constexpr GLenum k_Emission = 0x1600;
constexpr GLenum k_Shininess = 0x1601;
constexpr GLenum k_ModelView = 0x1700;
constexpr GLenum k_Projection = 0x1701;
constexpr GLenum k_Rgba = 0x1908;
constexpr GLenum k_Vendor = 0x1F00;
constexpr GLenum k_Renderer = 0x1F01;
constexpr GLenum k_Version = 0x1F02;
constexpr GLenum k_Linear = 0x2601;
constexpr GLenum k_TextureMagFilter = 0x2800;
constexpr GLenum k_TextureMinFilter = 0x2801;
constexpr GLenum k_TextureWrapS = 0x2802;
constexpr GLenum k_TextureWrapT = 0x2803;
constexpr GLenum k_Clamp = 0x2900;
constexpr GLenum k_Light0 = 0x4000;
constexpr GLenum k_PolygonOffsetFill = 0x8037;
constexpr GLenum k_Rgba8 = 0x8058;
constexpr GLenum k_VertexArray = 0x8074;
constexpr GLenum k_NormalArray = 0x8075;
constexpr uint32_t k_ColorBufferBit = 0x4000;
constexpr uint32_t k_DepthBufferBit = 0x0100;
constexpr uint32_t k_StencilBufferBit = 0x0400;

constexpr const char* k_Location = "RenderEngineOpenGL_D::InitializeRenderWindow";
constexpr int k_GenericTextureMemory = 8388607;
constexpr int k_TestTextureBytes = 256 * 256 * 4;

OpenGLAPI& GL = G_OpenGLAPI;

template <class... Parts>
void LogInfo(const Parts&... parts) {
    Internal::LogScript(&LogStream::pLockInfo, parts...);
}
template <class... Parts>
void LogOutput(const Parts&... parts) {
    Stream& s = Xout.pLockInfo();
    (s << ... << parts);
    Xout.pLF();
    Xout.pUnlockMessage();
}

bool German() {
    return (static_cast<int>(GetLogMsgLanguage()) & 0x3FF) == 0x07;
}
const char* Text(const char* english, const char* german) {
    return German() ? german : english;
}

// Software renderers, which the window system offers like any other format.
bool IsSoftwareRenderer(const char* renderer) {
    for (const char* name :
         {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "GDI Generic"})
        if (std::strstr(renderer, name) != nullptr)
            return true;
    return false;
}

void Color4(float out[4], const Vector3f& c, float alpha) {
    out[0] = c.GetX();
    out[1] = c.GetY();
    out[2] = c.GetZ();
    out[3] = alpha;
}

} // namespace

namespace Internal {

RenderEngine* CreateRenderEngineOpenGL() {
    return NewObject<RenderEngineOpenGL_D>();
}

} // namespace Internal

RenderEngineOpenGL_D::RenderEngineOpenGL_D() : m_Statistics(RenderStatistics::Create()) {}

RenderEngineOpenGL_D::~RenderEngineOpenGL_D() {
    LogInfo("RenderEngineOpenGL_D::~RenderEngineOpenGL_D()");
    ReleaseContext();
    LogInfo("RenderEngineOpenGL_D::~RenderEngineOpenGL_D() complete.");
}

void RenderEngineOpenGL_D::DescribeWindow(const RenderPipeFormat& format,
                                          Platform::WindowDesc& desc) {
    desc.m_ColorBits = format.m_ColorBits;
    desc.m_AlphaBits = format.m_AlphaBits;
    desc.m_DepthBits = format.m_DepthBits;
    desc.m_StencilBits = format.m_StencilBits;
    desc.m_DoubleBuffer = format.m_BufferBackColorCount >= 1;
    desc.m_Fullscreen = format.m_Fullscreen;
}

void RenderEngineOpenGL_D::ReleaseContext() {
    if (m_Context != nullptr) {
        DeleteAllTextures();
        if (GL.wglMakeCurrent == nullptr || !GL.wglMakeCurrent(nullptr, nullptr))
            (void)LogMsg(EFail, "RenderEngineOpenGL_D::~RenderEngineOpenGL_D", "wglMakeCurrent",
                         ErrActionDefault, "WindowsError: #1.", Platform::LastWindowError());
        if (GL.wglDeleteContext != nullptr)
            GL.wglDeleteContext(m_Context);
        m_Context = nullptr;
    }
    if (m_ExtensionsInitialized)
        GL.ExitExtensions();
    if (m_APIInitialized)
        GL.ExitAPI();
    if (m_Loaded)
        GL.UnloadDLL();
    m_ExtensionsInitialized = m_APIInitialized = m_Loaded = false;
    m_Window = nullptr;
}

int RenderEngineOpenGL_D::InitializeRenderEngine(Platform::Window* window,
                                                 const RenderPipeFormat& format,
                                                 const RenderTextureSettings& textures) {
    if (m_Context != nullptr)
        DeInitializeRenderEngine();
    m_Format = format;
    m_Textures = textures;
    const int result = InitializeRenderWindow(window);
    if (result < 0) {
        ReleaseContext();
        return result;
    }
    m_TextureMemory = DetectTextureMemory();
    InitializeTextures();
    ResetState();
    m_Statistics->BeginFrame(Timer::GetSystemTimerSeconds());
    return SOK;
}

int RenderEngineOpenGL_D::InitializeRenderWindow(Platform::Window* window) {
    if (window == nullptr)
        return LogMsg(
            EFail, k_Location, nullptr, ErrActionDefault,
            Text("The window handle must not be NULL.", "Das Fensterhandle darf nicht NULL sein."));

    // What the machine offers, for reports from the field.
    {
        const uint64_t physical = Platform::PhysicalMemoryBytes();
        const uint64_t available = Platform::AvailablePhysicalMemoryBytes();
        LogOutput("Memory: physical ", physical >> 20, " MiB, available ", available >> 20, " MiB");
        LogOutput("Timer: 1000000000 ticks per second, now ", Platform::PerformanceCounter());
        Platform::DisplayMode mode;
        if (Platform::GetDesktopMode(mode)) {
            char line[96];
            std::snprintf(line, sizeof(line), "Display Mode: %ix%ix%i@%i (%imm/%imm) ver %x\r\n",
                          mode.m_Width, mode.m_Height, mode.m_Depth, mode.m_RefreshRate, 0, 0, 0);
            Xout.pLockInfo() << line;
            Xout.pUnlockMessage();
        }
        LogOutput("Display device: ", Platform::GetVideoDriverName());
    }

    if (const int result = GL.LoadDLL(); result != SOK)
        return LogMsg(static_cast<EResult>(result), k_Location, "GL.LoadDLL", ErrActionDefault,
                      Text("Your display driver is outdated. Please install a current display "
                           "driver.",
                           "Ihr Grafiktreiber ist veraltet. Bitte installieren Sie einen "
                           "aktuellen Grafiktreiber."));
    m_Loaded = true;
    if (GL.InitAPI(String()) != SOK)
        return LogMsg(EUnimplemented, k_Location, "GL.InitAPI", ErrActionDefault,
                      Text("OpenGL Version 1.1 or higher is not installed or damaged.",
                           "OpenGL Version 1.1 oder h\xF6her ist nicht installiert oder "
                           "besch\xE4\x64igt."));
    m_APIInitialized = true;

    // The pixel format was requested when the window was made (DescribeWindow); the context
    // shows what was granted.
    m_Context = GL.wglCreateContext(window);
    if (m_Context == nullptr)
        return LogMsg(EFail, k_Location, "wCreateContext", ErrActionDefault,
                      Text("The engine failed to create an output window. #1",
                           "Die Engine konnte kein Ausgabefenster erzeugen. #1"),
                      Platform::LastWindowError());
    if (!GL.wglMakeCurrent(window, m_Context))
        return LogMsg(EFail, k_Location, "wglMakeCurrent", ErrActionDefault, "WindowsError: #1.",
                      Platform::LastWindowError());
    m_Window = window;

    Platform::GLSurfaceFormat surface;
    Platform::GetGLSurfaceFormat(surface);
    const int colorBits = surface.m_RedBits + surface.m_GreenBits + surface.m_BlueBits;
    m_DoubleBuffer = surface.m_DoubleBuffer;
    LogOutput("nSize:", 40);
    LogOutput("nVersion:", 1);
    LogOutput("dwFlags:", m_DoubleBuffer ? 0x425 : 0x424);
    LogOutput("iPixelType:", 0);
    LogOutput("cColorBits:", colorBits);
    LogOutput("cRedBits:", surface.m_RedBits);
    LogOutput("cGreenBits:", surface.m_GreenBits);
    LogOutput("cBlueBits:", surface.m_BlueBits);
    LogOutput("cAlphaBits:", surface.m_AlphaBits);
    LogOutput("cDepthBits:", surface.m_DepthBits);
    LogOutput("cStencilBits:", surface.m_StencilBits);
    LogOutput("dwVisibleMask:", 0);
    if (colorBits < 12)
        return LogMsg(ENotFound, k_Location, "wDescribePixelFormat", ErrActionDefault,
                      Text("No valid OpenGL display configuration could be found.",
                           "Es konnte keine g\xFCltige OpenGL Bildschirmkonfiguration gefunden "
                           "werden."));

    const char* vendor = GL.GetDriverString(k_Vendor);
    const char* renderer = GL.GetDriverString(k_Renderer);
    const char* version = GL.GetDriverString(k_Version);
    m_Generic = IsSoftwareRenderer(renderer);
    if (m_Generic)
        (void)LogMsg(IPerformance, k_Location, "wDescribePixelFormat/PFD_GENERIC_FORMAT",
                     ErrActionDefault,
                     Text("Your display driver does NOT support hardware accelerated OpenGL.",
                          "Ihr Grafiktreiber unterst\xFCtzt KEINE hardwarebeschleunigte OpenGL "
                          "Darstellung."));

    LogInfo("OpenGL: Vendor:", vendor);
    LogInfo("OpenGL: Renderer:", renderer);
    LogInfo("OpenGL: Version:", version);
    LogOutput("OpenGL Vendor:", vendor);
    LogOutput("OpenGL Renderer:", renderer);
    LogOutput("OpenGL Version:", version);

    if (const int result = GL.InitExtensions(String(), window); result != SOK)
        return LogMsg(static_cast<EResult>(result), k_Location, "GLEXT.Init", ErrActionDefault,
                      Text("The OpenGL extensions could not be initialised.",
                           "Die OpenGL Erweiterungen konnten nicht initialisiert werden."));
    m_ExtensionsInitialized = true;

    if (GL.wglSwapIntervalEXT != nullptr && !GL.wglSwapIntervalEXT(m_Format.m_SwapInterval)) {
        // Many drivers refuse (or ignore) the interval; drawing goes on all the same.
        const char* error = Platform::LastWindowError();
        if (error[0] != '\0')
            Internal::LogScriptWarn("wglSwapIntervalEXT failed: ", error);
        else
            Internal::LogScriptWarn("wglSwapIntervalEXT failed.");
    }
    int maxLights = 0;
    GL.glGetIntegerv(k_MaxLights, &maxLights);
    m_MaxLights = maxLights > 0 ? maxLights : 8;
    return SOK;
}

void RenderEngineOpenGL_D::DeInitializeRenderEngine() {
    LogInfo("RenderEngineOpenGL_D::DeInitializeRenderEngine()");
    ReleaseContext();
    LogInfo("RenderEngineOpenGL_D::DeInitializeRenderEngine() complete.");
}

int RenderEngineOpenGL_D::DetectTextureMemory() {
    Internal::LogScriptDebug("DetectTextureMemory()");
    if (m_Generic) {
        LogInfo("DetectTextureMemory:", k_GenericTextureMemory, " bytes texture memory (GENERIC).");
        return k_GenericTextureMemory;
    }
    if (m_Context == nullptr || GL.glGenTextures == nullptr || GL.glAreTexturesResident == nullptr)
        return 0;
    if (GL.wglSwapIntervalEXT != nullptr)
        GL.wglSwapIntervalEXT(0); // the test draws as fast as the driver can take it

    const uint64_t physical = Platform::PhysicalMemoryBytes();
    LogInfo("Phys:", physical >> 20, " MiB");
    constexpr uint64_t k_Cap = 0x8200000;
    const uint64_t limit = physical == 0 ? k_Cap : std::min<uint64_t>(physical / 3, k_Cap);
    const int count = static_cast<int>(limit / k_TestTextureBytes);

    std::vector<uint8_t> image(k_TestTextureBytes);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7);
    std::vector<OpenGLAPI::GLuint> names(static_cast<size_t>(count));
    std::vector<OpenGLAPI::GLboolean> resident(static_cast<size_t>(count));
    GL.glGenTextures(count, names.data());
    GL.glEnable(k_Texture2D);
    GL.glDisable(k_Lighting);
    for (int i = 0; i < count; ++i) {
        GL.glBindTexture(k_Texture2D, names[static_cast<size_t>(i)]);
        GL.glTexParameteri(k_Texture2D, k_TextureMinFilter, static_cast<int>(k_Linear));
        GL.glTexParameteri(k_Texture2D, k_TextureMagFilter, static_cast<int>(k_Linear));
        GL.glTexParameteri(k_Texture2D, k_TextureWrapS, static_cast<int>(k_Clamp));
        GL.glTexParameteri(k_Texture2D, k_TextureWrapT, static_cast<int>(k_Clamp));
        GL.glTexImage2D(k_Texture2D, 0, static_cast<int>(k_Rgba8), 256, 256, 0, k_Rgba,
                        k_UnsignedByte, image.data());
        GL.glBegin(k_Quads);
        GL.glTexCoord2f(0, 0);
        GL.glVertex2f(-1, -1);
        GL.glTexCoord2f(1, 0);
        GL.glVertex2f(1, -1);
        GL.glTexCoord2f(1, 1);
        GL.glVertex2f(1, 1);
        GL.glTexCoord2f(0, 1);
        GL.glVertex2f(-1, 1);
        GL.glEnd();
        Platform::SwapWindow(m_Window);
    }
    LogInfo("AreTexturesResident (pre)");
    bool all = GL.glAreTexturesResident(count, names.data(), resident.data()) != 0;
    LogInfo("AreTexturesResident (post)");
    int estimate = static_cast<int>(limit);
    if (all) {
        LogInfo("DetectTextureMemory: allresident.");
    } else {
        int residentCount = 0;
        Stream& s = Xerr.pLockInfo();
        s << "Resident:";
        for (int i = 0; i < count; ++i) {
            const bool r = resident[static_cast<size_t>(i)] != 0;
            residentCount += r ? 1 : 0;
            s << (r ? '1' : '0');
        }
        Xerr.pLF();
        Xerr.pUnlockMessage();
        estimate = residentCount * k_TestTextureBytes;
        LogInfo("DetectTextureMemory:", estimate, " bytes texture memory.");
    }
    GL.glBindTexture(k_Texture2D, 0);
    GL.glDisable(k_Texture2D);
    GL.glDeleteTextures(count, names.data());
    if (GL.wglSwapIntervalEXT != nullptr)
        GL.wglSwapIntervalEXT(m_Format.m_SwapInterval);
    return estimate;
}

void RenderEngineOpenGL_D::ResetState() {
    if (m_Context == nullptr)
        return;
    GL.glEnable(k_DepthTest);
    GL.glDepthFunc(k_LessEqual);
    GL.glDepthMask(1);
    GL.glEnable(k_Normalize); // model-view matrices may scale
    GL.glEnable(k_Lighting);
    GL.glDisable(k_Fog);
    GL.glDisable(k_Blend);
    GL.glEnableClientState(k_VertexArray);
    const float black[4] = {0, 0, 0, 1};
    GL.glLightModelfv(k_LightModelAmbient, black);
    int x = 0, y = 0, width = 0, height = 0;
    if (Platform::GetClientArea(m_Window, x, y, width, height))
        SetViewport(x, y, width, height);
    m_GlobalMode = 1;
    m_LightCount = 0;
    ApplyMaterial(nullptr, true);
}

void RenderEngineOpenGL_D::SetTextureSettings(const RenderTextureSettings& textures) {
    m_Textures = textures;
}

void RenderEngineOpenGL_D::SetViewport(int x, int y, int width, int height) {
    m_Viewport[0] = x;
    m_Viewport[1] = y;
    m_Viewport[2] = std::max(width, 0);
    m_Viewport[3] = std::max(height, 0);
    m_ViewportSet = true;
    if (m_Context != nullptr) {
        GL.glViewport(x, y, m_Viewport[2], m_Viewport[3]);
        GL.glScissor(x, y, m_Viewport[2], m_Viewport[3]);
    }
}

void RenderEngineOpenGL_D::SetProjection(const Matrix4f& projection) {
    if (m_Context == nullptr)
        return;
    // Rows of the matrix are GL's columns: row vectors on the left, translation in row 3.
    GL.glMatrixMode(k_Projection);
    GL.glLoadMatrixf(projection.GetData());
    GL.glMatrixMode(k_ModelView);
}

void RenderEngineOpenGL_D::SetModelView(const Matrix4f& modelView) {
    if (m_Context == nullptr)
        return;
    GL.glMatrixMode(k_ModelView);
    GL.glLoadMatrixf(modelView.GetData());
}

void RenderEngineOpenGL_D::SetCullFrustumFactor(float factor) {
    m_CullFrustumFactor = factor;
}

void RenderEngineOpenGL_D::ClearBuffers(const RenderClearBlock& clear) {
    if (m_Context == nullptr)
        return;
    ResetTextureFigures();
    DeleteReleasedTextures();
    uint32_t mask = 0;
    const bool color = clear.m_ColorClearEnable;
    const bool alpha = clear.m_AlphaClearEnable;
    if (color || alpha) {
        const Vector3f& c = clear.m_ColorClearValue;
        GL.glClearColor(c.GetX(), c.GetY(), c.GetZ(), clear.m_AlphaClearValue);
        GL.glColorMask(color, color, color, alpha);
        mask |= k_ColorBufferBit;
    }
    if (clear.m_DepthClearEnable) {
        GL.glClearDepth(clear.m_DepthClearValue);
        GL.glDepthMask(1);
        mask |= k_DepthBufferBit;
    }
    if (clear.m_StencilClearEnable) {
        GL.glClearStencil(static_cast<int32_t>(clear.m_StencilClearValue));
        GL.glStencilMask(0xFFFFFFFFu);
        mask |= k_StencilBufferBit;
    }
    // glClear ignores the viewport: a channel's clear keeps to its viewport by the scissor. The
    // frame's first clear comes before any viewport and takes the whole window.
    if (mask != 0) {
        if (m_ViewportSet)
            GL.glEnable(k_ScissorTest);
        GL.glClear(mask);
        if (m_ViewportSet)
            GL.glDisable(k_ScissorTest);
    }
    const bool colorWrites = m_GlobalMode != 0;
    GL.glColorMask(colorWrites, colorWrites, colorWrites, colorWrites);
}

void RenderEngineOpenGL_D::SetAmbientColor(const Vector3f& color) {
    if (m_Context == nullptr)
        return;
    float c[4];
    Color4(c, color, 1.0f);
    GL.glLightModelfv(k_LightModelAmbient, c);
}

void RenderEngineOpenGL_D::SetLight(int index, const SLight& light, const Matrix4f& matrix) {
    if (index < 0 || index >= m_MaxLights) {
        Internal::LogScriptError("RenderEngineOpenGL_D::SetLight: too many active lights.");
        return;
    }
    if (m_Context == nullptr)
        return;
    const GLenum id = k_Light0 + static_cast<GLenum>(index);
    const float black[4] = {0, 0, 0, 1};
    float color[4];
    Color4(color, light.GetColor(), 1.0f);
    if (light.GetType() == SLight::Ambient) {
        // The frame sums ambient lights into the ambient colour; on its own one adds nothing.
        GL.glLightfv(id, k_Diffuse, black);
        GL.glLightfv(id, k_Specular, black);
    } else {
        GL.glLightfv(id, k_Diffuse, color);
        GL.glLightfv(id, k_Specular, color);
    }
    GL.glLightfv(id, k_Ambient, black);
    // A directional light shines along its own -z axis; a point light sits at its origin.
    const float directional[4] = {0, 0, 1, 0};
    const float point[4] = {0, 0, 0, 1};
    GL.glMatrixMode(k_ModelView);
    GL.glLoadMatrixf(matrix.GetData());
    GL.glLightfv(id, k_Position, light.GetType() == SLight::Point ? point : directional);
}

void RenderEngineOpenGL_D::SetLightCount(int count) {
    if (m_Context == nullptr)
        return;
    const int active = std::clamp(count, 0, m_MaxLights);
    for (int i = 0; i < m_MaxLights; ++i) {
        if (i < active)
            GL.glEnable(k_Light0 + static_cast<GLenum>(i));
        else if (i < m_LightCount || i < 8)
            GL.glDisable(k_Light0 + static_cast<GLenum>(i));
    }
    m_LightCount = active;
}

void RenderEngineOpenGL_D::SetFog(const SFog* fog, const Matrix4f& matrix) {
    (void)matrix; // fog distance is measured in eye space by the fixed function
    if (m_Context == nullptr)
        return;
    if (fog == nullptr) {
        GL.glDisable(k_Fog);
        return;
    }
    const GLenum mode = fog->GetType() == SFog::Linear         ? k_Linear
                        : fog->GetType() == SFog::Exponential2 ? k_Exp2
                                                               : k_Exp;
    GL.glFogi(k_FogMode, static_cast<int>(mode));
    float color[4];
    Color4(color, fog->GetColor(), 1.0f);
    GL.glFogfv(k_FogColor, color);
    GL.glFogf(k_FogDensity, fog->GetDensity());
    GL.glFogf(k_FogStart, fog->GetNearFar().GetX());
    GL.glFogf(k_FogEnd, fog->GetNearFar().GetY());
    GL.glEnable(k_Fog);
}

void RenderEngineOpenGL_D::SetGlobalMode(int mode) {
    m_GlobalMode = mode;
    if (m_Context == nullptr)
        return;
    const bool colorWrites = mode != 0;
    GL.glColorMask(colorWrites, colorWrites, colorWrites, colorWrites);
    if (mode == 2 || mode == 3) {
        GL.glEnable(k_Blend);
        GL.glBlendFunc(k_One, k_One);
        GL.glDepthFunc(k_Equal);
        GL.glDepthMask(0);
    } else {
        GL.glDisable(k_Blend);
        GL.glDepthFunc(k_LessEqual);
        GL.glDepthMask(1);
    }
}

void RenderEngineOpenGL_D::CloseGlobalModePair() {
    SetGlobalMode(1);
}

void RenderEngineOpenGL_D::EndGlobalMode() {
    SetGlobalMode(1);
}

bool RenderEngineOpenGL_D::AcceptShaderAmbient(RenderShader*) {
    return false;
}

bool RenderEngineOpenGL_D::AcceptShaderBump(RenderShader*) {
    return false;
}

void RenderEngineOpenGL_D::ApplyMaterial(const RenderMaterial* material, bool lighting) {
    // A fresh RenderMaterial's colours when the surface names none.
    static const Vector3f k_Grey{0.8f, 0.8f, 0.8f};
    static const Vector3f k_Black{0, 0, 0};
    const Vector3f& ambient = material != nullptr ? material->m_AmbientColor : k_Grey;
    const Vector3f& diffuse = material != nullptr ? material->m_DiffuseColor : k_Grey;
    const Vector3f& specular = material != nullptr ? material->m_SpecularColor : k_Black;
    const Vector3f& emission = material != nullptr ? material->m_EmissionColor : k_Black;
    const float shininess = material != nullptr ? material->m_Shininess : 20.0f;
    float transparency = material != nullptr ? material->m_Transparency : 0.0f;
    if (!(transparency > 0.0f))
        transparency = 0.0f; // NaN too
    const float alpha = 1.0f - std::min(transparency, 1.0f);
    float c[4];
    if (lighting) {
        Color4(c, ambient, alpha);
        GL.glMaterialfv(k_FrontAndBack, k_Ambient, c);
        Color4(c, diffuse, alpha);
        GL.glMaterialfv(k_FrontAndBack, k_Diffuse, c);
        Color4(c, specular, alpha);
        GL.glMaterialfv(k_FrontAndBack, k_Specular, c);
        Color4(c, emission, alpha);
        GL.glMaterialfv(k_FrontAndBack, k_Emission, c);
        GL.glMaterialf(k_FrontAndBack, k_Shininess,
                       shininess >= 0.0f ? std::min(shininess, 128.0f) : 0.0f);
    } else {
        Color4(c, diffuse, alpha);
        GL.glColor4fv(c);
    }
    if (m_GlobalMode == 2 || m_GlobalMode == 3)
        return; // the additive passes keep their blending
    if (alpha < 1.0f) {
        GL.glEnable(k_Blend);
        GL.glBlendFunc(k_SrcAlpha, k_OneMinusSrcAlpha);
    } else {
        GL.glDisable(k_Blend);
    }
}

void RenderEngineOpenGL_D::BindShaderBase(RenderShader* shader) {
    if (m_Context == nullptr)
        return;
    const bool lighting = shader == nullptr || shader->m_LightEnable;
    const bool depthTest = shader == nullptr || shader->m_DepthTestEnable;
    const bool cull =
        (shader == nullptr || shader->m_CullEnable) && !G_OpenGLAPI.IsCullingDisabled();
    const bool depthWrite =
        (shader == nullptr || shader->m_DepthWriteEnable) && m_GlobalMode != 2 && m_GlobalMode != 3;
    lighting ? GL.glEnable(k_Lighting) : GL.glDisable(k_Lighting);
    depthTest ? GL.glEnable(k_DepthTest) : GL.glDisable(k_DepthTest);
    if (cull) {
        GL.glEnable(k_CullFace);
        GL.glCullFace(k_Back);
    } else {
        GL.glDisable(k_CullFace);
    }
    GL.glDepthMask(depthWrite);
    const Vector2f bias = shader != nullptr ? shader->m_DepthBias : Vector2f(0, 0);
    if (bias.GetX() != 0.0f || bias.GetY() != 0.0f) {
        GL.glPolygonOffset(bias.GetX(), bias.GetY());
        GL.glEnable(k_PolygonOffsetFill);
    } else {
        GL.glDisable(k_PolygonOffsetFill);
    }
    const RenderMaterial* material = nullptr;
    if (shader != nullptr)
        if (const auto* phong = dynamic_cast<const ShaderPhong*>(shader->m_Surface.Get()))
            material = dynamic_cast<const RenderMaterial*>(phong->m_Material.Get());
    ApplyMaterial(material, lighting);
    BindTexture(shader);
}

void RenderEngineOpenGL_D::DrawGeometry(TGeometry& geometry) {
    if (const auto* mesh = dynamic_cast<const SPolygonGeometry*>(geometry.GetSNode()))
        DrawPolygonDataVL(*mesh);
}

int64_t RenderEngineOpenGL_D::IndicesNeeded(const SPolygonGeometry& mesh) const {
    const int64_t count = mesh.GetPrimCount();
    if (count < 0)
        return -1;
    switch (mesh.GetPrimType()) {
    case Primitive::Point:
        return count;
    case Primitive::Line:
        return 2 * count;
    case Primitive::Triangle:
        return 3 * count;
    case Primitive::Quad:
        return 4 * count;
    case Primitive::Polygon:
    case Primitive::TriangleStrip:
    case Primitive::TriangleFan:
    case Primitive::QuadStrip:
    case Primitive::LineStrip:
    case Primitive::LineLoop:
    case Primitive::TriangleStripAndTriangles: {
        const Array<int32_t>& lengths = mesh.GetPrimLengthArray();
        const bool pair = mesh.GetPrimType() == Primitive::TriangleStripAndTriangles;
        const int64_t used =
            pair ? std::min<int64_t>(2, lengths.Size()) : std::min<int64_t>(count, lengths.Size());
        int64_t total = 0;
        for (int64_t i = 0; i < used; ++i) {
            const int32_t n = lengths[static_cast<int>(i)];
            if (n < 0)
                return -1;
            if (mesh.GetPrimType() == Primitive::Polygon && n < 3) {
                Internal::LogScriptError("DrawOpenGL() Primitive::Polygon length(", n,
                                         ") not supported.");
                return -1;
            }
            total += n;
        }
        return total;
    }
    default:
        Internal::LogScriptError("DrawOpenGL() unsupported Primitive::Type (",
                                 static_cast<uint32_t>(mesh.GetPrimType()), ") detected.");
        return -1;
    }
}

bool RenderEngineOpenGL_D::CheckIndices(const SPolygonGeometry& mesh, int64_t needed) const {
    const Array<int32_t>& indices = mesh.GetIndexArray();
    const int64_t vertexCount = mesh.GetVertexArray().Size();
    if (indices.Size() == 0) {
        if (needed <= vertexCount)
            return true;
        Internal::LogScriptFatal("VERTEXCOUNT TOO SMALL ", vertexCount, "/", vertexCount, "/",
                                 vertexCount);
        return false;
    }
    if (needed > indices.Size()) {
        Internal::LogScriptFatal("INDEXCOUNT TOO SMALL ", needed, "/", indices.Size());
        return false;
    }
    // The mesh keeps its highest index: the common case needs no walk over the indices.
    if (!mesh.HasNegativeIndex() && mesh.GetIndexLimit() <= vertexCount)
        return true;
    int64_t first = -1;
    for (int64_t i = 0; i < needed && first < 0; ++i) {
        const int32_t index = indices[static_cast<int>(i)];
        if (index < 0 || index >= vertexCount)
            first = i;
    }
    if (first < 0)
        return true;
    Internal::LogScriptFatal("VERTEXCOUNT TOO SMALL ", first, "/", indices[static_cast<int>(first)],
                             "/", vertexCount);
    Stream& s = Xerr.pLockFatal();
    for (int64_t i = first; i < needed; ++i) {
        const int32_t index = indices[static_cast<int>(i)];
        if (index < 0 || index >= vertexCount)
            s << (i == first ? "" : " ") << i << ":" << index;
    }
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return false;
}

void RenderEngineOpenGL_D::DrawPolygonDataVL(const SPolygonGeometry& mesh) {
    if (m_FirstDraw) {
        LogInfo("RenderEngineOpenGL_D::DrawPolygonDataVL: first enter.");
    }
    const int64_t needed = m_Context != nullptr ? IndicesNeeded(mesh) : -1;
    const Array<Vector3f>& vertices = mesh.GetVertexArray();
    const int vertexCount = vertices.Size();
    if (needed > 0 && vertexCount > 0 && CheckIndices(mesh, needed)) {
        GL.glVertexPointer(3, k_Float, 12, vertices.Data());
        const Array<Vector3f>& normals = mesh.m_NormalArray;
        if (normals.Size() >= vertexCount) {
            GL.glNormalPointer(k_Float, 12, normals.Data());
            GL.glEnableClientState(k_NormalArray);
        } else {
            GL.glDisableClientState(k_NormalArray);
            if (normals.Size() > 0)
                GL.glNormal3fv(reinterpret_cast<const float*>(&normals[0]));
        }
        ApplyTexCoords(mesh, vertexCount);

        const Array<int32_t>& indices = mesh.GetIndexArray();
        const bool indexed = indices.Size() > 0;
        const auto* data = reinterpret_cast<const uint32_t*>(indices.Data());
        auto draw = [&](GLenum mode, int64_t offset, int64_t count) {
            if (count <= 0)
                return;
            if (!indexed)
                GL.glDrawArrays(mode, static_cast<int>(offset), static_cast<int>(count));
            else if (GL.HasRangeDrawing())
                GL.glDrawRangeElementsEXT(mode, 0, static_cast<uint32_t>(vertexCount - 1),
                                          static_cast<int>(count), k_UnsignedInt, data + offset);
            else
                GL.glDrawElements(mode, static_cast<int>(count), k_UnsignedInt, data + offset);
        };
        switch (mesh.GetPrimType()) {
        case Primitive::Point:
            draw(k_Points, 0, needed);
            break;
        case Primitive::Line:
            draw(k_Lines, 0, needed);
            break;
        case Primitive::Triangle:
            draw(k_Triangles, 0, needed);
            break;
        case Primitive::Quad:
            draw(k_Quads, 0, needed);
            break;
        case Primitive::TriangleStripAndTriangles: {
            const Array<int32_t>& lengths = mesh.GetPrimLengthArray();
            const int64_t strip = lengths.Size() > 0 ? lengths[0] : 0;
            draw(k_TriangleStrip, 0, strip);
            draw(k_Triangles, strip, needed - strip);
            break;
        }
        default: {
            const Primitive::Type type = mesh.GetPrimType();
            const GLenum mode = type == Primitive::Polygon         ? k_Polygon
                                : type == Primitive::TriangleStrip ? k_TriangleStrip
                                : type == Primitive::TriangleFan   ? k_TriangleFan
                                : type == Primitive::QuadStrip     ? k_QuadStrip
                                : type == Primitive::LineStrip     ? k_LineStrip
                                                                   : k_LineLoop;
            const Array<int32_t>& lengths = mesh.GetPrimLengthArray();
            const int used = std::min(mesh.GetPrimCount(), lengths.Size());
            int64_t offset = 0;
            for (int i = 0; i < used; ++i) {
                draw(mode, offset, lengths[i]);
                offset += lengths[i];
            }
            break;
        }
        }
        const int64_t triangles = mesh.GetTriangleCount();
        m_TrianglesThisFrame += triangles;
        m_Statistics->AddTriangles(triangles);
    }
    if (m_FirstDraw) {
        LogInfo("RenderEngineOpenGL_D::DrawPolygonDataVL: first leave.");
        m_FirstDraw = false;
    }
}

void RenderEngineOpenGL_D::SwapBuffers() {
    if (m_Window != nullptr)
        Platform::SwapWindow(m_Window);
    m_TrianglesPerFrame = m_TrianglesThisFrame;
    m_TrianglesThisFrame = 0;
    m_ViewportSet = false;
    ++m_FrameNumber;
    m_Statistics->EndFrame();
    m_Statistics->BeginFrame(Timer::GetSystemTimerSeconds());
    const int64_t now = Platform::PerformanceCounter();
    if (m_FPSFrames == 0) {
        m_FPSWindowStart = now;
    } else if (now - m_FPSWindowStart >= 500000000) {
        m_FPSAverage =
            static_cast<float>(m_FPSFrames * 1e9 / static_cast<double>(now - m_FPSWindowStart));
        m_FPSWindowStart = now;
        m_FPSFrames = 0;
    } else if (m_FPSAverage == 0.0f && now > m_FPSWindowStart) {
        m_FPSAverage =
            static_cast<float>(m_FPSFrames * 1e9 / static_cast<double>(now - m_FPSWindowStart));
    }
    ++m_FPSFrames;
}

bool RenderEngineOpenGL_D::ReadPixels(Image& image) {
    int x = 0, y = 0, width = 0, height = 0;
    if (m_Context == nullptr || !Platform::GetClientArea(m_Window, x, y, width, height) ||
        width <= 0 || height <= 0 || !image.Allocate(4, width, height, 0))
        return false;
    // Before the swap the picture is in the back buffer (a pbuffer has only that one).
    if (m_DoubleBuffer)
        GL.glReadBuffer(k_Back);
    GL.glPixelStorei(k_PackAlignment, 1);
    uint8_t* data = image.GetData();
    // GL reads bottom-up, which is how images keep their rows.
    GL.glReadPixels(0, 0, width, height, k_Rgba, k_UnsignedByte, data);
    return true;
}

} // namespace Quorlix
