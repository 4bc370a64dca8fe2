#pragma once
// Image (class "Image", -3958): the raster image object. One buffer of 1 to 4 interleaved 8-bit
// channels (1 luminance; 2 luminance, alpha; 3 red, green, blue; 4 red, green, blue, alpha),
// rows stored bottom-up (row 0 is the bottom row of the picture), an optional chain of mipmap
// levels, pixel and span access with colour conversion, power-of-two reduction, and the image
// files: BMG (the library's own raster form) read and written, PNG read and written, JPEG 2000
// read, TGA written. It has no script members. Image_D is the one concrete class; Create makes
// one.
//
// A packed colour is 32 bits whose bytes, from the least significant, are red, green, blue and
// alpha. Luminance from a colour is (red * 30 + green * 59 + blue * 11) / 100.

#include "quorlix/core/Obj.h"
#include "quorlix/core/Result.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class StreamPipe;

class QUORLIX_API Image : public Object {
public:
    /// A new empty Image_D (all sizes 0, no buffer; count 0).
    static Image* Create();
    /// The type record that the objects of Create carry.
    static const TypeInfo* GetImageTypeInfo() noexcept;

    /// Largest width or height an importer accepts (a file claiming more is refused before
    /// anything is allocated).
    static constexpr int k_MaxImportSize = 16384;

    ~Image() override;

    /// Clears, stores the four values and allocates a new buffer of bytesPerPixel * width *
    /// height bytes (contents undefined). Refused (the image stays empty, an error line is
    /// logged, false returned) for negative sizes, bytesPerPixel outside 0..4 or a buffer that
    /// does not fit in 31 bits.
    virtual bool Allocate(int bytesPerPixel, int width, int height, uint32_t format) = 0;
    virtual int GetBytesPerPixel() const = 0;
    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual uint32_t GetFormat() const = 0;
    /// The first byte of row 0; null for an empty image.
    virtual unsigned char* GetData() const = 0;
    /// The next smaller level; null when none.
    virtual Image* GetMipMap() const = 0;

    // Pixel access: byte (y * width + x) * bytesPerPixel, bounds not checked.
    virtual uint32_t GetPixel(int x, int y) const = 0;
    virtual void SetPixel(int x, int y, uint32_t color) = 0;
    virtual int GetLuminance(int x, int y) const = 0;
    virtual void SetLuminance(int x, int y, int value) = 0;
    /// `count` pixels from (x, y), stepping (dx, dy), as R, G, B, A bytes to `out` (4 * count
    /// bytes). Nothing is transferred, and "GetSpanR8G8B8A8: exceeding limits." is logged, when
    /// the span leaves the image (checked in 64-bit unsigned arithmetic) or count is negative.
    virtual void GetSpanR8G8B8A8(int x, int y, int dx, int dy, int count,
                                 unsigned char* out) const = 0;
    /// The inverse of GetSpanR8G8B8A8, with SetPixel's reduction.
    virtual void SetSpanR8G8B8A8(int x, int y, int dx, int dy, int count,
                                 const unsigned char* in) = 0;

    /// Fills this (allocated) image from `source`, twice as large in one or both dimensions
    /// and with the same bytesPerPixel; bit 0 of `mode` weights colour by alpha in the 2 x 2
    /// reduction.
    virtual void Reformat(const Image* source, int mode) = 0;
    /// Builds the mipmap chain down to 1 x 1 for power-of-two sizes.
    virtual void MipMap(int mode) = 0;
    /// SetPixel over the rectangle clipped to the image.
    virtual void FillRect(int x, int y, int w, int h, uint32_t color) = 0;
    /// A checkerboard of cellWidth x cellHeight cells over the area (x, y, w, h), starting with
    /// colour a at (x, y); cells are cut to the area and the image. Cells below 1 pixel draw
    /// nothing.
    virtual void FillChecker(int x, int y, int w, int h, int cellWidth, int cellHeight, uint32_t a,
                             uint32_t b) = 0;

    /// Clears, then reads `pipe` in the form that `name`'s extension (".bmg", ".png", ".jp2",
    /// any case) selects. SOK, EFail (the image left empty) or ENotFound for another extension.
    virtual EResult ImportStream(const char* name, StreamPipe* pipe) = 0;
    /// Clears, then reads basePath + ".bmg", ".png" or ".jp2", the first that opens.
    virtual EResult ImportFile(const char* basePath) = 0;
    /// Writes the form that `name`'s extension (".bmg", ".png", ".tga") selects to `pipe`.
    virtual EResult ExportStream(const char* name, StreamPipe* pipe, int option) = 0;
    /// Opens `path` for writing and writes the form its extension selects; an extension it
    /// cannot write gives ENotFound before any file is created or truncated.
    virtual EResult ExportFile(const char* path, int option) = 0;

    /// Sizes and bytesPerPixel 0; the buffer and the mipmap chain released.
    void Clear();
    /// Makes the chain of levels below this one for its size without filtering them.
    void AllocateMipMap();

protected:
    Image() noexcept = default;

    int m_Width = 0;
    int m_Height = 0;
    int m_BytesPerPixel = 0;
    uint32_t m_Format = 0;
    /// The payload of a counted byte block (Memory::UninitializedNewArrayRef1), released with
    /// BlockRelease; null when empty.
    unsigned char* m_Data = nullptr;
    Obj<Image> m_MipMap;
};

} // namespace Quorlix
