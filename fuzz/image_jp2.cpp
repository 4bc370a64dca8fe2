// JPEG 2000 reader fuzzer: the input is a JP2 file or a raw codestream. Reading must answer SOK
// with a consistent image or EFail with an empty one, never read outside a component or
// allocate beyond what the size refusal allows.

#include "quorlix/core/Obj.h"
#include "quorlix/image/Image.h"
#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Quorlix;

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "image_jp2: line %d: %s\n", __LINE__, #c), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create(data, static_cast<int>(size));
    Obj<Image> image = Image::Create();
    const EResult result = Internal::ReadJp2(*image, *pipe, "fuzz");
    if (result != SOK) {
        EXPECT(result == EFail);
        EXPECT(image->GetBytesPerPixel() == 0 && image->GetWidth() == 0 &&
               image->GetHeight() == 0 && image->GetData() == nullptr);
        return 0;
    }
    EXPECT(image->GetBytesPerPixel() >= 1 && image->GetBytesPerPixel() <= 4);
    EXPECT(image->GetWidth() >= 1 && image->GetWidth() <= Image::k_MaxImportSize);
    EXPECT(image->GetHeight() >= 1 && image->GetHeight() <= Image::k_MaxImportSize);
    EXPECT(image->GetData() != nullptr);
    // Every byte was written: reading them all is what the sanitizers check.
    unsigned sum = 0;
    const size_t bytes =
        size_t(image->GetBytesPerPixel()) * size_t(image->GetWidth()) * size_t(image->GetHeight());
    for (size_t i = 0; i < bytes; ++i)
        sum += image->GetData()[i];
    EXPECT(sum <= bytes * 255);
    return 0;
}
