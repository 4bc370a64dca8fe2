#pragma once
// Helpers of the scene tests: the library initialised for the suite and typed member
// identifiers found by name.

#include "../script/ScriptTestSupport.h"

namespace QuorlixTest {

class SceneTest : public ScriptTest {
protected:
    /// The member `name` of built-in class `c`, typed for the accessors.
    template <class V, bool Index = false>
    static const Quorlix::ClassMemberOf<V, Index>* Member(int c, const char* name) {
        const Quorlix::ClassType_MemberID* m =
            Quorlix::FindClassMember(Quorlix::BuiltinTypeID(c), name);
        EXPECT_NE(m, nullptr) << name;
        return static_cast<const Quorlix::ClassMemberOf<V, Index>*>(m);
    }
};

} // namespace QuorlixTest
