// Script objects: stubs for members of other classes, traversal, weak targets, counts over many
// objects and across threads.

#include "ScriptTestSupport.h"
#include "quorlix/script/Object.h"
#include "support/LogCapture.h"

#include <atomic>
#include <thread>
#include <vector>

using namespace Quorlix;
using QuorlixTest::DefineClass;
using QuorlixTest::LogCapture;

namespace {

class ScriptObjects : public QuorlixTest::ScriptTest {};

constexpr unsigned k_Single = MemberObjectLink | MemberObjectSingle;
constexpr unsigned k_Index = MemberObjectLink | MemberObjectIndex | MemberIsIndex;

TEST_F(ScriptObjects, MembersOfUnrelatedClassesAnswerThroughLoggingStubs) {
    auto a = DefineClass("A", nullptr,
                         {{"Count", k_ClassI32},
                          {"Kids", k_ClassScriptObject, k_Index},
                          {"Tag", k_ClassBool, MemberIsIndex}});
    auto b = DefineClass("B", nullptr, {});
    const auto* count = a->FindMember_I32("Count");
    const auto* kids = a->FindMember_Index_ScriptObject("Kids");
    const auto* tag = a->FindMember_Index_Bool("Tag");
    Obj<ScriptObject> objectA = ScriptObject::Create(a->GetClassID());
    Obj<ScriptObject> objectB = ScriptObject::Create(b->GetClassID());
    LogCapture log;
    EXPECT_EQ(objectB->Get(count), 0);
    objectB->Set(count, 5); // stubs are called even where the real entry is read in line
    objectB->Set(kids, 0, objectA.Get());
    EXPECT_EQ(objectB->Get(kids, 0), &G_NilObject);
    EXPECT_EQ(objectB->Size(kids), 0);
    EXPECT_FALSE(objectB->Compare(tag, objectA));
    const std::string tail = " called on B";
    const std::string c = ": " + QuorlixTest::Hex(count) + " A.Count" + tail;
    const std::string k = ": " + QuorlixTest::Hex(kids) + " A.Kids" + tail;
    EXPECT_EQ(
        log.Messages(),
        (std::vector<std::string>{
            "[Error]iInvalidGet_I32" + c, "[Error]iInvalidSet_I32" + c,
            "[Error]iInvalidSet_Index_ScriptObject" + k,
            "[Error]iInvalidGet_Index_ScriptObject" + k, "[Error]iInvalidSize_ScriptObject" + k,
            "[Error]iInvalidCompare_Index_Bool: : " + QuorlixTest::Hex(tag) + " A.Tag" + tail}));
    objectB->ExpectFailed(a->GetClassID());
    EXPECT_EQ(log.Messages().back(),
              "[Error]ScriptObject::ExpectFailed: cannot cast \"B\" to \"A\".");
    // The object's own class answers for real.
    objectA->Set(count, 5);
    EXPECT_EQ(objectA->Get(count), 5);
    objectA->Set(kids, 1, objectB.Get());
    EXPECT_EQ(objectA->Size(kids), 2);
    EXPECT_EQ(objectA->Get(kids, 0), &G_NilObject);
    EXPECT_EQ(objectA->Get(kids, 1), objectB.Get());
}

TEST_F(ScriptObjects, TraverseListsOwnedObjectsOnceInDepthFirstOrder) {
    auto node = DefineClass("Node", nullptr,
                            {{"Child", k_ClassScriptObject, k_Single},
                             {"Kids", k_ClassScriptObject, k_Index},
                             {"Parent", k_ClassScriptObject, k_Single | MemberNotOwned},
                             // Linked but neither single, index nor array: never read whole.
                             {"Other", k_ClassScriptObject, MemberObjectLink},
                             // An index linked without 0x2000 is read element by element; a
                             // number flagged as a link is not an object and is not followed.
                             {"Spare", k_ClassScriptObject, MemberObjectLink | MemberIsIndex},
                             {"Count", k_ClassI32, k_Single}});
    const auto* child = node->FindMember_ScriptObject("Child");
    const auto* kids = node->FindMember_Index_ScriptObject("Kids");
    const auto* parent = node->FindMember_ScriptObject("Parent");
    const auto* other = node->FindMember_ScriptObject("Other");
    const auto* spare = node->FindMember_Index_ScriptObject("Spare");
    const auto* count = node->FindMember_I32("Count");
    std::vector<Obj<ScriptObject>> n;
    for (int i = 0; i < 7; ++i)
        n.emplace_back(ScriptObject::Create(node->GetClassID()));
    n[0]->Set(kids, 0, n[1].Get());
    n[0]->Set(kids, 1, n[2].Get());
    n[0]->Set(kids, 3, n[5].Get()); // index 2 stays nil
    n[1]->Set(child, n[3].Get());
    n[3]->Set(child, n[0].Get());  // a cycle back to the root
    n[2]->Set(parent, n[4].Get()); // a back link: not followed
    n[2]->Set(other, n[4].Get());
    n[5]->Set(spare, 1, n[6].Get());
    n[5]->Set(count, 0x7FFF1234);
    Array<Obj<ScriptObject>> out;
    out.Add(n[4]);
    n[0]->Traverse(out);
    std::vector<ScriptObject*> got(out.begin(), out.end());
    EXPECT_EQ(got, (std::vector<ScriptObject*>{n[0], n[1], n[3], n[2], n[5], n[6]}));
    G_NilObject.Traverse(out);
    EXPECT_EQ(out.Size(), 0);
    n[3]->Set(child, &G_NilObject);

    // A chain far deeper than any call stack would allow.
    const int depth = 200000;
    Obj<ScriptObject> head = ScriptObject::Create(node->GetClassID());
    ScriptObject* tail = head;
    for (int i = 1; i < depth; ++i) {
        ScriptObject* next = ScriptObject::Create(node->GetClassID());
        tail->Set(child, next);
        tail = next;
    }
    head->Traverse(out);
    EXPECT_EQ(out.Size(), depth);
    EXPECT_EQ(out[depth - 1].Get(), tail);
    out.Clear();
    // Unlink from the head so that no release recurses down the whole chain.
    for (Obj<ScriptObject> it = head; !it->IsNil();) {
        Obj<ScriptObject> next = it->Get(child);
        it->Set(child, &G_NilObject);
        it = next;
    }
}

TEST_F(ScriptObjects, WeakTargetsSeeTheNilObjectAfterDeath) {
    auto cls = DefineClass("Target", BuiltinTypeID(k_ClassObject), {});
    Obj<ScriptObject> object = ScriptObject::Create(cls->GetClassID());
    const WeakObjTarget* weak = object->GetWeakObjTarget();
    EXPECT_EQ(object->GetWeakObjTarget(), weak);
    Obj<WeakObjTarget> held(const_cast<WeakObjTarget*>(weak));
    EXPECT_EQ(held->GetTarget(), object.Get());
    object = nullptr;
    EXPECT_EQ(held->GetTarget(), &G_NilObject);
    EXPECT_EQ(G_NilObject.GetWeakObjTarget(), &G_NilWeakObjTarget);
    EXPECT_EQ(G_NilWeakObjTarget.GetTarget(), &G_NilObject);
    // The sentinels revive rather than die when their count would reach zero.
    for (const void* sentinel :
         {static_cast<const void*>(&G_NilObject), static_cast<const void*>(&G_NilWeakObjTarget)}) {
        const int32_t count = BlockRefCount(sentinel);
        HeaderOf(sentinel)->m_RefCount = 1;
        BlockRelease(sentinel);
        EXPECT_EQ(BlockRefCount(sentinel), 0x40000000);
        HeaderOf(sentinel)->m_RefCount = count;
    }
}

TEST_F(ScriptObjects, DroppedObjectsLeaveEveryCountWhereItStarted) {
    const String name("shared name");
    auto cls = DefineClass("Crate", BuiltinTypeID(k_ClassObject),
                           {{"Link", k_ClassScriptObject, k_Single},
                            {"Label", k_ClassString, 0, &name},
                            {"Items", k_ClassScriptObject, k_Index},
                            {"Sizes", k_ClassF32, MemberIsIndex}});
    const auto* link = cls->FindMember_ScriptObject("Link");
    const auto* label = cls->FindMember_String("Label");
    const auto* items = cls->FindMember_Index_ScriptObject("Items");
    const auto* sizes = cls->FindMember_Index_F32("Sizes");
    Obj<ScriptObject> shared = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
    const int alloc = G_MasterAlloc;
    const int nilCount = BlockRefCount(&G_NilObject);
    const int sharedCount = BlockRefCount(shared);
    const int nameCount = BlockRefCount(name.GetCPtr());
    const int emptyCount = BlockRefCount(G_NullArray.Payload());
    const int emptyStringCount = BlockRefCount(G_NullString.Payload());
    for (int i = 0; i < 4; ++i) {
        Obj<ScriptObject> crate = ScriptObject::Create(cls->GetClassID());
        if (i % 2 == 0) {
            crate->Set(link, shared.Get());
            crate->Set(items, 2, shared.Get());
            crate->Set(sizes, 1, 0.5f);
            crate->Set(label, crate->Get(label));
        }
    }
    EXPECT_EQ(G_MasterAlloc, alloc);
    EXPECT_EQ(BlockRefCount(&G_NilObject), nilCount);
    EXPECT_EQ(BlockRefCount(shared), sharedCount);
    EXPECT_EQ(BlockRefCount(name.GetCPtr()), nameCount);
    EXPECT_EQ(BlockRefCount(G_NullArray.Payload()), emptyCount);
    EXPECT_EQ(BlockRefCount(G_NullString.Payload()), emptyStringCount);
}

TEST_F(ScriptObjects, HandlesMoveAcrossThreadsWhileOneThreadReads) {
    auto cls = DefineClass("Shared", nullptr,
                           {{"Value", k_ClassI32}, {"Link", k_ClassScriptObject, k_Single}});
    const auto* value = cls->FindMember_I32("Value");
    const auto* link = cls->FindMember_ScriptObject("Link");
    Obj<ScriptObject> object = ScriptObject::Create(cls->GetClassID());
    Obj<ScriptObject> linked = ScriptObject::Create(cls->GetClassID());
    object->Set(value, 41);
    object->Set(link, linked.Get());
    const int before = BlockRefCount(object);
    std::atomic<bool> wrong{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100000; ++i) {
                Obj<ScriptObject> copy = object;
                Obj<ScriptObject> other = copy->Get(link);
                if (other.Get() != linked.Get())
                    wrong = true;
            }
        });
    }
    for (int i = 0; i < 100000; ++i) {
        if (object->Get(value) != 41)
            wrong = true;
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(wrong);
    EXPECT_EQ(BlockRefCount(object), before);
    EXPECT_EQ(BlockRefCount(linked), 2);
}

} // namespace
