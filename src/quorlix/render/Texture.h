#pragma once
// The texture classes: Texture (-3957) names an image through a FileObject or builds one from an
// image layer; Texture2D (-3956) adds the wrap modes, TileTexture2D (-3960) the texture
// coordinates of its tiles, FontTexture2D (-3955) the font its image is rendered from.
//
// Besides its members a texture has a load state (TextureLoadState), the image a load produced
// and an image it generates itself (a font texture's glyphs). The host's thread drives the
// state through the render engine; a load job on its own thread writes the loaded image and
// then publishes state 3 (release order), and the engine reads the state before it takes the
// image (acquire order), so state 3 always comes with its image.

#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "quorlix/image/Image.h"
#include "quorlix/image/ImageLayer.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/script/Object.h"

#include <atomic>
#include <cstdint>

namespace Quorlix {

namespace Internal {
struct TextureLoadJob;
}

/// Load states of a texture.
enum TextureLoadState : uint32_t {
    k_TextureIdle = 0,        // nothing requested, image handed to the engine, or no layer image
    k_TextureWaiting = 1,     // the engine shows its placeholder and waits to load
    k_TextureLoading = 2,     // a load is under way (a job on a thread, or the request itself)
    k_TextureReady = 3,       // an image is ready for the engine (possibly empty)
    k_TextureDownloading = 4, // the engine is downloading the image
};

/// What the cache file of an image's base path is worth (Texture::CheckImageCache).
enum TextureCacheStatus : uint32_t {
    k_TextureCacheFresh,      // newer than every source and readable: a load reads it
    k_TextureCacheStale,      // not newer than a source: a load decodes the source again
    k_TextureCacheUnreadable, // newer, but it does not read as an image
    k_TextureCacheMissing,    // none, or the name never gets one (archives, ".bmg", '{')
};

class QUORLIX_API Texture : public Object {
public:
    static Texture* Create();
    static const TypeInfo* GetTextureTypeInfo() noexcept;

    Texture() noexcept = default;
    ~Texture() override;

    /// The image file; null when none.
    FileObject* GetFileObject() const noexcept { return m_FileObject.Get(); }
    /// Stores `file` (null for none); the binding hands null for an object of another class.
    void SetFileObject(FileObject* file) noexcept { m_FileObject = file; }

    Obj<FileObject> m_FileObject;
    /// Colour of the 1 x 1 placeholder shown until the image is loaded.
    Vector4f m_DefaultColor{0.5f, 0.5f, 0.5f, 1.0f};
    bool m_MipMapEnable = true;
    float m_Anisotropic = 1.0f;
    float m_LODBias = 0.0f;
    /// The layer that composes the image instead of a file; nil when none.
    Obj<ImageLayer> m_ImageLayer;

    /// The load request: starts a load job (on a thread when `allowThread` is non-zero), or
    /// composes the image layer at once; `imagePath` prefixes the file names. Returns the state
    /// after the request: 2 while a thread has the job, else 3 or 0.
    virtual uint32_t RequestLoad(int allowThread, const String& imagePath);
    /// The loaded image, handed over: the texture is left without one. The host's thread calls
    /// it after it read state 3; the state is the caller's to set.
    Obj<Image> TakeLoadedImage() noexcept { return static_cast<Obj<Image>&&>(m_LoadedImage); }
    /// The loaded image; null when none. Only after state 3 was read on this thread.
    Image* GetLoadedImage() const noexcept { return m_LoadedImage.Get(); }

    /// Most load jobs on threads at once; a request past it loads on the calling thread.
    static constexpr int32_t k_MaxThreadJobs = 16;
    /// The number of load jobs running on threads. Thread-safe.
    static int32_t GetTextureThreadJobs() noexcept;
    /// Ends the threads of finished load jobs and drops their texture references, so that a
    /// texture whose last reference a job held is destroyed here and never on the job's thread.
    /// The host's thread calls it (the engine once a frame; each load request does too).
    /// Returns the number of jobs reaped.
    static int ReapLoadJobs();
    /// Waits at most `milliseconds` for every threaded load job to end, then reaps them. False,
    /// with an error line, when some still run at the end. The library's unload calls it.
    static bool WaitForLoadJobs(int32_t milliseconds = 10000);
    /// The library reference a load job holds while it runs on its thread; the library
    /// installs its counted initialisation here (the render module sits below it).
    static void SetLibraryReferenceHooks(void (*take)(int), void (*drop)(int)) noexcept;

    /// The image for base path `name` as a load job reads it: the cache `name`.cache.bmg when
    /// it is newer than `name`.png and `name`.jp2, else ImportFile(`name`), given its mipmap
    /// chain when `mipMap` is set and the sizes are powers of two, and written to the cache
    /// (a temporary file renamed into place; a failure only warns). Names in archives (".kxp"),
    /// multipart names ('{') and names with a `name`.bmg file get no cache. Never null; empty,
    /// after the error "TextureLoad: image file ... not found or format unsupported.", when
    /// nothing could be read. Thread-safe for different names.
    static Obj<Image> LoadImageFile(const String& name, bool mipMap);
    /// What the cache of base path `name` is worth, by the same rule as LoadImageFile.
    static TextureCacheStatus CheckImageCache(const String& name);

    /// Makes the generated image when the texture makes its own (a font texture renders its
    /// glyphs); the engine calls it at the texture's first visit in state 1. Default: nothing.
    virtual void MakeGeneratedImage() {}

