#include "quorlix/scene/LODGroup.h"

namespace Quorlix {

SLODGroup* SLODGroup::Create() {
    return NewObject<SLODGroup>();
}
const TypeInfo* SLODGroup::GetSLODGroupTypeInfo() noexcept {
    return &TypeOf<SLODGroup>();
}
SLODGroup::~SLODGroup() = default;

TLODGroup* TLODGroup::Create() {
    return NewObject<TLODGroup>();
}
const TypeInfo* TLODGroup::GetTLODGroupTypeInfo() noexcept {
    return &TypeOf<TLODGroup>();
}
TLODGroup::TLODGroup() : TBranch(SLODGroup::Create()) {}
TLODGroup::~TLODGroup() = default;

} // namespace Quorlix
