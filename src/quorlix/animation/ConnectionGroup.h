#pragma once
// ConnectionGroup (class "ConnectionGroup", -3948): binds animation ports to object members.
// Port p is member Member[p] (element MemberIndex[p] of an array member, components selected by
// MemberMask[p]) of object Object[p]; the four arrays are parallel. The output buffer and the
// setter that keeps the arrays parallel come with the animation scheduler.

#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API ConnectionGroup : public Object {
public:
    static ConnectionGroup* Create();
    static const TypeInfo* GetConnectionGroupTypeInfo() noexcept;

    ConnectionGroup() noexcept = default;
    ~ConnectionGroup() override;

    Array<Obj<ScriptObject>> m_Object; // never null elements: nil stands for none
    Array<const ClassType_MemberID*> m_Member;
    Array<int32_t> m_MemberIndex;
    Array<uint32_t> m_MemberMask;
};

} // namespace Quorlix
