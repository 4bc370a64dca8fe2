#pragma once
// "quorlix get": downloads over HTTP with the library's client: the body to standard output or a
// file, a byte range, or what the server tells about the file.

#include <functional>

namespace CLI {
class App;
}

namespace QuorlixTool {

/// Adds "get" to `app`. Parsing it sets `action`, which returns the exit status: 0 done, 1 the
/// request failed (no connection, a status other than 200 or 206, a body cut short, a range
/// not served), 2 wrong use (a URL or range that cannot be read).
void AddGetCommand(CLI::App& app, std::function<int()>& action);

} // namespace QuorlixTool
