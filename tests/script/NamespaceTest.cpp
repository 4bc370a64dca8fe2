// The engine's namespaces: paths, the object table and its growth, entering and leaving,
// clearing, naming objects by their Name, listing, merging and the lifetime of parents.

#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <initializer_list>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

// The class tables must exist for Object names and class checks.
using Namespaces = QuorlixTest::ScriptTest;

Obj<Object> Named(const char* name) {
    Obj<Object> object = Object::Create();
    object->SetName(name);
    return object;
}

ScriptObject* Nil() {
    return &G_NilObject;
}

std::set<std::string> Strings(const Array<String>& names) {
    std::set<std::string> out;
    for (const String& name : names)
        out.emplace(name.GetCPtr());
    return out;
}

struct Bar final : ProgressBar {
    explicit Bar(std::atomic<int>* gone) : m_Gone(gone) {}
    ~Bar() override { ++*m_Gone; }
    void SetProgress(float) override {}
    std::atomic<int>* m_Gone;
};

std::string Printed(const ScriptNamespace& ns) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    Stream stream(pipe);
    ns.PrintObjectNames(stream, String());
    return std::string(reinterpret_cast<const char*>(pipe->GetData()), size_t(pipe->GetSize()));
}

} // namespace

TEST_F(Namespaces, PathsResolveThroughParents) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    ScriptNamespace* root = engine->GetRootNamespace();
    ScriptNamespace* a = root->CreateNamespace("a", 0);
    ScriptNamespace* b = a->CreateNamespace("b", 0);
    Obj<Object> x = Named(""), top = Named("");
    b->DefObject(x, String("x"));
    root->DefObject(top, String("top"));
    const struct {
        ScriptNamespace* m_From;
        const char* m_Path;
        ScriptObject* m_Expected;
    } cases[] = {
        {root, "a:b:x", x}, {a, "a:b:x", x},      {b, "a:b:x", x},        {b, "top", top},
        {a, "b:top", top},  {root, "x", Nil()},   {root, "a:c:x", Nil()}, {root, "a:b:", Nil()},
        {root, "", Nil()},  {root, "q:x", Nil()},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(engine->LeaveNamespace(c.m_From), SOK);
        EXPECT_EQ(engine->FindObjectC(c.m_Path), c.m_Expected) << c.m_Path;
        EXPECT_EQ(engine->FindObject(String(c.m_Path)), c.m_Expected) << c.m_Path;
    }
    EXPECT_EQ(engine->FindObjectC(nullptr), Nil());
    EXPECT_EQ(b->FindNamespace("a", 1), a);
    EXPECT_EQ(b->FindNamespace("a", 0), ScriptNamespace::Nil());
    EXPECT_EQ(root->GetParentNamespace(), ScriptNamespace::Nil());
}

