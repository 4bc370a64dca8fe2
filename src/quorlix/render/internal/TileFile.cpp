#include "quorlix/render/internal/TileFile.h"

#include "quorlix/script/internal/ScriptLog.h"

#include <cstdint>

namespace Quorlix::Internal {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

// Reads the values of one line (comment already cut off) into `tile`.
bool ParseLine(const char* at, const char* end, TileRect& tile, bool& empty) {
    int values[4];
    int count = 0;
    while (true) {
        while (at < end && IsBlank(*at))
            ++at;
        if (at == end)
            break;
        if (*at < '0' || *at > '9' || count == 4)
            return false;
        int value = 0;
        for (; at < end && *at >= '0' && *at <= '9'; ++at) {
            value = value * 10 + (*at - '0');
            if (value > k_MaxTileValue)
                return false;
        }
        if (at < end && !IsBlank(*at))
            return false; // "1.5", "3x", "-" glued to a number
        values[count++] = value;
    }
    empty = count == 0;
    if (empty)
        return true;
    if (count != 4)
        return false;
    tile = {values[0], values[1], values[2], values[3]};
    return true;
}

} // namespace

bool ReadTileFile(const char* data, size_t size, const StringRef& fileName,
                  Array<TileRect>& tiles) {
    tiles.Clear();
    const char* at = data;
    const char* const end = data + (data != nullptr ? size : 0);
    for (int line = 1; at < end; ++line) {
        const char* lineEnd = at;
        while (lineEnd < end && *lineEnd != '\n')
            ++lineEnd;
        const char* valuesEnd = at;
        while (valuesEnd < lineEnd && *valuesEnd != '#')
            ++valuesEnd;
        TileRect tile;
        bool empty = false;
        if (!ParseLine(at, valuesEnd, tile, empty)) {
            LogScriptError("Invalid file format in \"", fileName, "\" line ", line);
            tiles.Clear();
            return false;
        }
        if (!empty)
            tiles.Add(tile);
        at = lineEnd < end ? lineEnd + 1 : end;
    }
    return true;
}

void TileTexCoords(const Array<TileRect>& tiles, int width, int height, Array<Vector2f>& out) {
    const float w = static_cast<float>(width > 1 ? width : 1);
    const float h = static_cast<float>(height > 1 ? height : 1);
    out.Clear();
    if (tiles.Size() <= INT32_MAX / 2)
        out.Reserve(tiles.Size() * 2);
    for (const TileRect& t : tiles) {
        out.Add(Vector2f(static_cast<float>(t.m_X) / w, static_cast<float>(t.m_Y) / h));
        out.Add(Vector2f(static_cast<float>(t.m_X + t.m_Width) / w,
                         static_cast<float>(t.m_Y + t.m_Height) / h));
    }
}

} // namespace Quorlix::Internal
