#pragma once
// OpenGLAPI: the OpenGL entry points, loaded at run time. The library never links against the
// GL library: LoadDLL opens it by file name, InitAPI resolves the core entry points by name into
// the table below, InitExtensions detects the extensions this engine knows, resolves their entry
// points and applies the switches for known driver faults, which a user controls through the
// settings store and the environment variable XPDISABLE_OPENGL_EXTENSIONS.
//
// One shared instance, G_OpenGLAPI, serves every engine. LoadDLL and UnloadDLL may be called
// from any thread (one global lock); everything else runs on the thread that owns the context.
// The context functions of the window system (wgl*) are those of the platform layer; entries
// without a counterpart there stay null.

#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class Registry;
namespace Platform {
class Window;
struct GLContext;
struct GLLibrary;
} // namespace Platform

// The core entry points: return type, name, parameters. InitAPI resolves them from the library.
#define QUORLIX_GL_CORE_FUNCTIONS(X)                                                               \
    X(void, glDisable, (GLenum))                                                                   \
    X(void, glEnable, (GLenum))                                                                    \
    X(void, glDisableClientState, (GLenum))                                                        \
    X(void, glEnableClientState, (GLenum))                                                         \
    X(void, glBegin, (GLenum))                                                                     \
    X(void, glEnd, ())                                                                             \
    X(void, glArrayElement, (GLint))                                                               \
    X(void, glAlphaFunc, (GLenum, GLfloat))                                                        \
    X(GLboolean, glAreTexturesResident, (GLsizei, const GLuint*, GLboolean*))                      \
    X(void, glBindTexture, (GLenum, GLuint))                                                       \
    X(void, glBlendFunc, (GLenum, GLenum))                                                         \
    X(void, glClear, (GLbitfield))                                                                 \
    X(void, glClearColor, (GLfloat, GLfloat, GLfloat, GLfloat))                                    \
    X(void, glClearDepth, (GLdouble))                                                              \
    X(void, glClearStencil, (GLint))                                                               \
    X(void, glColor4f, (GLfloat, GLfloat, GLfloat, GLfloat))                                       \
    X(void, glColor4fv, (const GLfloat*))                                                          \
    X(void, glColorMask, (GLboolean, GLboolean, GLboolean, GLboolean))                             \
    X(void, glCullFace, (GLenum))                                                                  \
    X(void, glDeleteTextures, (GLsizei, const GLuint*))                                            \
    X(void, glDepthFunc, (GLenum))                                                                 \
    X(void, glDepthMask, (GLboolean))                                                              \
    X(void, glFinish, ())                                                                          \
    X(void, glFlush, ())                                                                           \
    X(void, glFogf, (GLenum, GLfloat))                                                             \
    X(void, glFogfv, (GLenum, const GLfloat*))                                                     \
    X(void, glFogi, (GLenum, GLint))                                                               \
    X(void, glGenTextures, (GLsizei, GLuint*))                                                     \
    X(void, glGetBooleanv, (GLenum, GLboolean*))                                                   \
    X(GLenum, glGetError, ())                                                                      \
    X(void, glGetFloatv, (GLenum, GLfloat*))                                                       \
    X(void, glGetIntegerv, (GLenum, GLint*))                                                       \
    X(const GLubyte*, glGetString, (GLenum))                                                       \
    X(void, glGetTexLevelParameteriv, (GLenum, GLint, GLenum, GLint*))                             \
    X(void, glGetTexParameteriv, (GLenum, GLenum, GLint*))                                         \
    X(void, glHint, (GLenum, GLenum))                                                              \
    X(void, glLightModelfv, (GLenum, const GLfloat*))                                              \
    X(void, glLightModeli, (GLenum, GLint))                                                        \
    X(void, glLightfv, (GLenum, GLenum, const GLfloat*))                                           \
    X(void, glLineWidth, (GLfloat))                                                                \
    X(void, glLoadIdentity, ())                                                                    \
    X(void, glLoadMatrixf, (const GLfloat*))                                                       \
    X(void, glMaterialf, (GLenum, GLenum, GLfloat))                                                \
    X(void, glMaterialfv, (GLenum, GLenum, const GLfloat*))                                        \
    X(void, glMatrixMode, (GLenum))                                                                \
    X(void, glNormal3f, (GLfloat, GLfloat, GLfloat))                                               \
    X(void, glNormal3fv, (const GLfloat*))                                                         \
    X(void, glPixelStoref, (GLenum, GLfloat))                                                      \
    X(void, glPixelStorei, (GLenum, GLint))                                                        \
    X(void, glPolygonMode, (GLenum, GLenum))                                                       \
    X(void, glPolygonOffset, (GLfloat, GLfloat))                                                   \
    X(void, glPrioritizeTextures, (GLsizei, const GLuint*, const GLfloat*))                        \
    X(void, glReadBuffer, (GLenum))                                                                \
    X(void, glReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))                 \
    X(void, glScalef, (GLfloat, GLfloat, GLfloat))                                                 \
    X(void, glScissor, (GLint, GLint, GLsizei, GLsizei))                                           \
    X(void, glStencilFunc, (GLenum, GLint, GLuint))                                                \
    X(void, glStencilMask, (GLuint))                                                               \
    X(void, glStencilOp, (GLenum, GLenum, GLenum))                                                 \
    X(void, glTexCoord2f, (GLfloat, GLfloat))                                                      \
    X(void, glTexCoord2fv, (const GLfloat*))                                                       \
    X(void, glTexEnvf, (GLenum, GLenum, GLfloat))                                                  \
    X(void, glTexEnvi, (GLenum, GLenum, GLint))                                                    \
    X(void, glTexGeni, (GLenum, GLenum, GLint))                                                    \
    X(void, glTexImage2D,                                                                          \
      (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*))                \
    X(void, glTexParameterfv, (GLenum, GLenum, const GLfloat*))                                    \
    X(void, glTexParameteri, (GLenum, GLenum, GLint))                                              \
    X(void, glTranslatef, (GLfloat, GLfloat, GLfloat))                                             \
    X(void, glVertex2f, (GLfloat, GLfloat))                                                        \
    X(void, glVertex3f, (GLfloat, GLfloat, GLfloat))                                               \
    X(void, glVertex3fv, (const GLfloat*))                                                         \
    X(void, glViewport, (GLint, GLint, GLsizei, GLsizei))                                          \
    /* The 1.1 client arrays, which drivers export whether or not they list EXT_vertex_array. */   \
    X(void, glVertexPointer, (GLint, GLenum, GLsizei, const void*))                                \
    X(void, glNormalPointer, (GLenum, GLsizei, const void*))                                       \
    X(void, glTexCoordPointer, (GLint, GLenum, GLsizei, const void*))                              \
    X(void, glColorPointer, (GLint, GLenum, GLsizei, const void*))                                 \
    X(void, glDrawArrays, (GLenum, GLint, GLsizei))                                                \
    X(void, glDrawElements, (GLenum, GLsizei, GLenum, const void*))

