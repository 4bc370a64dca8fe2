// The BMG raster form (read and written) and the TGA form (written).
//
// BMG: a 16-byte big-endian header ("BMG", 1, flags, bytes per pixel, width, height, 1), the
// pixels of level 0 in storage order (bottom row first), then, with flag bit 0, every further
// mipmap level, largest first. TGA: an 18-byte header and uncompressed pixels, bottom row first.

#include "quorlix/image/Image.h"
#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>
#include <vector>

namespace Quorlix::Internal {

namespace {

constexpr int k_BmgHeaderSize = 16;
constexpr int k_BmgMaxSize = 8192;
constexpr int k_TgaHeaderSize = 18;
constexpr int k_TgaMaxSize = 65535;

int BigEndian16(const unsigned char* p) {
    return p[0] << 8 | p[1];
}

uint32_t BigEndian32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PutBigEndian16(unsigned char* p, int v) {
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

int LevelBytes(const Image& level) {
    return level.GetWidth() * level.GetHeight() * level.GetBytesPerPixel();
}

EResult ReadFailed(Image& image, const char* name) {
    image.Clear();
    LogScript(&LogStream::pLockInfo, "Image_D::ImportFileBMG: failed to read \"", name, '"');
    return EFail;
}

EResult WriteFailed(const char* form, const char* name) {
    LogScript(&LogStream::pLockInfo, "Image_D::ExportFile", form, ": failed to write \"", name,
              '"');
    return EFail;
}

} // namespace

EResult ReadBmg(Image& image, StreamPipe& pipe, const char* name) {
    unsigned char header[k_BmgHeaderSize];
    if (ReadFully(pipe, header, k_BmgHeaderSize) != k_BmgHeaderSize)
        return ReadFailed(image, name);
    // Bytes 0 to 3 (magic and version) are not checked: files with other values there load.
    const bool mipMaps = (BigEndian32(header + 4) & 1) != 0;
    const int bytesPerPixel = BigEndian16(header + 8);
    const int width = BigEndian16(header + 10), height = BigEndian16(header + 12);
    if (bytesPerPixel > 4 || width > k_BmgMaxSize || height > k_BmgMaxSize ||
        BigEndian16(header + 14) != 1 || (bytesPerPixel == 0 && (width != 0 || height != 0)))
        return ReadFailed(image, name);
    // At most 8192 * 8192 * 4 bytes, and level 0 is read straight into the image's buffer.
    if (!image.Allocate(bytesPerPixel, width, height, 0))
        return ReadFailed(image, name);
    if (ReadFully(pipe, image.GetData(), LevelBytes(image)) != LevelBytes(image))
        return ReadFailed(image, name);
    if (!mipMaps)
        return SOK;
    image.AllocateMipMap();
    for (Image* level = image.GetMipMap(); level != nullptr; level = level->GetMipMap())
        if (ReadFully(pipe, level->GetData(), LevelBytes(*level)) != LevelBytes(*level))
            return ReadFailed(image, name);
    return SOK;
}

EResult WriteBmg(const Image& image, StreamPipe& pipe, const char* name) {
    // The header holds 16-bit sizes, and the reader takes no more than 8192.
    if (image.GetWidth() > k_BmgMaxSize || image.GetHeight() > k_BmgMaxSize)
        return WriteFailed("BMG", name);
    unsigned char header[k_BmgHeaderSize] = {'B', 'M', 'G', 1, 0, 0, 0, 0};
    header[7] = image.GetMipMap() != nullptr ? 1 : 0;
    PutBigEndian16(header + 8, image.GetBytesPerPixel());
    PutBigEndian16(header + 10, image.GetWidth());
    PutBigEndian16(header + 12, image.GetHeight());
    PutBigEndian16(header + 14, 1);
    if (WriteFully(pipe, header, k_BmgHeaderSize) != k_BmgHeaderSize)
        return WriteFailed("BMG", name);
    for (const Image* level = &image; level != nullptr; level = level->GetMipMap())
        if (WriteFully(pipe, level->GetData(), LevelBytes(*level)) != LevelBytes(*level))
            return WriteFailed("BMG", name);
    return SOK;
}

EResult WriteTga(const Image& image, StreamPipe& pipe, const char* name) {
    const int width = image.GetWidth(), height = image.GetHeight();
    const int bytesPerPixel = image.GetBytesPerPixel();
    if (width > k_TgaMaxSize || height > k_TgaMaxSize)
        return WriteFailed("TGA", name);
    unsigned char header[k_TgaHeaderSize] = {};
    // Luminance (with or without alpha) is grey-scale; three and four channels true colour.
    header[2] = bytesPerPixel <= 2 ? 3 : 2;
    header[12] = static_cast<unsigned char>(width);
    header[13] = static_cast<unsigned char>(width >> 8);
    header[14] = static_cast<unsigned char>(height);
    header[15] = static_cast<unsigned char>(height >> 8);
    header[16] = static_cast<unsigned char>(bytesPerPixel * 8);
    if (WriteFully(pipe, header, k_TgaHeaderSize) != k_TgaHeaderSize)
        return WriteFailed("TGA", name);
    const unsigned char* data = image.GetData();
    if (image.GetFormat() != 0 || bytesPerPixel < 3) {
        const int bytes = width * height * bytesPerPixel;
        return WriteFully(pipe, data, bytes) == bytes ? SOK : WriteFailed("TGA", name);
    }
    // TGA keeps true colour as blue, green, red (, alpha); rows are converted one at a time.
    const int rowBytes = width * bytesPerPixel;
    std::vector<unsigned char> row(static_cast<size_t>(rowBytes));
    for (int y = 0; y < height; ++y, data += rowBytes) {
        for (int i = 0; i < rowBytes; i += bytesPerPixel) {
            row[i] = data[i + 2];
            row[i + 1] = data[i + 1];
            row[i + 2] = data[i];
            if (bytesPerPixel == 4)
                row[i + 3] = data[i + 3];
        }
        if (WriteFully(pipe, row.data(), rowBytes) != rowBytes)
            return WriteFailed("TGA", name);
    }
    return SOK;
}

} // namespace Quorlix::Internal