TEST_F(Namespaces, ObjectTableReplacesNamesAndGrowsItsBuckets) {
    Obj<ScriptNamespace> ns = ScriptNamespace::Create(nullptr, "");
    Obj<Object> first = Named(""), second = Named(""), anonymous = Named(""), numbered = Named("");
    ns->DefObject(first, String("door"));
    ns->DefObject(second, String("door"));
    ns->DefObject(anonymous, String());
    ns->DefObject(anonymous, String());
    ns->DefObjectID(numbered, 7);
    ns->DefObjectID(second, 0xFFFFFFFFu); // the id a named record carries as its marker
    EXPECT_EQ(ns->FindObject(String("door")), second.Get());
    EXPECT_EQ(ns->FindObjectID(7), numbered.Get());
    EXPECT_EQ(ns->FindObjectID(0xFFFFFFFFu), second.Get());
    EXPECT_EQ(ns->FindObjectID(8), Nil());
    EXPECT_EQ(ns->GetFirstObject(), first.Get());
    Array<Obj<ScriptObject>> all;
    ns->GetObjectList(all, 0);
    EXPECT_EQ(all.Size(), 4); // door once, the anonymous object once, 7, 0xFFFFFFFF
    all.Clear();
    EXPECT_EQ(BlockRefCount(first.Get()), 2); // this handle and the first-object slot

    // Five names in one bucket of four: the fifth doubles the table first.
    ns->ClearObjects();
    EXPECT_EQ(ns->GetFirstObject(), Nil());
    std::vector<String> sameBucket;
    for (int i = 0; sameBucket.size() < 5; ++i) {
        String name(("n" + std::to_string(i)).c_str());
        if (name.Hash32() % 4 == 0)
            sameBucket.push_back(name);
    }
    for (size_t i = 0; i < sameBucket.size(); ++i) {
        EXPECT_EQ(ns->GetObjectBucketCount(), 4) << i;
        ns->DefObject(first, sameBucket[i]);
    }
    EXPECT_EQ(ns->GetObjectBucketCount(), 8);

    // Many names: the table stops doubling at 4096 buckets and still finds every name.
    std::vector<String> names;
    for (int i = 0; i < 30000; ++i)
        names.emplace_back(("object" + std::to_string(i)).c_str());
    for (const String& name : names)
        ns->DefObject(first, name);
    EXPECT_EQ(ns->GetObjectBucketCount(), ScriptNamespace::k_MaxBuckets);
    int found = 0;
    for (const String& name : names)
        found += ns->FindObject(name) == first.Get();
    EXPECT_EQ(found, 30000);

    {
        // Numbered records far past the bucket cap: lookups follow replacements and removals,
        // and a named record never answers an id.
        Obj<ScriptNamespace> ids = ScriptNamespace::Create(nullptr, "");
        Obj<Object> a = Named(""), b = Named(""), c = Named("");
        ids->DefObject(a, String("named"));
        EXPECT_EQ(ids->FindObjectID(0xFFFFFFFFu), Nil());
        constexpr unsigned k_Ids = 20000;
        for (unsigned id = 1; id <= k_Ids; ++id)
            ids->DefObjectID(id % 3 == 0 ? b : a, id);
        ids->DefObjectID(c, 5);
        ids->DefObjectID(Nil(), 5); // a record holding the nil object is still a record
        ids->DefObjectID(c, 5);
        const auto expected = [&](unsigned id) -> ScriptObject* {
            return id == 5 ? c.Get() : (id % 3 == 0 ? b.Get() : a.Get());
        };
        int right = 0;
        for (unsigned id = 1; id <= k_Ids; ++id)
            right += ids->FindObjectID(id) == expected(id);
        EXPECT_EQ(right, int(k_Ids));
        EXPECT_EQ(ids->FindObjectID(0), Nil());
        EXPECT_EQ(ids->FindObjectID(k_Ids + 1), Nil());
        Array<Obj<ScriptObject>> listed;
        ids->GetObjectList(listed, 0);
        EXPECT_EQ(listed.Size(), int(k_Ids) + 1);
        listed.Clear();

        // Removing every third id leaves holes inside probe runs; the others must stay found.
        EXPECT_EQ(ids->ClearObjectReferences(b, 0), SOK);
        right = 0;
        for (unsigned id = 1; id <= k_Ids; ++id)
            right += ids->FindObjectID(id) == (id % 3 == 0 ? Nil() : expected(id));
        EXPECT_EQ(right, int(k_Ids));
        EXPECT_EQ(BlockRefCount(b.Get()), 1);
        ids->DefObjectID(b, 0xFFFFFFFFu);
        EXPECT_EQ(ids->FindObjectID(0xFFFFFFFFu), b.Get());
        EXPECT_EQ(ids->FindObject(String("named")), a.Get());

        ids->ClearObjects();
        EXPECT_EQ(ids->FindObjectID(1), Nil());
        EXPECT_EQ(ids->FindObjectID(0xFFFFFFFFu), Nil());
        EXPECT_EQ(BlockRefCount(c.Get()), 1);
        ids->DefObjectID(c, 1);
        EXPECT_EQ(ids->FindObjectID(1), c.Get());
    }
}