// The extension entry points, resolved through the window system's lookup only when their
// extension is present.
#define QUORLIX_GL_EXTENSION_FUNCTIONS(X)                                                          \
    X(void, glActiveTextureARB, (GLenum))                                                          \
    X(void, glClientActiveTextureARB, (GLenum))                                                    \
    X(void, glVertexPointerEXT, (GLint, GLenum, GLsizei, GLsizei, const void*))                    \
    X(void, glNormalPointerEXT, (GLenum, GLsizei, GLsizei, const void*))                           \
    X(void, glTexCoordPointerEXT, (GLint, GLenum, GLsizei, GLsizei, const void*))                  \
    X(void, glColorPointerEXT, (GLint, GLenum, GLsizei, GLsizei, const void*))                     \
    X(void, glArrayElementEXT, (GLint))                                                            \
    X(void, glDrawArraysEXT, (GLenum, GLint, GLsizei))                                             \
    X(void, glDrawRangeElementsEXT, (GLenum, GLuint, GLuint, GLsizei, GLenum, const void*))        \
    X(void, glLockArraysEXT, (GLint, GLsizei))                                                     \
    X(void, glUnlockArraysEXT, ())                                                                 \
    X(void, glElementPointerATI, (GLenum, const void*))                                            \
    X(void, glDrawElementArrayATI, (GLenum, GLsizei))                                              \
    X(void, glDrawRangeElementArrayATI, (GLenum, GLuint, GLuint, GLsizei))

