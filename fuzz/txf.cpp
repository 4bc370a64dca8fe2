// Tile list (".txf") fuzzer: whatever the input, the reader answers without crashing, keeps
// every value within bounds, holds no more tiles than the input has lines, and a list it accepts
// reads back the same when written out again.

#include "quorlix/render/internal/TileFile.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace Quorlix;
using namespace Quorlix::Internal;

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "txf: line %d: %s\n", __LINE__, #c), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20))
        return 0;
    const char* text = reinterpret_cast<const char*>(data);
    const String name("fuzz.txf");
    Array<TileRect> tiles;
    if (!ReadTileFile(text, size, name.Ref(), tiles)) {
        EXPECT(tiles.IsEmpty());
        return 0;
    }
    size_t lines = 1;
    for (size_t i = 0; i < size; ++i)
        lines += text[i] == '\n';
    EXPECT(size_t(tiles.Size()) <= lines);

    std::string again;
    for (const TileRect& t : tiles) {
        for (const int v : {t.m_X, t.m_Y, t.m_Width, t.m_Height})
            EXPECT(v >= 0 && v <= k_MaxTileValue);
        again += std::to_string(t.m_X) + " " + std::to_string(t.m_Y) + " " +
                 std::to_string(t.m_Width) + " " + std::to_string(t.m_Height) + "\n";
    }
    Array<TileRect> reread;
    EXPECT(ReadTileFile(again.data(), again.size(), name.Ref(), reread));
    EXPECT(reread.Size() == tiles.Size());
    for (int i = 0; i < tiles.Size(); ++i)
        EXPECT(reread[i].m_X == tiles[i].m_X && reread[i].m_Y == tiles[i].m_Y &&
               reread[i].m_Width == tiles[i].m_Width && reread[i].m_Height == tiles[i].m_Height);

    Array<Vector2f> coords;
    TileTexCoords(tiles, 1 + int(size % 300), int(size % 3), coords);
    EXPECT(coords.Size() == 2 * tiles.Size());
    for (const Vector2f& c : coords)
        EXPECT(std::isfinite(c[0]) && std::isfinite(c[1]));
    return 0;
}
