#pragma once
// "quorlix play": renders a scene script with its render pipe and channels (or a pipe and a
// channel made for it), in a window or headless, and writes screenshots of the frames.

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace QuorlixTool {

/// Adds "play" to `app`. Parsing it sets `action`, which returns the exit status: 0 when the
/// scene was drawn (and every screenshot written), 1 when the script, the window or a
/// screenshot failed.
void AddPlayCommand(CLI::App& app, std::function<int()>& action);

/// The name of the screenshot of frame `frame` (from 1): the number in four digits or more
/// inserted before the extension of `path` ("shot.png", 5 -> "shot-0005.png").
std::string NumberedPath(const std::string& path, int frame);

} // namespace QuorlixTool
