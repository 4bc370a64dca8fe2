// BMG reader fuzzer: the input is a whole BMG file read through ImportStream. It must answer
// with a result and never crash, read out of bounds or allocate more than the header allows; an
// image that loads must write back and load again to the same pixels and levels.

#include "quorlix/core/Obj.h"
#include "quorlix/image/Image.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Quorlix;

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "image_bmg: line %d: %s\n", __LINE__, #c), std::abort()))

namespace {

size_t LevelBytes(const Image& level) {
    return size_t(level.GetWidth()) * size_t(level.GetHeight()) * size_t(level.GetBytesPerPixel());
}

bool SameLevels(const Image* a, const Image* b) {
    for (; a != nullptr && b != nullptr; a = a->GetMipMap(), b = b->GetMipMap()) {
        if (a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight() ||
            a->GetBytesPerPixel() != b->GetBytesPerPixel())
            return false;
        if (LevelBytes(*a) > 0 && std::memcmp(a->GetData(), b->GetData(), LevelBytes(*a)) != 0)
            return false;
    }
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (64u << 20))
        return 0;
    Obj<StreamPipeMemory> pipe(StreamPipeMemory::Create(data, static_cast<int>(size)));
    Obj<Image> image(Image::Create());
    const EResult result = image->ImportStream("x.bmg", pipe.Get());
    EXPECT(result == SOK || result == EFail || result == ENotFound);
    if (result != SOK) {
        EXPECT(image->GetData() == nullptr && image->GetMipMap() == nullptr);
        EXPECT(image->GetWidth() == 0 && image->GetHeight() == 0);
        return 0;
    }
    EXPECT(image->GetWidth() <= 8192 && image->GetHeight() <= 8192);
    EXPECT(image->GetBytesPerPixel() >= 0 && image->GetBytesPerPixel() <= 4);
    // Everything read came from the input.
    size_t total = 16;
    for (const Image* level = image.Get(); level != nullptr; level = level->GetMipMap())
        total += LevelBytes(*level);
    EXPECT(total <= size);

    Obj<StreamPipeMemory> out(StreamPipeMemory::Create());
    EXPECT(image->ExportStream("y.bmg", out.Get(), 0) == SOK);
    EXPECT(static_cast<size_t>(out->GetSize()) == total);
    EXPECT(std::memcmp(out->GetData() + 8, data + 8, 8) == 0);
    out->Seek(0, SeekBegin);
    Obj<Image> again(Image::Create());
    EXPECT(again->ImportStream("y.bmg", out.Get()) == SOK);
    EXPECT(SameLevels(image.Get(), again.Get()));
    return 0;
}
