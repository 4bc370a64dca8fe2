#pragma once
// The tile list of a tile texture, read from its ".txf" text: one tile "x y w h" in pixels a
// line (decimal, no sign), '#' starts a comment that runs to the end of the line, blank lines
// are allowed, lines end with LF or CR LF.

#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "quorlix/math/Vector2f.h"

#include <cstddef>

namespace Quorlix::Internal {

struct TileRect {
    int m_X = 0;
    int m_Y = 0;
    int m_Width = 0;
    int m_Height = 0;
};

/// Largest coordinate or size a tile may give (the largest image there is).
constexpr int k_MaxTileValue = 16384;

/// Parses `size` bytes of `data` into `tiles` (cleared first). A line that is not four values
/// of at most k_MaxTileValue logs "Invalid file format in \"<fileName>\" line <n>" (n from 1)
/// and gives false with `tiles` empty. The list grows with the lines read, never ahead of them.
[[nodiscard]] bool ReadTileFile(const char* data, size_t size, const StringRef& fileName,
                                Array<TileRect>& tiles);

/// The texture coordinates of `tiles` in an image of width x height pixels: two per tile,
/// (x / width, y / height) and ((x + w) / width, (y + h) / height). Sizes below 1 count as 1.
void TileTexCoords(const Array<TileRect>& tiles, int width, int height, Array<Vector2f>& out);

} // namespace Quorlix::Internal