TEST_F(Namespaces, EnterLeaveAndRemove) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    ScriptNamespace* root = engine->GetRootNamespace();
    Obj<ScriptNamespace> previous;
    EXPECT_EQ(engine->EnterNamespace("x", previous, 0), ENotFound);
    EXPECT_EQ(engine->GetCurrentNamespace(), root);
    EXPECT_EQ(previous.Get(), root);
    ASSERT_EQ(engine->EnterNamespace("x", previous, 1), SOK);
    ScriptNamespace* x = engine->GetCurrentNamespace();
    EXPECT_EQ(std::string(x->GetNamespaceName().GetCPtr()), "x");
    EXPECT_EQ(x->GetParentNamespace(), root);
    ASSERT_EQ(engine->EnterNamespace("y", previous, 1), SOK);
    EXPECT_EQ(previous.Get(), x);
    EXPECT_EQ(engine->LeaveNamespace(previous), SOK);
    EXPECT_EQ(engine->GetCurrentNamespace(), x);
    {
        LogCapture log;
        EXPECT_EQ(engine->LeaveNamespace(nullptr), EInvalidArgument);
        EXPECT_EQ(engine->LeaveNamespace(ScriptNamespace::Nil()), EInvalidArgument);
        EXPECT_EQ(log.Messages().size(), 2u);
        EXPECT_EQ(engine->GetCurrentNamespace(), x);
    }
    EXPECT_EQ(engine->RootNamespace(), SOK);
    EXPECT_EQ(engine->EnterNamespace("x", previous, 0), SOK); // found now, without creating
    EXPECT_EQ(engine->GetCurrentNamespace(), x);
    EXPECT_EQ(engine->RootNamespace(), SOK);
    EXPECT_EQ(engine->RemoveNamespace("x"), SOK);
    EXPECT_EQ(engine->RemoveNamespace("x"), ENotFound);
    EXPECT_EQ(engine->FindNamespace("x"), ScriptNamespace::Nil());
}

TEST_F(Namespaces, NumberedRecordsEnterTheTableLateInTheSameOrder) {
    // Numbered records reach the table only when something looks at it. A namespace made to
    // flush after every call and one left alone must end with the same table, in the same
    // order, through replacements, removals, clears and doublings.
    Obj<ScriptNamespace> eager = ScriptNamespace::Create(nullptr, "");
    Obj<ScriptNamespace> lazy = ScriptNamespace::Create(nullptr, "");
    std::vector<Obj<Object>> objects;
    for (int i = 0; i < 64; ++i)
        objects.push_back(Named(""));
    const auto listed = [](ScriptNamespace& ns) {
        Array<Obj<ScriptObject>> all;
        ns.GetObjectList(all, 0);
        std::vector<const ScriptObject*> out;
        for (const Obj<ScriptObject>& object : all)
            out.push_back(object.Get());
        Array<String> names;
        ns.ListObjects(&names, nullptr, 0, nullptr, String());
        return std::make_pair(out, Strings(names));
    };
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
        ScriptObject* object = objects[random() % objects.size()];
        const unsigned pick = random() % 100;
        const unsigned id = pick < 2 ? 0xFFFFFFFFu : 1 + random() % 6000;
        const String name(("n" + std::to_string(random() % 300)).c_str());
        EResult cleared[2] = {SOK, SOK};
        for (int n = 0; n < 2; ++n) {
            ScriptNamespace* ns = n == 0 ? eager.Get() : lazy.Get();
            if (pick < 80)
                ns->DefObjectID(object, id);
            else if (pick < 88)
                ns->DefObject(object, name);
            else if (pick < 92)
                ns->DefObject(object, String());
            else if (pick < 96)
                EXPECT_EQ(ns->ClearObject(name), SOK);
            else if (pick < 99)
                cleared[n] = ns->ClearObjectReferences(object, 0);
            else if (step % 7 == 0)
                ns->ClearObjects();
        }
        eager->GetObjectBucketCount();
        ASSERT_EQ(cleared[0], cleared[1]) << step;
        ASSERT_EQ(eager->FindObjectID(id), lazy->FindObjectID(id)) << step;
        if (step % 4000 == 3999) {
            ASSERT_EQ(listed(*eager), listed(*lazy)) << step;
            ASSERT_EQ(eager->GetObjectBucketCount(), lazy->GetObjectBucketCount()) << step;
        }
    }
    for (int i = 1; i <= 5000; ++i)
        lazy->DefObjectID(objects[size_t(i) % objects.size()], 100000u + unsigned(i));
    for (int i = 1; i <= 5000; ++i) {
        eager->DefObjectID(objects[size_t(i) % objects.size()], 100000u + unsigned(i));
        eager->GetObjectBucketCount();
    }
    EXPECT_EQ(Printed(*eager), Printed(*lazy));
    EXPECT_EQ(listed(*eager), listed(*lazy));
    EXPECT_EQ(eager->GetObjectBucketCount(), ScriptNamespace::k_MaxBuckets);
}

