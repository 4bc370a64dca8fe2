#pragma once
// "quorlix texture cache": writes the cache files that texture loads read instead of decoding
// their sources, or tells whether they are up to date ("--check").

#include <functional>

namespace CLI {
class App;
}

namespace QuorlixTool {

/// Adds "cache" to the "texture" group `texture`. Each PATH is an image's base path without
/// extension (a trailing ".png" or ".jp2" is dropped). Parsing it sets `action`, which returns
/// the exit status: 0 every cache written or, with --check, every cache fresh; 1 a cache that
/// could not be written, or with --check one that is stale, unreadable or missing; 2 wrong use.
void AddTextureCacheCommand(CLI::App& texture, std::function<int()>& action);

} // namespace QuorlixTool
