#pragma once
// The member a port of a connection group names, looked up on the port's object through the
// object's own dispatch row, so that a member identifier from a file can neither reach outside
// the class tables nor call another class's accessors.

#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptObject.h"

namespace Quorlix::Internal {

enum class MemberPortLookup {
    Found,
    ClassUnsupported,    // the object's class neither is nor derives from the member's class
    FunctionUnsupported, // the member's class has no such member (or it is an enumerator)
};

/// Finds member `m` on `object` (not null): on success `entry` is the member's entry in the
/// object's row, whose accessors `object->Get/Set(m, ...)` reach. `entry` is left alone
/// otherwise.
MemberPortLookup FindPortMember(const ScriptObject* object, const ClassType_MemberID* m,
                                const MVTBL*& entry) noexcept;

} // namespace Quorlix::Internal
