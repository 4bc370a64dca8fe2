#include "quorlix/image/Image.h"

#include "quorlix/core/Memory.h"
#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/image/internal/ImageD.h"
#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipe.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Quorlix {

Image* Image::Create() {
    return NewObject<Image_D>();
}

const TypeInfo* Image::GetImageTypeInfo() noexcept {
    return &TypeOf<Image_D>();
}

Image::~Image() {
    Clear();
}

void Image::Clear() {
    m_Width = m_Height = m_BytesPerPixel = 0;
    if (m_Data != nullptr) {
        BlockRelease(m_Data);
        m_Data = nullptr;
    }
    m_MipMap = nullptr;
}

Image_D::~Image_D() = default;

namespace {

// Offset of pixel (x, y); 64-bit so that no product of ints can overflow.
inline size_t PixelOffset(int x, int y, int width, int bytesPerPixel) {
    return static_cast<size_t>((int64_t(y) * width + x) * bytesPerPixel);
}

inline unsigned Luminance(unsigned r, unsigned g, unsigned b) {
    return (r * 30 + g * 59 + b * 11) / 100;
}

inline uint32_t Pack(unsigned r, unsigned g, unsigned b, unsigned a) {
    return r | g << 8 | b << 16 | a << 24;
}

// The channels of one pixel expanded to R, G, B, A.
inline void Expand(const unsigned char* p, int bytesPerPixel, unsigned char* rgba) {
    switch (bytesPerPixel) {
    case 1:
        rgba[0] = rgba[1] = rgba[2] = p[0];
        rgba[3] = 255;
        break;
    case 2:
        rgba[0] = rgba[1] = rgba[2] = p[0];
        rgba[3] = p[1];
        break;
    case 3:
        rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2];
        rgba[3] = 255;
        break;
    case 4:
        rgba[0] = p[0], rgba[1] = p[1], rgba[2] = p[2], rgba[3] = p[3];
        break;
    default:
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 255;
        break;
    }
}

// R, G, B, A reduced to the channels of one pixel.
inline void Reduce(const unsigned char* rgba, int bytesPerPixel, unsigned char* p) {
    switch (bytesPerPixel) {
    case 1:
        p[0] = static_cast<unsigned char>(Luminance(rgba[0], rgba[1], rgba[2]));
        break;
    case 2:
        p[0] = static_cast<unsigned char>(Luminance(rgba[0], rgba[1], rgba[2]));
        p[1] = rgba[3];
        break;
    case 3:
        p[0] = rgba[0], p[1] = rgba[1], p[2] = rgba[2];
        break;
    case 4:
        p[0] = rgba[0], p[1] = rgba[1], p[2] = rgba[2], p[3] = rgba[3];
        break;
    default:
        break;
    }
}

// Whether count pixels from (x, y) stepping (dx, dy) stay inside a width x height image. The
// sums are formed in 64 bits, where no int operand can make them wrap, and then compared as
// unsigned, so a negative coordinate fails as a huge one.
bool SpanInside(int x, int y, int dx, int dy, int count, int width, int height, int bytesPerPixel) {
    const int64_t steps = int64_t(count) - 1;
    const uint64_t lastX = static_cast<uint64_t>(int64_t(x) + steps * dx);
    const uint64_t lastY = static_cast<uint64_t>(int64_t(y) + steps * dy);
    const uint64_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height);
    return static_cast<uint64_t>(static_cast<uint32_t>(x)) < w &&
           static_cast<uint64_t>(static_cast<uint32_t>(y)) < h && x >= 0 && y >= 0 && lastX < w &&
           lastY < h && bytesPerPixel >= 1 && bytesPerPixel <= 4;
}

// SetPixel over [x0, x1) x [y0, y1) cut to the image; the edges are 64-bit so that no int
// position plus an int extent can wrap.
void FillBox(Image_D& image, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t color) {
    x0 = std::max<int64_t>(x0, 0);
    y0 = std::max<int64_t>(y0, 0);
    x1 = std::min<int64_t>(x1, image.GetWidth());
    y1 = std::min<int64_t>(y1, image.GetHeight());
    for (int64_t row = y0; row < y1; ++row)
        for (int64_t column = x0; column < x1; ++column)
            image.SetPixel(static_cast<int>(column), static_cast<int>(row), color);
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the extension of `name`, from its last '.', is `extension` (given in lower case),
// letter case ignored.
bool HasExtension(const char* name, const char* extension) {
    const char* dot = name != nullptr ? std::strrchr(name, '.') : nullptr;
    if (dot == nullptr)
        return false;
    for (; *dot != 0 && *extension != 0; ++dot, ++extension)
        if (LowerAscii(*dot) != *extension)
            return false;
    return *dot == 0 && *extension == 0;
}

// A pipe with no readable byte counts as a file that did not open.
bool Opened(StreamPipe* pipe) {
    return pipe != nullptr && pipe->Peek() >= 0;
}

void LogSpanLimits() {
    Internal::LogScriptError("GetSpanR8G8B8A8: exceeding limits.");
}

} // namespace

