#include "quorlix/core/WeakObjTarget.h"

#include <gtest/gtest.h>

using namespace Quorlix;

TEST(WeakObjTarget, CreatedUnheldAndRetargetable) {
    Obj<WeakObjTarget> target(WeakObjTarget::Create(nullptr));
    EXPECT_EQ(BlockRefCount(target.Get()), 1);
    EXPECT_EQ(target->GetTarget(), nullptr);
    // Script objects are opaque here; the cell only stores the pointer.
    int standIn = 0;
    auto* object = reinterpret_cast<ScriptObject*>(&standIn);
    target->SetTarget(object);
    EXPECT_EQ(target->GetTarget(), object);
    EXPECT_EQ(GetBlockTypeInfo(target.Get()), &TypeOf<WeakObjTarget>());
}
