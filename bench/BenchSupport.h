#pragma once
// Pieces the benchmarks share: a picture that compresses like a photograph's texture, and the
// GL entry points a hand-written baseline loop calls.

#include "quorlix/image/Image.h"
#include "quorlix/platform/Window.h"
#include "quorlix/scene/PolygonGeometry.h"
#include "quorlix/scene/VertexData.h"

#include <cstdint>
#include <type_traits>
#include <utility>

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

/// A box of 24 vertices (a normal per face) and 36 indices, size 1 around the origin; with
/// `texCoords` also a VertexDataVector2f pass of 0..1 per face.
inline void MakeBox(Quorlix::SPolygonGeometry& box, bool texCoords) {
    using namespace Quorlix;
    static const float k_Faces[6][2][3] = {{{1, 0, 0}, {0, 1, 0}}, {{-1, 0, 0}, {0, 1, 0}},
                                           {{0, 1, 0}, {0, 0, 1}}, {{0, -1, 0}, {0, 0, 1}},
                                           {{0, 0, 1}, {1, 0, 0}}, {{0, 0, -1}, {1, 0, 0}}};
    Array<Vector3f> vertices, normals;
    Array<int32_t> indices;
    Obj<VertexDataVector2f> coords(VertexDataVector2f::Create());
    for (const auto& face : k_Faces) {
        const Vector3f n(face[0][0], face[0][1], face[0][2]);
        const Vector3f u(face[1][0], face[1][1], face[1][2]);
        // v = n x u, so that u x v = n: the face winds counter-clockwise from outside.
        const Vector3f v(n.GetY() * u.GetZ() - n.GetZ() * u.GetY(),
                         n.GetZ() * u.GetX() - n.GetX() * u.GetZ(),
                         n.GetX() * u.GetY() - n.GetY() * u.GetX());
        const int base = vertices.Size();
        for (const auto& [a, b] : {std::pair{-1, -1}, {1, -1}, {1, 1}, {-1, 1}}) {
            vertices.Add((n + u * static_cast<float>(a) + v * static_cast<float>(b)) * 0.5f);
            normals.Add(n);
            coords->m_DataArray.Add(Vector2f(a > 0 ? 1.0f : 0.0f, b > 0 ? 1.0f : 0.0f));
        }
        for (int i : {0, 1, 2, 0, 2, 3})
            indices.Add(base + i);
    }
    box.SetVertexArray(vertices);
    box.m_NormalArray = normals;
    box.SetIndexArray(indices);
    box.SetPrimCount(12);
    if (texCoords)
        box.m_VertexData.Add(Obj<ScriptObject>(coords.Get()));
}

/// Sets `pointer` to the GL entry point `name` of the system's GL library (null when missing).
template <class F>
void FindGL(F& pointer, const char* name) {
    static Quorlix::Platform::GLLibrary* const library =
        Quorlix::Platform::OpenGLLibrary("libGL.so.1");
    pointer = reinterpret_cast<F>(Quorlix::Platform::FindGLLibrarySymbol(library, name));
}

} // namespace QuorlixBench