// Window-system entries that this platform has no counterpart for; they stay null.
#define QUORLIX_GL_UNMAPPED_FUNCTIONS(X)                                                           \
    X(wglCopyContext)                                                                              \
    X(wglCreateLayerContext)                                                                       \
    X(wglGetCurrentDC)                                                                             \
    X(wglShareLists)                                                                               \
    X(wglUseFontBitmapsA)                                                                          \
    X(wglUseFontBitmapsW)                                                                          \
    X(wglUseFontOutlinesA)                                                                         \
    X(wglUseFontOutlinesW)                                                                         \
    X(wglDescribeLayerPlane)                                                                       \
    X(wglSetLayerPaletteEntries)                                                                   \
    X(wglGetLayerPaletteEntries)                                                                   \
    X(wglRealizeLayerPalette)                                                                      \
    X(wglSwapLayerBuffers)

// The extensions detected in the GL extension string.
#define QUORLIX_GL_EXTENSIONS(X)                                                                   \
    X(GL_ARB_extensions_string)                                                                    \
    X(GL_ARB_imaging)                                                                              \
    X(GL_ARB_multitexture)                                                                         \
    X(GL_ARB_texture_compression)                                                                  \
    X(GL_ARB_texture_cube_map)                                                                     \
    X(GL_ARB_texture_env_add)                                                                      \
    X(GL_ARB_texture_env_combine)                                                                  \
    X(GL_ARB_texture_env_dot3)                                                                     \
    X(GL_ARB_transpose_matrix)                                                                     \
    X(GL_S3_s3tc)                                                                                  \
    X(GL_EXT_abgr)                                                                                 \
    X(GL_EXT_bgra)                                                                                 \
    X(GL_EXT_blend_color)                                                                          \
    X(GL_EXT_blend_minmax)                                                                         \
    X(GL_EXT_blend_subtract)                                                                       \
    X(GL_EXT_clip_volume_hint)                                                                     \
    X(GL_EXT_compiled_vertex_array)                                                                \
    X(GL_EXT_draw_range_elements)                                                                  \
    X(GL_EXT_fog_coord)                                                                            \
    X(GL_EXT_multi_draw_arrays)                                                                    \
    X(GL_EXT_packed_pixels)                                                                        \
    X(GL_EXT_paletted_texture)                                                                     \
    X(GL_EXT_point_parameters)                                                                     \
    X(GL_EXT_rescale_normal)                                                                       \
    X(GL_EXT_secondary_color)                                                                      \
    X(GL_EXT_separate_specular_color)                                                              \
    X(GL_EXT_shared_texture_palette)                                                               \
    X(GL_EXT_stencil_wrap)                                                                         \
    X(GL_EXT_texture_compression_s3tc)                                                             \
    X(GL_EXT_texture_edge_clamp)                                                                   \
    X(GL_EXT_texture_env_add)                                                                      \
    X(GL_EXT_texture_env_combine)                                                                  \
    X(GL_EXT_texture_env_dot3)                                                                     \
    X(GL_EXT_texture_cube_map)                                                                     \
    X(GL_EXT_texture_filter_anisotropic)                                                           \
    X(GL_EXT_texture_lod)                                                                          \
    X(GL_EXT_texture_lod_bias)                                                                     \
    X(GL_EXT_texture_object)                                                                       \
    X(GL_EXT_vertex_array)                                                                         \
    X(GL_EXT_vertex_weighting)                                                                     \
    X(GL_IBM_texture_mirrored_repeat)                                                              \
    X(GL_KTX_buffer_region)                                                                        \
    X(GL_NV_blend_square)                                                                          \
    X(GL_NV_evaluators)                                                                            \
    X(GL_NV_fence)                                                                                 \
    X(GL_NV_fog_distance)                                                                          \
    X(GL_NV_light_max_exponent)                                                                    \
    X(GL_NV_packed_depth_stencil)                                                                  \
    X(GL_NV_register_combiners)                                                                    \
    X(GL_NV_texgen_emboss)                                                                         \
    X(GL_NV_texgen_reflection)                                                                     \
    X(GL_NV_texture_env_combine4)                                                                  \
    X(GL_NV_texture_rectangle)                                                                     \
    X(GL_NV_vertex_array_range)                                                                    \
    X(GL_NV_vertex_array_range2)                                                                   \
    X(GL_NV_vertex_program)                                                                        \
    X(GL_NV_vertex_program1_1)                                                                     \
    X(GL_ATI_element_array)                                                                        \
    X(GL_SGIS_generate_mipmap)                                                                     \
    X(GL_SGIS_multitexture)                                                                        \
    X(GL_SGIS_texture_lod)                                                                         \
    X(GL_WIN_swap_hint)

