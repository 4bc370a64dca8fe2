#include "quorlix/animation/ConnectionGroup.h"

namespace Quorlix {

ConnectionGroup* ConnectionGroup::Create() {
    return NewObject<ConnectionGroup>();
}
const TypeInfo* ConnectionGroup::GetConnectionGroupTypeInfo() noexcept {
    return &TypeOf<ConnectionGroup>();
}
ConnectionGroup::~ConnectionGroup() = default;

} // namespace Quorlix
