#pragma once
// "quorlix texture font": renders a font texture's character map and writes the image as PNG.

#include <functional>

namespace CLI {
class App;
}

namespace QuorlixTool {

/// Adds "font" to the "texture" group. Parsing it sets `action`, which returns the exit status:
/// 0 written, 1 no face or a map that does not fit (the part that fits is still written) or a
/// file that cannot be written, 2 wrong use (an output that is not .png, sizes out of range).
void AddTextureFontCommand(CLI::App& texture, std::function<int()>& action);

} // namespace QuorlixTool