// The extensions detected in the window system's string (never listed by GLX or EGL under
// these names; kept so that settings and logs read the same everywhere).
#define QUORLIX_GL_WINDOW_EXTENSIONS(X)                                                            \
    X(WGL_ARB_buffer_region)                                                                       \
    X(WGL_ARB_extensions_string)                                                                   \
    X(WGL_ARB_pbuffer)                                                                             \
    X(WGL_ARB_pixel_format)                                                                        \
    X(WGL_ARB_render_texture)                                                                      \
    X(WGL_EXT_extensions_string)                                                                   \
    X(WGL_EXT_swap_control)                                                                        \
    X(WGL_NV_render_texture_rectangle)

class QUORLIX_API OpenGLAPI {
public:
    using GLenum = uint32_t;
    using GLboolean = uint8_t;
    using GLbitfield = uint32_t;
    using GLint = int32_t;
    using GLsizei = int32_t;
    using GLuint = uint32_t;
    using GLfloat = float;
    using GLdouble = double;
    using GLubyte = uint8_t;

    /// The library's file name.
    static constexpr const char* k_LibraryName = "libGL.so.1";

#define QUORLIX_GL_ENUMERATOR(name) k_##name,
    /// Indexes of the extension flags.
    enum Extension : int {
        QUORLIX_GL_EXTENSIONS(QUORLIX_GL_ENUMERATOR)
            QUORLIX_GL_WINDOW_EXTENSIONS(QUORLIX_GL_ENUMERATOR) k_ExtensionCount
    };
#undef QUORLIX_GL_ENUMERATOR

    /// Empty: nothing loaded, every pointer null, every flag clear.
    OpenGLAPI() noexcept;
    ~OpenGLAPI();
    OpenGLAPI(const OpenGLAPI&) = delete;
    OpenGLAPI& operator=(const OpenGLAPI&) = delete;

    /// Loads the library (the first call) and counts one user. SOK; ENotFound when the library
    /// does not load; EUnimplemented when it lacks one of the five entry points every context
    /// needs ("damaged" is logged).
    int LoadDLL();
    /// Drops one user. EFail when none was counted or users remain; the last user clears the
    /// whole table (SOK). The library itself stays loaded: see Platform::OpenGLLibrary.
    int UnloadDLL();
    /// Resolves every core entry point (SOK). Later calls log that they came again and change
    /// nothing; without a loaded library ENotFound. Names the library lacks stay null.
    int InitAPI(const StringRef& basePath);
    /// Lowers the API count; below zero logs a warning and the count stays 0.
    int ExitAPI();

