#pragma once
// "quorlix image": what an image file holds ("info") and converting between the image forms the
// library reads and writes ("convert").

#include <functional>

namespace CLI {
class App;
}

namespace QuorlixTool {

/// Adds "image" with its sub-commands "info" and "convert" to `app`. Parsing one sets `action`,
/// which returns the exit status: 0 done, 1 a file that cannot be read or written, 2 wrong use
/// (a form the library does not read or write, --mipmap for a form without levels).
void AddImageCommand(CLI::App& app, std::function<int()>& action);

} // namespace QuorlixTool