TEST_F(Namespaces, NumbersAreFoundHoweverTheyAreSpread) {
    // Numbers in order sit in an array, scattered ones in a hash, and hashed numbers move into
    // the array when it widens over them: lookups, replacements, removals and reservations
    // must agree with a plain map whatever the pattern.
    constexpr unsigned k_Count = 5000;
    struct Pattern {
        const char* m_Name;
        unsigned (*m_Id)(unsigned i); // i from 0; distinct and never 0
    };
    const Pattern patterns[] = {
        {"in order", [](unsigned i) { return i + 1; }},
        {"scattered", [](unsigned i) { return (i + 1) * 2654435761u; }},
        {"descending", [](unsigned i) { return k_Count - i; }},
        {"even, descending", [](unsigned i) { return 2 * (k_Count - i); }},
        {"in order from far", [](unsigned i) { return 1000000u + i; }},
        {"a few far, then in order", // the array widens over the hashed ones
         [](unsigned i) { return i < 100 ? 2 * (2000 + i) : 2 * (i - 100) + 1; }},
    };
    Obj<Object> a = Named(""), b = Named(""), c = Named("");
    for (const Pattern& pattern : patterns) {
        SCOPED_TRACE(pattern.m_Name);
        Obj<ScriptNamespace> ns = ScriptNamespace::Create(nullptr, "");
        std::map<unsigned, ScriptObject*> model;
        for (unsigned i = 0; i < k_Count; ++i) {
            const unsigned id = pattern.m_Id(i);
            ScriptObject* object = id % 3 == 0 ? b.Get() : a.Get();
            if (i % 2 == 0) {
                ns->DefObjectID(object, id);
            } else {
                ScriptNamespace::IdReservation place;
                ASSERT_EQ(ns->FindObjectIDOrReserve(id, place), Nil()) << id;
                ns->DefReservedObjectID(object, place);
            }
            model[id] = object;
            if (i % 100 == 0) { // a replacement of an earlier number
                const unsigned earlier = pattern.m_Id(i / 2);
                ns->DefObjectID(c, earlier);
                model[earlier] = c;
            }
        }
        const auto agrees = [&] {
            int wrong = 0;
            for (unsigned i = 0; i < k_Count; ++i) {
                const unsigned id = pattern.m_Id(i);
                const auto known = model.find(id);
                ScriptObject* expected = known != model.end() ? known->second : Nil();
                ScriptNamespace::IdReservation place;
                wrong += ns->FindObjectID(id) != expected;
                wrong += ns->FindObjectIDOrReserve(id, place) != expected;
                wrong += ns->FindObjectID(id + 7919u * k_Count) != Nil();
            }
            return wrong;
        };
        EXPECT_EQ(agrees(), 0);
        EXPECT_EQ(ns->ClearObjectReferences(b, 0), SOK);
        std::erase_if(model, [&](const auto& record) { return record.second == b.Get(); });
        EXPECT_EQ(agrees(), 0);
        Array<Obj<ScriptObject>> listed;
        ns->GetObjectList(listed, 0);
        EXPECT_EQ(listed.Size(), int(model.size()));
    }
}

