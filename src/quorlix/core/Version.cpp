#include "quorlix/core/Version.h"

namespace Quorlix {

const char* GetLibraryVersionTag() noexcept {
    return QUORLIX_VERSION_TAG;
}

} // namespace Quorlix
