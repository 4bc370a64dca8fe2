#pragma once
// "quorlix run": executes a scene script in a fresh engine, optionally updates the scenes it
// built for a number of frames and runs a second script to inspect the result.

#include <functional>

namespace CLI {
class App;
}

namespace QuorlixTool {

/// Adds "run" to `app`. Parsing it sets `action`, which returns the exit status: 0 when every
/// script parsed without errors, 1 otherwise.
void AddRunCommand(CLI::App& app, std::function<int()>& action);

} // namespace QuorlixTool