TEST_F(Namespaces, ReservedNumbersAreDefinedAsDefObjectIDDefinesThem) {
    // A namespace that defines missing numbers through a reservation, with other changes
    // between the reservation and its use, must end as one that calls DefObjectID.
    Obj<ScriptNamespace> plain = ScriptNamespace::Create(nullptr, "");
    Obj<ScriptNamespace> reserving = ScriptNamespace::Create(nullptr, "");
    std::vector<Obj<Object>> objects;
    for (int i = 0; i < 32; ++i)
        objects.push_back(Named(""));
    const auto state = [](ScriptNamespace& ns) {
        Array<Obj<ScriptObject>> all;
        ns.GetObjectList(all, 0);
        std::vector<const ScriptObject*> out{ns.GetFirstObject()};
        for (const Obj<ScriptObject>& object : all)
            out.push_back(object.Get());
        return std::make_pair(out, Printed(ns));
    };
    std::mt19937 random(11);
    for (int step = 0; step < 20000; ++step) {
        ScriptObject* object = objects[random() % objects.size()];
        ScriptObject* other = objects[random() % objects.size()];
        const unsigned id = random() % 50 == 0 ? 0 : 1 + random() % 3000;
        const unsigned otherId = 1 + random() % 3000;
        const unsigned between = random() % 10;
        // Between the lookup and the definition: nothing, the same number defined, another
        // number defined, a removal, a clear, a name.
        const auto meddle = [&](ScriptNamespace& ns) {
            if (between == 1)
                ns.DefObjectID(other, id);
            else if (between == 2)
                ns.DefObjectID(other, otherId);
            else if (between == 3)
                (void)ns.ClearObjectReferences(other, 0);
            else if (between == 4 && step % 50 == 0)
                ns.ClearObjects();
            else if (between == 5)
                ns.DefObject(other, String("name"));
        };
        meddle(*plain);
        plain->DefObjectID(object, id);
        ScriptNamespace::IdReservation place;
        ScriptObject* found = reserving->FindObjectIDOrReserve(id, place);
        ASSERT_EQ(found, reserving->FindObjectID(id)) << step;
        meddle(*reserving);
        reserving->DefReservedObjectID(object, place);
        ASSERT_EQ(plain->FindObjectID(id), reserving->FindObjectID(id)) << step;
        if (step % 2000 == 1999) {
            ASSERT_EQ(state(*plain), state(*reserving)) << step;
        }
    }
    EXPECT_EQ(state(*plain), state(*reserving));

    // A record of the nil object is found as nil and replaced; a reservation of another
    // namespace, or a stale one, is the plain definition of its number.
    Obj<ScriptNamespace> ns = ScriptNamespace::Create(nullptr, "");
    Obj<Object> a = Named(""), b = Named("");
    ScriptNamespace::IdReservation place;
    ns->DefObjectID(Nil(), 9);
    EXPECT_EQ(ns->FindObjectIDOrReserve(9, place), Nil());
    ns->DefReservedObjectID(a, place);
    EXPECT_EQ(ns->FindObjectID(9), a.Get());
    Array<Obj<ScriptObject>> listed;
    ns->GetObjectList(listed, 0);
    EXPECT_EQ(listed.Size(), 1);
    EXPECT_EQ(plain->FindObjectIDOrReserve(123456, place), Nil());
    ns->DefReservedObjectID(b, place);
    EXPECT_EQ(ns->FindObjectID(123456), b.Get());
    EXPECT_EQ(plain->FindObjectID(123456), Nil());
    EXPECT_EQ(ns->FindObjectIDOrReserve(123456, place), b.Get());
}

