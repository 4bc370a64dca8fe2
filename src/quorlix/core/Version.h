#pragma once
// The library's version tag, part of every module name and of the start-up message.

#include "quorlix/platform/Export.h"

namespace Quorlix {

constexpr const char* k_VersionTag = "010219";
constexpr const char* k_LibraryFileName = "libQuorlix010219.so";

/// The version tag compiled into the loaded library (differs from k_VersionTag only when a
/// program runs against another build than it was compiled with).
QUORLIX_API const char* GetLibraryVersionTag() noexcept;

} // namespace Quorlix
