#pragma once
// Helpers of the scene tests: the library initialised for the suite, typed member identifiers
// found by name, nodes placed by their S objects, and where the update put them.

#include "quorlix/scene/Transform.h"

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

/// A node of class T named `name` under `parent` (when given), placed by its S object.
template <class T = Quorlix::TTransform>
Quorlix::Obj<T> MakeNode(const char* name, Quorlix::TBranch* parent,
                         const Quorlix::Vector3f& translation = Quorlix::Vector3f::Zero,
                         const Quorlix::Vector3f& rotation = Quorlix::Vector3f::Zero,
                         const Quorlix::Vector3f& scaling = Quorlix::Vector3f(1, 1, 1)) {
    Quorlix::Obj<T> node(T::Create());
    node->SetName(name);
    auto* s = static_cast<Quorlix::SSimpleTransform*>(node->GetSNode());
    s->SetTranslation(translation);
    s->SetRotation(rotation);
    s->SetScaling(scaling);
    if (parent != nullptr)
        parent->AddChild(node);
    return node;
}

inline Quorlix::Vector3f Position(const Quorlix::TBaseTransform* node) {
    return node->GetModelViewMatrix().GetM3Vector3();
}

/// Image of a direction under the node's matrix.
inline Quorlix::Vector3f Axis(const Quorlix::TBaseTransform* node,
                              const Quorlix::Vector3f& direction) {
    Quorlix::Vector3f out;
    Quorlix::MulVector3Matrix3x3(out, direction, node->GetModelViewMatrix());
    return out;
}

inline void ExpectNear(const Quorlix::Vector3f& actual, const Quorlix::Vector3f& expected,
                       const char* what, float eps = 1e-5f) {
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(actual[i], expected[i], eps) << what << " component " << i;
}

} // namespace QuorlixTest
