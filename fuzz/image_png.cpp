// PNG reader fuzzer: the input is a whole PNG file. Reading must answer SOK with a consistent
// image or EFail with an empty one; an image read back through the writer and the reader again
// must come out byte for byte the same.

#include "quorlix/core/Obj.h"
#include "quorlix/image/Image.h"
#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Quorlix;

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "image_png: line %d: %s\n", __LINE__, #c), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create(data, static_cast<int>(size));
    Obj<Image> image = Image::Create();
    const EResult result = Internal::ReadPng(*image, *pipe, "fuzz");
    if (result != SOK) {
        EXPECT(result == EFail);
        EXPECT(image->GetBytesPerPixel() == 0 && image->GetWidth() == 0 &&
               image->GetHeight() == 0 && image->GetData() == nullptr);
        return 0;
    }
    const int channels = image->GetBytesPerPixel();
    EXPECT(channels >= 1 && channels <= 4);
    EXPECT(image->GetWidth() >= 1 && image->GetWidth() <= Image::k_MaxImportSize);
    EXPECT(image->GetHeight() >= 1 && image->GetHeight() <= Image::k_MaxImportSize);
    EXPECT(image->GetData() != nullptr);

    Obj<StreamPipeMemory> written = StreamPipeMemory::Create();
    EXPECT(Internal::WritePng(*image, *written, "fuzz", 1) == SOK);
    written->Seek(0, SeekBegin);
    Obj<Image> back = Image::Create();
    EXPECT(Internal::ReadPng(*back, *written, "fuzz") == SOK);
    EXPECT(back->GetBytesPerPixel() == channels && back->GetWidth() == image->GetWidth() &&
           back->GetHeight() == image->GetHeight());
    const size_t bytes = size_t(channels) * size_t(image->GetWidth()) * size_t(image->GetHeight());
    EXPECT(std::memcmp(back->GetData(), image->GetData(), bytes) == 0);
    return 0;
}