TEST_F(Namespaces, ClearingObjectsAndReferences) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    ScriptNamespace* root = engine->GetRootNamespace();
    ScriptNamespace* child = root->CreateNamespace("child", 0);
    Obj<Object> door = Named("");
    root->DefObject(door, String("door"));
    child->DefObject(door, String("door"));
    child->DefObject(door, String());
    EXPECT_EQ(engine->ClearObject(String("unknown")), SOK);
    EXPECT_EQ(child->ClearObject(String("door")), SOK);
    EXPECT_EQ(child->FindObject(String("door")), door.Get()); // the root's still answers
    EXPECT_EQ(engine->ClearObjectReferences(door, 1), SOK);
    EXPECT_EQ(BlockRefCount(door.Get()), 1);
    EXPECT_EQ(child->FindObject(String("door")), Nil());
    EXPECT_EQ(engine->ClearObjectReferences(door, 1), ENotFound);
    root->DefObject(door, String("door"));
    engine->ClearNamespaces();
    EXPECT_EQ(engine->FindNamespace("child"), ScriptNamespace::Nil());
    EXPECT_EQ(engine->FindObjectC("door"), Nil());
    EXPECT_EQ(BlockRefCount(door.Get()), 1);
}

TEST_F(Namespaces, ObjectsAreNamedByTheirNameAndListed) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    ScriptNamespace* root = engine->GetRootNamespace();
    Obj<Object> door = Named("lib:door"), gate = Named("gate"), bell = Named("a:b:bell"),
                nameless = Named(""), own = Named("lib:own");
    Obj<ScriptNamespace> notAnObject = ScriptNamespace::Create(nullptr, "lib:skip");
    Array<Obj<ScriptObject>> list;
    for (ScriptObject* object :
         std::initializer_list<ScriptObject*>{door, gate, bell, nameless, notAnObject})
        list.Add(Obj<ScriptObject>(object));
    root->AddObjectList(list);
    ScriptNamespace* lib = engine->FindNamespace("lib");
    ASSERT_NE(lib, ScriptNamespace::Nil());
    EXPECT_EQ(engine->FindObjectC("lib:door"), door.Get());
    EXPECT_EQ(lib->FindObject(String("door")), door.Get());
    EXPECT_EQ(engine->FindObjectC("a:b:bell"), bell.Get());
    EXPECT_EQ(engine->FindObjectC("gate"), gate.Get());
    EXPECT_EQ(engine->FindObjectC("lib:skip"), Nil());
    // A name whose namespace part is the namespace's own name is defined there.
    list.Clear();
    list.Add(Obj<ScriptObject>(own.Get()));
    lib->AddObjectList(list);
    EXPECT_EQ(lib->FindObject(String("own")), own.Get());
    EXPECT_EQ(lib->FindNamespace("lib", 0), ScriptNamespace::Nil());

    // Names of a whole object tree, reached through its object links.
    Obj<ScriptClass> node = QuorlixTest::DefineClass(
        "Node", BuiltinTypeID(k_ClassObject),
        {{"Child", k_ClassScriptObject, MemberObjectLink | MemberObjectSingle}});
    Obj<ScriptObject> tree = ScriptObject::Create(node->GetClassID());
    Obj<ScriptObject> leaf = ScriptObject::Create(node->GetClassID());
    static_cast<Object*>(tree.Get())->SetName("tree:top");
    static_cast<Object*>(leaf.Get())->SetName("tree:leaf");
    tree->Set(node->FindMember_ScriptObject("Child"), leaf.Get());
    engine->ImportObjectTreeNames(tree);
    EXPECT_EQ(engine->FindObjectC("tree:leaf"), leaf.Get());
    EXPECT_EQ(engine->FindObjectC("tree:top"), tree.Get());
    EXPECT_EQ(root->RemoveNamespace("tree"), SOK);

    Array<String> names;
    Array<Obj<ScriptObject>> objects;
    engine->ListObjects(&names, &objects, 0, nullptr);
    EXPECT_EQ(Strings(names), std::set<std::string>{"gate"});
    names.Clear();
    engine->ListObjects(&names, nullptr, 1, BuiltinTypeID(k_ClassObject));
    EXPECT_EQ(Strings(names), (std::set<std::string>{"gate", "lib:door", "lib:own", "a:b:bell"}));
    for (const String& name : names) // every listed path finds its object again
        EXPECT_NE(engine->FindObject(name), Nil()) << name.GetCPtr();
    names.Clear();
    engine->ListObjects(&names, nullptr, 1, BuiltinTypeID(k_ClassScriptEngine));
    EXPECT_TRUE(names.IsEmpty());
    Obj<ScriptNamespace> previous;
    ASSERT_EQ(engine->EnterNamespace("lib", previous, 0), SOK);
    engine->ListObjects(&names, nullptr, 0, nullptr);
    EXPECT_EQ(Strings(names), (std::set<std::string>{"lib:door", "lib:own"}));
}