    uint32_t GetLoadState() const noexcept { return m_LoadState.load(std::memory_order_acquire); }
    void SetLoadState(uint32_t state) noexcept {
        m_LoadState.store(state, std::memory_order_release);
    }
    /// The image the texture generated itself; null when none.
    Image* GetGeneratedImage() const noexcept { return m_GeneratedImage.Get(); }
    /// Stores the generated image (null for none); the engine hands it over instead of loading.
    void SetGeneratedImage(Image* image) noexcept { m_GeneratedImage = image; }
    /// Stores the loaded image (null for none). Publish state 3 after it, never before.
    void SetLoadedImage(Image* image) noexcept { m_LoadedImage = image; }

    /// The engine's texture-object name for this texture; 0 while it has none.
    uint32_t m_EngineTexture = 0;
    /// The identity of the engine whose name m_EngineTexture is (0 with no name): names belong
    /// to one context, and a texture may outlive its engine or be drawn by another one.
    uint32_t m_EngineOwner = 0;

protected:
    friend struct Internal::TextureLoadJob;

    Obj<Image> m_GeneratedImage;
    /// The image of the last load; null when none. Written by a load job before it publishes
    /// state 3, taken over by the engine after it read state 3.
    Obj<Image> m_LoadedImage;
    std::atomic<uint32_t> m_LoadState{k_TextureIdle};
};

class QUORLIX_API Texture2D : public Texture {
public:
    /// Texture2D.WrapModeEnum.
    enum class WrapMode : uint32_t { Clamp, Repeat };

    static Texture2D* Create();
    static const TypeInfo* GetTexture2DTypeInfo() noexcept;

    Texture2D() noexcept = default;
    ~Texture2D() override;

    WrapMode m_WrapU = WrapMode::Repeat;
    WrapMode m_WrapV = WrapMode::Repeat;
};

class QUORLIX_API TileTexture2D : public Texture2D {
public:
    static TileTexture2D* Create();
    static const TypeInfo* GetTileTexture2DTypeInfo() noexcept;

    TileTexture2D() noexcept = default;
    ~TileTexture2D() override;

    /// Two corners per tile, its (x, y) and (x + w, y + h) divided by the image size. While it
    /// is empty a load also reads the tile list <image name>.txf (none is no error) and, when
    /// the image loaded, fills it on the host's thread: at the end of a load on the calling
    /// thread, or when the finished threaded job is reaped (ReapLoadJobs, WaitForLoadJobs).
    Array<Vector2f> m_TileTexCoordArray;
};

class QUORLIX_API FontTexture2D : public Texture2D {
public:
    /// The printable ASCII characters, blank to tilde in code order: the default character map.
    static constexpr char k_PrintableASCII[] =
        " !\"#$%&'()*+,-./"
        "0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";

    static FontTexture2D* Create();
    static const TypeInfo* GetFontTexture2DTypeInfo() noexcept;

    FontTexture2D();
    ~FontTexture2D() override;

    String m_FontName{"Tahoma"};
    float m_FontWeight = 0.0f;
    float m_FontItalic = 0.0f;
    Vector2f m_FakeShadow{0, 0};
    Vector2f m_ImageSize{256, 256};
    Vector2f m_CharacterSize{0, 32};
    Vector2f m_CharacterDistance{4, 4};
    String m_CharacterMap;

    /// Where a character sits in the font image: its cell, y counted down from the top row of
    /// the picture, its advance in pixels, and where the cell's left edge lies from the pen
    /// (text is drawn with each cell at pen + m_OffsetX, the pen then moving by the advance).
    /// A character not in the image has a 0 x 0 cell.
    struct Glyph {
        int m_X = 0;
        int m_Y = 0;
        int m_Width = 0;
        int m_Height = 0;
        int m_Advance = 0;
        int m_OffsetX = 0;
    };

    /// Renders `CharacterMap` into the generated image: one two-channel image of `ImageSize`
    /// (luminance 255, alpha the glyph's coverage, transparent elsewhere; each size saturated
    /// to 0..8192, NaN as 0), glyphs `CharacterSize.y` pixels high at their baseline in cells
    /// laid out in rows from the top-left, `CharacterDistance` apart. A cell is as wide as the
    /// glyph's ink (0 for a blank, whose advance still counts), its offset that of the ink
    /// from the pen; when `CharacterSize.x` is not 0 every cell is that wide with the pen at
    /// its left edge (offset 0). A `FakeShadow` offset widens a cell by the offset, and a
    /// negative one moves the glyph right or down within it (the offset then less by as
    /// much). The map is Windows-1252; control bytes and the code page's gaps are skipped
    /// with a log line, as are characters the face lacks. A family fontconfig does not have
    /// gives "DejaVu Sans" with a note. The locale settings are logged first. Returns false
    /// with an empty image when no face opens ("CreateFont"), and false with the characters
    /// that fit when the map does not fit ("FONT ERROR."). A cell's advance is the face's.
    bool CreateFontImage();
    /// Makes the font image when there is none yet.
    void MakeGeneratedImage() override;
    /// The cell, advance and offset of `code` in the last font image.
    const Glyph& GetGlyph(unsigned char code) const noexcept { return m_Glyphs[code]; }
    /// The family of the face the last font image was rendered with; empty before one.
    const String& GetFaceName() const noexcept { return m_FaceName; }

private:
    Glyph m_Glyphs[256];
    String m_FaceName;
};

} // namespace Quorlix
