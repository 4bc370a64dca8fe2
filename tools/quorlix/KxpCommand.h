#pragma once
// "quorlix kxp": create, add to, list, verify, extract and print archive files.

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace QuorlixTool {

/// Adds "kxp" and its sub-commands to `app`. Parsing one sets `action`, which does the work and
/// returns the exit status: 0 done, 1 failed, 2 wrong use (a bad SOURCE_DATE_EPOCH).
void AddKxpCommand(CLI::App& app, std::function<int()>& action);

} // namespace QuorlixTool
