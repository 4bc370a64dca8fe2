#pragma once
// Which member names may be written out of an archive.

#include <string>

namespace QuorlixTool {

/// Null when `name`, a member as an archive lists it, may be written below the extraction
/// folder; otherwise why not. Archives are untrusted input: anyone can write their index, digests
/// included.
const char* CheckMemberPath(const std::string& name);

} // namespace QuorlixTool