TEST_F(Namespaces, MergeCopiesTreesAndRefusesItsOwnAncestors) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    ScriptNamespace* root = engine->GetRootNamespace();
    ScriptNamespace* a = root->CreateNamespace("a", 0);
    ScriptNamespace* b = a->CreateNamespace("b", 0);
    {
        LogCapture log;
        EXPECT_EQ(a->MergeNamespace(a), EInvalidArgument);
        EXPECT_EQ(b->MergeNamespace(a), EInvalidArgument);
        EXPECT_EQ(b->MergeNamespace(root), EInvalidArgument);
        EXPECT_EQ(engine->MergeNamespace(nullptr), EInvalidArgument);
        ASSERT_EQ(log.Messages().size(), 4u);
        EXPECT_EQ(log.Messages()[0], "[Error]ScriptNamespace::MergeNamespace: \"a\" cannot be "
                                     "merged into itself or into a namespace inside it.");
    }
    Obj<ScriptNamespace> source = ScriptNamespace::Create(nullptr, "");
    Obj<Object> door = Named("door"), bell = Named("bell");
    source->DefObject(door, String("door"));
    source->CreateNamespace("b", 0)->DefObject(bell, String("bell"));
    EXPECT_EQ(a->MergeNamespace(source), SOK);
    EXPECT_EQ(a->FindObject(String("door")), door.Get());
    EXPECT_EQ(b->FindObject(String("bell")), bell.Get()); // merged into the existing child
    EXPECT_EQ(root->MergeNamespace(a), SOK);              // a descendant into its ancestor is fine
    EXPECT_EQ(root->FindNamespace("b", 0)->FindObject(String("bell")), bell.Get());
}

TEST_F(Namespaces, PrintsNamesClassesAndChildren) {
    Obj<ScriptNamespace> root = ScriptNamespace::Create(nullptr, "");
    Obj<Object> object = Named("");
    root->DefObject(object, String("door"));
    root->CreateNamespace("lib", 0)->DefObject(object, String("bell"));
    Obj<ScriptClass> door = ScriptClass::Create();
    ASSERT_FALSE(door->IsNil());
    door->DefClassObject("Door", nullptr);
    root->AddClass(door);
    // Class lists from callers may hold null and the nil object; both are passed over.
    Array<Obj<ScriptClass>> classes;
    root->GetClassList(classes);
    classes.Add(Obj<ScriptClass>(NilObjectAs<ScriptClass>()));
    classes.Add(Obj<ScriptClass>());
    root->ImportClassList(classes);
    EXPECT_EQ(Printed(*root), "door;\nclass Door;\nnamespace lib:;\nlib:bell;\n");
    EXPECT_EQ(root->FindNamespace("lib", 0)->FindClass("Door"), door.Get());
    EXPECT_EQ(root->FindClass("Window"), NilObjectAs<ScriptClass>());
}

