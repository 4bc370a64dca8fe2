// PNG reading and writing through libpng over a StreamPipe.
//
// libpng reports errors by longjmp. Every setjmp lives in a small function below that holds no
// C++ object with a destructor, and the callbacks that libpng leaves through (pipe reads and
// writes, the error handler) hold none either; the callers own the row tables and release the
// libpng structures after those functions have returned.

#include "quorlix/image/Image.h"
#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/stream/StreamPipe.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

namespace Quorlix {

namespace {

// A fuzzing build keeps every input small, so that a run stays fast and within its memory.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr png_uint_32 k_MaxSize = 2048;
#else
constexpr png_uint_32 k_MaxSize = Image::k_MaxImportSize;
#endif

constexpr int k_Piece = 1 << 30; // the most one pipe call moves

// What the error and warning handlers quote: the direction and the file name.
struct PngContext {
    const char* m_Prefix;
    const char* m_Name;
};

void LogLine(Stream& line, const PngContext& context, const char* message) {
    line << context.m_Prefix << message << " (\"" << context.m_Name << "\")";
    line.pLF();
    Xerr.pUnlockMessage();
}

void OnError(png_structp png, png_const_charp message) {
    LogLine(Xerr.pLockError(), *static_cast<const PngContext*>(png_get_error_ptr(png)), message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
    LogLine(Xerr.pLockWarn(), *static_cast<const PngContext*>(png_get_error_ptr(png)), message);
}

void ReadData(png_structp png, png_bytep data, size_t length) {
    auto* pipe = static_cast<StreamPipe*>(png_get_io_ptr(png));
    while (length > 0) {
        const int piece = static_cast<int>(std::min<size_t>(length, k_Piece));
        if (ReadFully(*pipe, data, piece) != piece)
            png_error(png, "Read Error");
        data += piece;
        length -= static_cast<size_t>(piece);
    }
}

void WriteData(png_structp png, png_bytep data, size_t length) {
    auto* pipe = static_cast<StreamPipe*>(png_get_io_ptr(png));
    if (WriteFully(*pipe, data, static_cast<int64_t>(length)) != static_cast<int64_t>(length))
        png_error(png, "Write Error");
}

void FlushData(png_structp png) {
    static_cast<StreamPipe*>(png_get_io_ptr(png))->Flush();
}

bool ReadHeader(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    return true;
}

// The transforms: 16-bit samples to 8, sub-byte samples unpacked, palettes and low-bit gray
// expanded, tRNS to alpha, interlaced passes combined. libpng allocates its row buffers here.
bool SetTransforms(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_expand(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    return true;
}

bool WriteRows(png_structp png, png_infop info, png_uint_32 width, png_uint_32 height,
               int colorType, int level, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (level >= 1 && level <= 9)
        png_set_compression_level(png, level);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

int ChannelsOf(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
        return 1;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 0;
    }
}

void LogError(const char* text) {
    Stream& line = Xerr.pLockError();
    line << text;
    line.pLF();
    Xerr.pUnlockMessage();
}

// Decodes into `image` (cleared by the caller); false leaves a partly filled image.
bool Decode(Image& image, png_structp png, png_infop info, const char* name) {
    if (!ReadHeader(png, info))
        return false;
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    // Refused before libpng sizes its row buffers and before the image is allocated.
    if (width > k_MaxSize || height > k_MaxSize) {
        Stream& line = Xerr.pLockError();
        line << "ImportFilePNG: image too large (" << unsigned(width) << " x " << unsigned(height)
             << ") in \"" << name << "\".";
        line.pLF();
        Xerr.pUnlockMessage();
        return false;
    }
    if (!SetTransforms(png, info))
        return false;
    // The colour type as the transforms leave it: a palette has become RGB or RGBA by now.
    const int channels = ChannelsOf(png_get_color_type(png, info));
    if (channels == 0 || png_get_bit_depth(png, info) != 8) {
        LogError("ImportFilePNG: unsupported color format.");
        return false;
    }
    if (!image.Allocate(channels, static_cast<int>(width), static_cast<int>(height), 0))
        return false;
    // libpng writes its rows straight into ours, the first file row into the last storage row.
    // A row of libpng's that is shorter than ours leaves the rest of it zero; one that is longer
    // (no supported format has one) would overrun it and is refused.
    const size_t stride = size_t(width) * size_t(channels);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes > stride) {
        LogError("ImportFilePNG: unsupported color format.");
        return false;
    }
    unsigned char* data = image.GetData();
    if (rowBytes < stride && data != nullptr)
        std::memset(data, 0, stride * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = data + size_t(height - 1 - y) * stride;
    return ReadRows(png, rows.data());
}

} // namespace

namespace Internal {

EResult ReadPng(Image& image, StreamPipe& pipe, const char* name) {
    PngContext context{"ImportFilePNG: ", name};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &context, OnError, OnWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info != nullptr) {
        png_set_read_fn(png, &pipe, ReadData);
        ok = Decode(image, png, info, name);
    }
    png_destroy_read_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr,
                            nullptr);
    if (ok)
        return SOK;
    image.Clear();
    return EFail;
}

// `option` 1 to 9 is the compression level; anything else leaves libpng's default.
EResult WritePng(const Image& image, StreamPipe& pipe, const char* name, int option) {
    static constexpr int k_ColorTypes[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                           PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
    const int channels = image.GetBytesPerPixel();
    if (channels < 1 || channels > 4) {
        LogError("ExportFilePNG: unsupported color format.");
        return EFail;
    }
    const int width = image.GetWidth();
    const int height = image.GetHeight();
    const size_t stride = size_t(width) * size_t(channels);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[size_t(y)] = image.GetData() + size_t(height - 1 - y) * stride;

    PngContext context{"ExportFilePNG: ", name};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &context, OnError, OnWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info != nullptr) {
        png_set_write_fn(png, &pipe, WriteData, FlushData);
        ok = WriteRows(png, info, png_uint_32(width), png_uint_32(height),
                       k_ColorTypes[channels - 1], option, rows.data());
    }
    png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
    return ok ? SOK : EFail;
}

} // namespace Internal
} // namespace Quorlix
