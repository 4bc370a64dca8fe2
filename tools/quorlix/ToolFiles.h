#pragma once
// Files the program writes.

#include <string>

namespace Quorlix {
class StreamPipeMemory;
}

namespace QuorlixTool {

/// Writes `data` to a file beside `path` ("<path>.part"), which then replaces `path` in one
/// step: a failure leaves no half file and an existing file as it was. False when it failed.
bool WriteWhole(const std::string& path, const Quorlix::StreamPipeMemory& data);

} // namespace QuorlixTool