TEST_F(Namespaces, ChildrenForgetParentsThatAreGone) {
    Obj<ScriptNamespace> removed, orphan;
    Obj<Object> object = Named("");
    {
        Obj<ScriptEngine> engine = ScriptEngine::Create();
        ScriptNamespace* root = engine->GetRootNamespace();
        root->DefObject(object, String("top"));
        removed = root->CreateNamespace("removed", 0);
        orphan = root->CreateNamespace("kept", 0);
        EXPECT_EQ(root->RemoveNamespace("removed"), SOK);
        EXPECT_EQ(removed->GetParentNamespace(), ScriptNamespace::Nil());
        EXPECT_EQ(orphan->FindObject(String("top")), object.Get());
    }
    EXPECT_EQ(orphan->GetParentNamespace(), ScriptNamespace::Nil());
    EXPECT_EQ(orphan->FindObject(String("top")), Nil());
    EXPECT_EQ(orphan->FindNamespace("removed", 1), ScriptNamespace::Nil());
}

TEST_F(Namespaces, DeepChainsNeedNoRecursion) {
    constexpr int k_Depth = 100000;
    Obj<ScriptNamespace> root = ScriptNamespace::Create(nullptr, "");
    Obj<Object> top = Named(""), bottom = Named("");
    root->DefObject(top, String("top"));
    ScriptNamespace* deepest = root;
    for (int i = 0; i < k_Depth; ++i)
        deepest = deepest->CreateNamespace("n", 0);
    deepest->DefObject(bottom, String("bottom"));
    EXPECT_EQ(deepest->FindObject(String("top")), top.Get());
    EXPECT_EQ(deepest->FindNamespace("missing", 1), ScriptNamespace::Nil());
    EXPECT_EQ(deepest->FindClass("Missing"), NilObjectAs<ScriptClass>());
    Array<Obj<ScriptObject>> all;
    root->GetObjectList(all, 1);
    EXPECT_EQ(all.Size(), 2);
    all.Clear();
    Array<String> names;
    root->ListObjects(&names, nullptr, 1, nullptr, String());
    ASSERT_EQ(names.Size(), 2);
    Obj<ScriptNamespace> copy = ScriptNamespace::Create(nullptr, "");
    EXPECT_EQ(copy->MergeNamespace(root), SOK);
    EXPECT_EQ(root->ClearObjectReferences(bottom, 1), SOK);
    root = nullptr; // tears the chain down
    copy = nullptr;
    EXPECT_EQ(BlockRefCount(bottom.Get()), 1);
}

TEST_F(Namespaces, EngineHoldsOneProgressBarAndIsRegistered) {
    std::atomic<int> gone{0};
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    engine->SetProgressBar(NewObject<Bar>(&gone));
    engine->SetProgressBar(engine->GetProgressBar()); // the same bar again is kept
    EXPECT_EQ(gone, 0);
    engine->SetProgressBar(NewObject<Bar>(&gone));
    EXPECT_EQ(gone, 1);
    engine->SetProgressBar(nullptr);
    EXPECT_EQ(gone, 2);
    const struct {
        double m_Done, m_Total;
        float m_Fraction;
    } fractions[] = {{5, 10, 0.5f}, {15, 10, 1}, {-1, 10, 0}, {3, 0, 0}, {NAN, 10, 0}, {1, NAN, 0}};
    for (const auto& f : fractions)
        EXPECT_EQ(ProgressBar::Fraction(f.m_Done, f.m_Total), f.m_Fraction) << f.m_Done;

    EXPECT_TRUE(engine->IsA(BuiltinTypeID(k_ClassScriptEngine)));
    EXPECT_TRUE(engine->GetRootNamespace()->IsA(BuiltinTypeID(k_ClassScriptNamespace)));
    Obj<ScriptObject> made = ScriptObject::Create(BuiltinTypeID(k_ClassScriptEngine));
    EXPECT_TRUE(made->IsA(BuiltinTypeID(k_ClassScriptEngine)));
}
