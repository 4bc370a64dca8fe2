// Power-of-two reduction of images and the mipmap chains built from it.

#include "quorlix/image/Image.h"
#include "quorlix/image/internal/ImageD.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cstddef>
#include <cstdint>

namespace Quorlix {

namespace {

// True for 0 and for powers of two; in 64 bits so that 2^30 and above do not wrap.
bool PowerOfTwo(int v) {
    const uint64_t u = static_cast<uint32_t>(v);
    return (((u - 1) | u) + 1) == 2 * u;
}

// The size of the level below a width x height one.
void NextLevel(int width, int height, int& nextWidth, int& nextHeight) {
    nextWidth = width > 1 ? width / 2 : width;
    nextHeight = height > 1 ? height / 2 : height;
}

// One destination row from the two source pixels a, b of each destination pixel (pairs side
// by side or one above the other).
template <int N>
void AveragePairs(unsigned char* out, const unsigned char* a, const unsigned char* b,
                  ptrdiff_t sourceStep, int width) {
    for (int x = 0; x < width; ++x, out += N, a += sourceStep, b += sourceStep)
        for (int c = 0; c < N; ++c)
            out[c] = static_cast<unsigned char>((a[c] + b[c]) >> 1);
}

// One destination row from 2 x 2 blocks: p, q the left pixels of the two source rows.
template <int N>
void AverageBlocks(unsigned char* out, const unsigned char* p, const unsigned char* q, int width,
                   bool weightByAlpha) {
    for (int x = 0; x < width; ++x, out += N, p += 2 * N, q += 2 * N) {
        if constexpr (N == 2 || N == 4) {
            if (weightByAlpha) {
                constexpr int alpha = N - 1;
                unsigned w0 = p[alpha], w1 = p[N + alpha], w2 = q[alpha], w3 = q[N + alpha];
                out[alpha] = static_cast<unsigned char>((w0 + w1 + w2 + w3) >> 2);
                unsigned sum = w0 + w1 + w2 + w3;
                // Fully transparent blocks keep their plain average colour.
                if (sum == 0) {
                    w0 = w1 = w2 = w3 = 255;
                    sum = 1020;
                }
                for (int c = 0; c < alpha; ++c)
                    out[c] = static_cast<unsigned char>(
                        (p[c] * w0 + p[N + c] * w1 + q[c] * w2 + q[N + c] * w3) / sum);
                continue;
            }
        }
        for (int c = 0; c < N; ++c)
            out[c] = static_cast<unsigned char>((p[c] + p[N + c] + q[c] + q[N + c]) >> 2);
    }
}

template <int N>
void Reduce(unsigned char* out, int width, int height, const unsigned char* in, int sourceWidth,
            int sourceHeight, bool weightByAlpha) {
    const ptrdiff_t sourceRow = ptrdiff_t(sourceWidth) * N, row = ptrdiff_t(width) * N;
    const bool halfX = sourceWidth != width, halfY = sourceHeight != height;
    for (int y = 0; y < height; ++y, out += row) {
        const unsigned char* lower = in + (halfY ? 2 * y : y) * sourceRow;
        if (halfX && halfY)
            AverageBlocks<N>(out, lower, lower + sourceRow, width, weightByAlpha);
        else if (halfX)
            AveragePairs<N>(out, lower, lower + N, 2 * N, width);
        else
            AveragePairs<N>(out, lower, lower + sourceRow, N, width);
    }
}

} // namespace

void Image_D::Reformat(const Image* source, int mode) {
    if (source == nullptr || m_Width == 0 || m_Height == 0 || m_BytesPerPixel == 0 ||
        m_BytesPerPixel != source->GetBytesPerPixel())
        return;
    const int sw = source->GetWidth(), sh = source->GetHeight();
    const bool twiceWide = int64_t(sw) == 2 * int64_t(m_Width);
    const bool twiceHigh = int64_t(sh) == 2 * int64_t(m_Height);
    if (!(twiceWide && twiceHigh) && !(twiceWide && sh == m_Height) &&
        !(sw == m_Width && twiceHigh)) {
        Internal::LogScriptError("Image::Reformat: only power of two scaling supported yet.");
        return;
    }
    const unsigned char* in = source->GetData();
    const bool weight = (mode & 1) != 0;
    switch (m_BytesPerPixel) {
    case 1:
        Quorlix::Reduce<1>(m_Data, m_Width, m_Height, in, sw, sh, weight);
        break;
    case 2:
        Quorlix::Reduce<2>(m_Data, m_Width, m_Height, in, sw, sh, weight);
        break;
    case 3:
        Quorlix::Reduce<3>(m_Data, m_Width, m_Height, in, sw, sh, weight);
        break;
    default:
        Quorlix::Reduce<4>(m_Data, m_Width, m_Height, in, sw, sh, weight);
        break;
    }
}

void Image_D::MipMap(int mode) {
    // A loop rather than recursion: each level builds the next one from itself.
    for (Image* level = this;;) {
        const int width = level->GetWidth(), height = level->GetHeight();
        if (width <= 1 && height < 2)
            return;
        if (!PowerOfTwo(width) || !PowerOfTwo(height)) {
            Internal::LogScript(&LogStream::pLockNote,
                                "Image::MipMap: only power of two mipmap supported.");
            return;
        }
        int nextWidth, nextHeight;
        NextLevel(width, height, nextWidth, nextHeight);
        Image_D& self = static_cast<Image_D&>(*level);
        if (self.m_MipMap == nullptr)
            self.m_MipMap = Image::Create();
        Image* next = self.m_MipMap.Get();
        if (next->GetWidth() != nextWidth || next->GetHeight() != nextHeight ||
            next->GetBytesPerPixel() != self.m_BytesPerPixel)
            next->Allocate(self.m_BytesPerPixel, nextWidth, nextHeight, 0);
        next->Reformat(level, mode);
        level = next;
    }
}

void Image::AllocateMipMap() {
    for (Image* level = this;;) {
        const int width = level->m_Width, height = level->m_Height;
        if (width <= 1 && height < 2)
            return;
        if (!PowerOfTwo(width) || !PowerOfTwo(height)) {
            Internal::LogScript(&LogStream::pLockNote,
                                "Image::AllocateMipMap: only power of two mipmap supported.");
            return;
        }
        int nextWidth, nextHeight;
        NextLevel(width, height, nextWidth, nextHeight);
        if (level->m_MipMap == nullptr)
            level->m_MipMap = Image::Create();
        Image* next = level->m_MipMap.Get();
        if (next->m_Width != nextWidth || next->m_Height != nextHeight ||
            next->m_BytesPerPixel != level->m_BytesPerPixel)
            next->Allocate(level->m_BytesPerPixel, nextWidth, nextHeight, 0);
        level = next;
    }
}

} // namespace Quorlix