bool Image_D::Allocate(int bytesPerPixel, int width, int height, uint32_t format) {
    Clear();
    const uint64_t bytes =
        uint64_t(uint32_t(bytesPerPixel)) * uint64_t(uint32_t(width)) * uint64_t(uint32_t(height));
    if (bytesPerPixel < 0 || bytesPerPixel > 4 || width < 0 || height < 0 || bytes > 0x7FFFFFFFu) {
        Internal::LogScriptError("Image::Allocate: refused ", width, " x ", height, " x ",
                                 bytesPerPixel, " bytes per pixel.");
        return false;
    }
    m_BytesPerPixel = bytesPerPixel;
    m_Width = width;
    m_Height = height;
    m_Format = format;
    // The bytes are raw storage with no elements to destroy: a count of 0 keeps the release
    // from walking up to 2^31 trivial destructor calls in builds that do not optimise them out.
    if (bytes > 0)
        m_Data = static_cast<unsigned char*>(
            Memory::UninitializedNewArrayRef1(int(bytes), 0, TypeOf<unsigned char>()));
    return true;
}

uint32_t Image_D::GetPixel(int x, int y) const {
    if (m_BytesPerPixel < 1 || m_BytesPerPixel > 4)
        return 0xFFFFFFFFu;
    unsigned char rgba[4];
    Expand(m_Data + PixelOffset(x, y, m_Width, m_BytesPerPixel), m_BytesPerPixel, rgba);
    return Pack(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void Image_D::SetPixel(int x, int y, uint32_t color) {
    if (m_BytesPerPixel < 1 || m_BytesPerPixel > 4)
        return;
    const unsigned char rgba[4] = {
        static_cast<unsigned char>(color), static_cast<unsigned char>(color >> 8),
        static_cast<unsigned char>(color >> 16), static_cast<unsigned char>(color >> 24)};
    Reduce(rgba, m_BytesPerPixel, m_Data + PixelOffset(x, y, m_Width, m_BytesPerPixel));
}

int Image_D::GetLuminance(int x, int y) const {
    if (m_BytesPerPixel < 1 || m_BytesPerPixel > 4)
        return 255;
    const unsigned char* p = m_Data + PixelOffset(x, y, m_Width, m_BytesPerPixel);
    return m_BytesPerPixel <= 2 ? p[0] : static_cast<int>(Luminance(p[0], p[1], p[2]));
}

void Image_D::SetLuminance(int x, int y, int value) {
    if (m_BytesPerPixel < 1 || m_BytesPerPixel > 4)
        return;
    unsigned char* p = m_Data + PixelOffset(x, y, m_Width, m_BytesPerPixel);
    const auto v = static_cast<unsigned char>(value);
    switch (m_BytesPerPixel) {
    case 1:
        p[0] = v;
        break;
    case 2:
        p[0] = v, p[1] = 255;
        break;
    case 3:
        p[0] = p[1] = p[2] = v;
        break;
    default:
        p[0] = p[1] = p[2] = v, p[3] = 255;
        break;
    }
}

void Image_D::GetSpanR8G8B8A8(int x, int y, int dx, int dy, int count, unsigned char* out) const {
    if (count == 0)
        return;
    if (count < 0 || !SpanInside(x, y, dx, dy, count, m_Width, m_Height, m_BytesPerPixel)) {
        LogSpanLimits();
        return;
    }
    const int64_t step = (int64_t(dy) * m_Width + dx) * m_BytesPerPixel;
    const unsigned char* p = m_Data + PixelOffset(x, y, m_Width, m_BytesPerPixel);
    for (int i = 0; i < count; ++i, p += step, out += 4)
        Expand(p, m_BytesPerPixel, out);
}

void Image_D::SetSpanR8G8B8A8(int x, int y, int dx, int dy, int count, const unsigned char* in) {
    if (count == 0)
        return;
    if (count < 0 || !SpanInside(x, y, dx, dy, count, m_Width, m_Height, m_BytesPerPixel)) {
        LogSpanLimits();
        return;
    }
    const int64_t step = (int64_t(dy) * m_Width + dx) * m_BytesPerPixel;
    unsigned char* p = m_Data + PixelOffset(x, y, m_Width, m_BytesPerPixel);
    for (int i = 0; i < count; ++i, p += step, in += 4)
        Reduce(in, m_BytesPerPixel, p);
}

void Image_D::FillRect(int x, int y, int w, int h, uint32_t color) {
    FillBox(*this, x, y, int64_t(x) + w, int64_t(y) + h, color);
}

void Image_D::FillChecker(int x, int y, int w, int h, int cellWidth, int cellHeight, uint32_t a,
                          uint32_t b) {
    if (cellWidth < 1 || cellHeight < 1)
        return;
    // The walk visits only the steps that meet both the area and the image, so it ends after at
    // most one step per pair of cells of the image whatever the arguments are. Cells are cut to
    // the area as well as to the image.
    const int64_t stepX = 2 * int64_t(cellWidth), stepY = 2 * int64_t(cellHeight);
    const int64_t right = int64_t(x) + w, top = int64_t(y) + h;
    const int64_t endX = std::min<int64_t>(right, m_Width);
    const int64_t endY = std::min<int64_t>(top, m_Height);
    const int64_t firstX = x < 0 ? x + (-int64_t(x) / stepX) * stepX : x;
    const int64_t firstY = y < 0 ? y + (-int64_t(y) / stepY) * stepY : y;
    const auto cell = [&](int64_t cx, int64_t cy, uint32_t color) {
        FillBox(*this, cx, cy, std::min(cx + cellWidth, right), std::min(cy + cellHeight, top),
                color);
    };
    for (int64_t y0 = firstY; y0 < endY; y0 += stepY)
        for (int64_t x0 = firstX; x0 < endX; x0 += stepX) {
            cell(x0, y0, a);
            cell(x0 + cellWidth, y0, b);
            cell(x0, y0 + cellHeight, b);
            cell(x0 + cellWidth, y0 + cellHeight, a);
        }
}

EResult Image_D::ImportStream(const char* name, StreamPipe* pipe) {
    Clear();
    const bool bmg = HasExtension(name, ".bmg"), png = HasExtension(name, ".png");
    const bool jp2 = HasExtension(name, ".jp2");
    if (!(bmg || png || jp2) || !Opened(pipe))
        return ENotFound;
    if (bmg)
        return Internal::ReadBmg(*this, *pipe, name);
    if (png)
        return Internal::ReadPng(*this, *pipe, name);
    return Internal::ReadJp2(*this, *pipe, name);
}

EResult Image_D::ImportFile(const char* basePath) {
    Clear();
    if (basePath == nullptr)
        return ENotFound;
    using Reader = EResult (*)(Image&, StreamPipe&, const char*);
    struct Candidate {
        const char* m_Extension;
        unsigned m_Mode;
        Reader m_Read;
    };
    // Only the last candidate may report that it is missing.
    static constexpr Candidate k_Candidates[] = {
        {".bmg", IORead | Storage::k_QuietNotFound, &Internal::ReadBmg},
        {".png", IORead | Storage::k_QuietNotFound, &Internal::ReadPng},
        {".jp2", IORead, &Internal::ReadJp2},
    };
    for (const Candidate& candidate : k_Candidates) {
        const String path = String(basePath, candidate.m_Extension);
        const Obj<StreamPipe> pipe(Storage::OpenStream(path, candidate.m_Mode));
        if (Opened(pipe.Get()))
            return candidate.m_Read(*this, *pipe, path.GetCPtr());
    }
    return ENotFound;
}

EResult Image_D::ExportStream(const char* name, StreamPipe* pipe, int option) {
    const bool bmg = HasExtension(name, ".bmg"), png = HasExtension(name, ".png");
    const bool tga = HasExtension(name, ".tga");
    if (!(bmg || png || tga))
        return ENotFound;
    if (pipe == nullptr)
        return EFail;
    if (bmg)
        return Internal::WriteBmg(*this, *pipe, name);
    if (png)
        return Internal::WritePng(*this, *pipe, name, option);
    return Internal::WriteTga(*this, *pipe, name);
}

EResult Image_D::ExportFile(const char* path, int option) {
    // Known before the file is opened, so that an existing file is never truncated for a form
    // that cannot be written.
    if (!HasExtension(path, ".bmg") && !HasExtension(path, ".png") && !HasExtension(path, ".tga"))
        return ENotFound;
    const Obj<StreamPipe> pipe(Storage::OpenStream(String(path), IOWrite | 12));
    const EResult result = ExportStream(path, pipe.Get(), option);
    if (pipe != nullptr)
        pipe->Flush();
    return result;
}

} // namespace Quorlix