    /// Detects the extensions and applies the driver switches; needs a current context.
    /// `window` (may be null) lets the window system's string be read too. `basePath` (may be
    /// empty) chooses the settings key: "Software\Quorlix\Engine\OpenGL" or basePath +
    /// "Engine\OpenGL". Runs once per count (later calls count and return SOK); returns the
    /// failure of InitAPI.
    int InitExtensions(const StringRef& basePath, Platform::Window* window);
    /// Lowers the count (below zero: EOverflow); the last exit records the clean shutdown
    /// ("Running" = "default") under the key the start used.
    int ExitExtensions();
    /// The settings key for `basePath` (see InitExtensions).
    static String SettingsKey(const String& basePath);

    bool HasExtension(Extension extension) const noexcept {
        return extension >= 0 && extension < k_ExtensionCount && m_Extensions[extension];
    }
    /// Set by a driver workaround: the engine then never enables face culling.
    bool IsCullingDisabled() const noexcept {
        return m_CullingDisabled;
    }
    int GetLoadCount() const noexcept {
        return m_LoadCount;
    }
    int GetAPICount() const noexcept {
        return m_APICount;
    }
    int GetExtensionCount() const noexcept {
        return m_ExtensionInitCount;
    }
    /// Whether indexed triangles can be drawn with glDrawRangeElementsEXT.
    bool HasRangeDrawing() const noexcept {
        return m_Extensions[k_GL_EXT_draw_range_elements] && glDrawRangeElementsEXT != nullptr;
    }
    bool HasMultitexture() const noexcept {
        return m_Extensions[k_GL_ARB_multitexture] && glActiveTextureARB != nullptr &&
               glClientActiveTextureARB != nullptr;
    }
    /// glGetString's text for GL_VENDOR, GL_RENDERER, GL_VERSION or GL_EXTENSIONS as this API
    /// reads it (stand-ins of tests included); "" when there is none.
    const char* GetDriverString(GLenum name) const;
    /// The extension names in flag order (the GL ones, then the window system's).
    static const char* GetExtensionName(Extension extension) noexcept;

#define QUORLIX_GL_POINTER(ret, name, params) ret(*name) params = nullptr;
    QUORLIX_GL_CORE_FUNCTIONS(QUORLIX_GL_POINTER)
    QUORLIX_GL_EXTENSION_FUNCTIONS(QUORLIX_GL_POINTER)
#undef QUORLIX_GL_POINTER

    // The window system's context functions, from the platform layer.
    void* (*wglGetProcAddress)(const char* name) = nullptr;
    Platform::GLContext* (*wglCreateContext)(Platform::Window* window) = nullptr;
    bool (*wglMakeCurrent)(Platform::Window* window, Platform::GLContext* context) = nullptr;
    void (*wglDeleteContext)(Platform::GLContext* context) = nullptr;
    Platform::GLContext* (*wglGetCurrentContext)() = nullptr;
    const char* (*wglGetExtensionsStringARB)() = nullptr;
    bool (*wglSwapIntervalEXT)(int interval) = nullptr;
    int (*wglGetSwapIntervalEXT)() = nullptr;
#define QUORLIX_GL_UNMAPPED(name) void (*name)() = nullptr;
    QUORLIX_GL_UNMAPPED_FUNCTIONS(QUORLIX_GL_UNMAPPED)
#undef QUORLIX_GL_UNMAPPED

private:
    void ClearTable() noexcept;
    void ClearExtensions() noexcept;
    void ResolveExtension(Extension extension);
    void ApplyDriverWorkarounds(Registry& settings);
    void CheckConsistency();

    Platform::GLLibrary* m_Module = nullptr;
    int m_LoadCount = 0;
    int m_APICount = 0;
    int m_ExtensionInitCount = 0;
    String m_BasePath;
    bool m_Extensions[k_ExtensionCount] = {};
    bool m_CullingDisabled = false;
};

/// The shared instance every engine uses.
extern QUORLIX_API OpenGLAPI G_OpenGLAPI;

} // namespace Quorlix
