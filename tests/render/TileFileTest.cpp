// The ".txf" tile list of tile textures: what it accepts, every malformed line it refuses with
// its line number, and the texture coordinates made from it.

#include "quorlix/render/internal/TileFile.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Quorlix;
using namespace Quorlix::Internal;
using namespace QuorlixTest;

namespace {

std::vector<std::vector<int>> Read(const std::string& text, bool expected = true) {
    Array<TileRect> tiles;
    tiles.Add({9, 9, 9, 9}); // replaced, whatever the outcome
    EXPECT_EQ(ReadTileFile(text.data(), text.size(), String("a.txf").Ref(), tiles), expected)
        << text;
    std::vector<std::vector<int>> out;
    for (const TileRect& t : tiles)
        out.push_back({t.m_X, t.m_Y, t.m_Width, t.m_Height});
    return out;
}

using Tiles = std::vector<std::vector<int>>;

TEST(TileFile, ReadsTilesBetweenCommentsAndBlankLines) {
    EXPECT_EQ(Read("0 0 64 32\n64 0 64 32\n"), (Tiles{{0, 0, 64, 32}, {64, 0, 64, 32}}));
    EXPECT_EQ(Read("# atlas\n\n  1\t2 3 4   # first\r\n\r\n#\n5 6 7 8"),
              (Tiles{{1, 2, 3, 4}, {5, 6, 7, 8}}));
    EXPECT_EQ(Read("16384 0 16384 0\n"), (Tiles{{16384, 0, 16384, 0}}));
    EXPECT_EQ(Read(""), Tiles{});
    EXPECT_EQ(Read("\n\n# only comments\n"), Tiles{});
    Array<TileRect> tiles;
    EXPECT_TRUE(ReadTileFile(nullptr, 5, String("x").Ref(), tiles));
    EXPECT_TRUE(tiles.IsEmpty());
}

TEST(TileFile, RefusesEachMalformedLineByNumber) {
    const std::pair<std::string, int> cases[] = {
        {"1 2 3\n", 1},             // too few
        {"1 2 3 4 5\n", 1},         // too many
        {"0 0 1 1\n1 2 3 -4\n", 2}, // negative
        {"1 2 3 +4\n", 1},
        {"1 2 3 4.5\n", 1}, // fraction
        {"1 2 3 nan\n", 1},
        {"1 2 3 1e3\n", 1},
        {"\n\n1 2 3 16385\n", 3}, // beyond the largest image
        {"1 2 3 99999999999999999999\n", 1},
        {"1 2 3 4x\n", 1},
        {"1,2,3,4\n", 1},
        {std::string("1 2\0 3 4\n", 9), 1},
    };
    for (const auto& [text, line] : cases) {
        LogCapture capture;
        EXPECT_EQ(Read(text, false), Tiles{});
        EXPECT_EQ(capture.Messages(),
                  std::vector<std::string>{"[Error]Invalid file format in \"a.txf\" line " +
                                           std::to_string(line)})
            << text;
    }
}

TEST(TileFile, TexCoordsSpanEachTileInTheImage) {
    Array<TileRect> tiles;
    tiles.Add({0, 0, 64, 32});
    tiles.Add({64, 32, 192, 96});
    Array<Vector2f> coords;
    coords.Add(Vector2f(7, 7));
    TileTexCoords(tiles, 256, 128, coords);
    ASSERT_EQ(coords.Size(), 4);
    EXPECT_EQ(coords[0], Vector2f(0, 0));
    EXPECT_EQ(coords[1], Vector2f(0.25f, 0.25f));
    EXPECT_EQ(coords[2], Vector2f(0.25f, 0.25f));
    EXPECT_EQ(coords[3], Vector2f(1, 1));
    // An empty image counts as one pixel: no division by zero.
    TileTexCoords(tiles, 0, -5, coords);
    EXPECT_EQ(coords[3], Vector2f(256, 128));
}

} // namespace
