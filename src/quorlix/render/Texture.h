#pragma once
// The texture classes: Texture (-3957) names an image through a FileObject or builds one from an
// image layer; Texture2D (-3956) adds the wrap modes, TileTexture2D (-3960) the texture
// coordinates of its tiles, FontTexture2D (-3955) the font its image is rendered from. Loading,
// the cache files and font rendering come with the texture loader; for now the classes hold
// their script members.

#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "quorlix/image/ImageLayer.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

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
};

} // namespace Quorlix
