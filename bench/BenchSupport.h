#pragma once
// Pieces the benchmarks share: a picture that compresses like a photograph's texture, and the
// GL entry points a hand-written baseline loop calls.

#include "quorlix/image/Image.h"
#include "quorlix/platform/Window.h"

#include <cstdint>
#include <type_traits>

namespace QuorlixBench {

/// A `size` x `size` RGBA picture of smooth gradients with a little noise.
inline Quorlix::Obj<Quorlix::Image> MakePicture(int size) {
    Quorlix::Obj<Quorlix::Image> image = Quorlix::Image::Create();
    image->Allocate(4, size, size, 0);
    unsigned char* p = image->GetData();
    uint32_t noise = 12345;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x, p += 4) {
            noise = noise * 1103515245u + 12345u;
            const int n = int(noise >> 29);
            p[0] = static_cast<unsigned char>(x / 8 + n);
            p[1] = static_cast<unsigned char>(y / 8 + n);
            p[2] = static_cast<unsigned char>(((x ^ y) >> 3) + n);
            p[3] = static_cast<unsigned char>(255 - ((x * y) >> 15));
        }
    }
    return image;
}

/// Sets `pointer` to the GL entry point `name` of the system's GL library (null when missing).
template <class F>
void FindGL(F& pointer, const char* name) {
    static Quorlix::Platform::GLLibrary* const library =
        Quorlix::Platform::OpenGLLibrary("libGL.so.1");
    pointer = reinterpret_cast<F>(Quorlix::Platform::FindGLLibrarySymbol(library, name));
}

} // namespace QuorlixBench
