// Round trips of scenes: objects executed, exported, executed again in a fresh engine and
// compared member by member. The demo scene through all three forms, and generated objects of
// every registered class with random values in every member, linked to each other (cycles
// included).

#include "SceneTestSupport.h"

#include "quorlix/animation/AnimationClassIndex.h"
#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/script/ClassBinding.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/script/ScriptStreamBinary.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/script/internal/MemberAccessors.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"

#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

class SceneExport : public QuorlixTest::SceneTest {
protected:
    // Exports the trees of `roots` (or, without `trees`, each of them alone) with `flags`
    // through one ascii stream, executes the text
    // in a fresh engine that knows `classes`, and compares each exported object with the one
    // read back under its number. Returns the text.
    std::string RoundTrip(ScriptEngine& engine, const Array<Obj<ScriptObject>>& roots,
                          unsigned flags, bool trees) {
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        ScriptStreamAlpha stream(pipe);
        // Trees are exported whole; a flat list writes each object once, as Export would,
        // since a second statement for one object sets its members again in another state.
        for (const Obj<ScriptObject>& root : roots) {
            if (trees) {
                engine.Export(stream, root, flags);
                continue;
            }
            stream.WriteClassToken(root->GetObjectClassID(), root->GetClassRow());
            stream.WriteObject(root);
            if ((flags & 1) != 0)
                root->WriteNonDefault(stream);
            else
                root->Write(stream);
            stream.WriteToken(LexSemicolon);
            stream.WriteToken(LexCRLF);
        }
        const std::string text(pipe->GetData(), pipe->GetData() + pipe->GetSize());

        Obj<ScriptEngine> fresh = ScriptEngine::Create();
        struct Unlink { // the objects read back link to each other as the originals do
            ScriptEngine* m_Engine;
            ~Unlink() {
                Array<Obj<ScriptObject>> all;
                m_Engine->GetObjectList(all, 1);
                QuorlixTest::BreakLinks(all);
            }
        } unlink{fresh.Get()};
        Array<Obj<ScriptClass>> classes;
        engine.GetClassList(classes);
        fresh->ImportClassList(classes);
        {
            LogCapture log;
            fresh->Execute(String(text.c_str(), static_cast<int>(text.size())),
                           String("export.kss"), 0);
            EXPECT_EQ(fresh->GetErrorCount(), 0);
            const std::vector<std::string> messages = log.Messages();
            const std::set<std::string> distinct(messages.begin(), messages.end());
            EXPECT_EQ(distinct, std::set<std::string>{});
        }
        ScriptNamespace* ns = fresh->GetCurrentNamespace();
        Array<Obj<ScriptObject>> all;
        for (const Obj<ScriptObject>& root : roots) {
            Array<Obj<ScriptObject>> tree;
            if (trees)
                root->Traverse(tree);
            else
                tree.Add(root);
            for (const Obj<ScriptObject>& o : tree)
                all.Add(o);
        }
        for (const Obj<ScriptObject>& before : all) {
            const uint32_t number = stream.NumberOf(before);
            const ScriptObject* after = ns->FindObjectID(number);
            EXPECT_FALSE(after->IsNil()) << number;
            if (!after->IsNil())
                ExpectSame(
                    before, after, [&](const ScriptObject* o) { return stream.NumberOf(o); }, ns);
        }
        return text;
    }

    // Values by Compare; object links by the number the writer gave the linked object.
    using Numbers = std::function<uint32_t(const ScriptObject*)>;
    static void ExpectSame(const ScriptObject* a, const ScriptObject* b, const Numbers& numberOf,
                           const ScriptNamespace* ns) {
        ASSERT_STREQ(a->GetObjectClassName(), b->GetObjectClassName());
        auto same = [&](const ScriptObject* x, const ScriptObject* y) {
            return x->IsNil() ? y->IsNil() : ns->FindObjectID(numberOf(x)) == y;
        };
        for (const MVTBL* table = a->GetClassTable(); table != nullptr;) {
            const MVTBLHeader* header = TableHeader(table);
            const int c = ClassIndexOf(header->m_ClassID);
            for (int k = 1; k < header->m_Count; ++k) {
                const MVTBL& entry = table[k];
                if (entry.m_Name == nullptr || (entry.m_Flags & MemberNotWritten) != 0)
                    continue;
                const ClassType_MemberID* m = MemberIDOf(k, c);
                const std::string where = std::string(header->m_Name) + "." + entry.m_Name;
                if (TypeIDToKind(entry.m_Type) != Kind_Object) {
                    EXPECT_TRUE(a->Compare(m, b)) << where;
                    continue;
                }
                Array<Obj<ScriptObject>> left;
                Array<Obj<ScriptObject>> right;
                if ((entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0) {
                    a->GetArray<ScriptObject*>(static_cast<const ClassMember*>(m), left);
                    b->GetArray<ScriptObject*>(static_cast<const ClassMember*>(m), right);
                } else {
                    left.Add(Obj<ScriptObject>(a->Get(static_cast<const ClassMember_Object*>(m))));
                    right.Add(Obj<ScriptObject>(b->Get(static_cast<const ClassMember_Object*>(m))));
                }
                ASSERT_EQ(left.Size(), right.Size()) << where;
                for (int i = 0; i < left.Size(); ++i)
                    EXPECT_TRUE(same(left[i], right[i])) << where << "[" << i << "]";
            }
            table =
                header->m_BaseID != nullptr ? IsTableOf(ClassIndexOf(header->m_BaseID)) : nullptr;
        }
    }
};

TEST_F(SceneExport, DemoSceneReadsBackEqual) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    ASSERT_FALSE(Storage::SetReadPath(String(QUORLIX_EXAMPLES_DIR "/demo/")));
    Obj<StreamPipe> pipe = Storage::OpenStream(String(QUORLIX_EXAMPLES_DIR "/demo/scene.kss"), 0);
    LogCapture log;
    engine->Execute(pipe, String("scene.kss"), 0);
    ASSERT_EQ(engine->GetErrorCount(), 0) << log.Text();
    const Obj<ScriptObject> root(engine->FindObjectC("root"));
    ASSERT_FALSE(root->IsNil());
    Array<Obj<ScriptObject>> tree;
    root->Traverse(tree);
    ASSERT_GT(tree.Size(), 10);
    Array<Obj<ScriptObject>> roots;
    roots.Add(root);
    for (unsigned flags : {0u, 1u}) {
        SCOPED_TRACE(flags);
        const std::string text = RoundTrip(*engine, roots, flags, true);
        EXPECT_EQ(text.rfind("//KS 0.3 F010219x\nTTransform$1.", 0), 0u);
        EXPECT_NE(text.find("Lamp$"), std::string::npos); // a script class on a library class
        if (HasFailure())
            ADD_FAILURE() << text.substr(0, 4000);
    }
}

// The demo scene from its ascii text, written in the binary form and read back, then written
// in the compiled form from what was read and run: every object equal to the original.
TEST_F(SceneExport, DemoSceneTravelsThroughTheBinaryAndCompiledForms) {
    Obj<ScriptEngine> original = ScriptEngine::Create();
    ASSERT_FALSE(Storage::SetReadPath(String(QUORLIX_EXAMPLES_DIR "/demo/")));
    original->Execute(Storage::OpenStream(String(QUORLIX_EXAMPLES_DIR "/demo/scene.kss"), 0),
                      String("scene.kss"), 0);
    ASSERT_EQ(original->GetErrorCount(), 0);
    ScriptObject* root = original->FindObjectC("root");
    Array<Obj<ScriptObject>> tree;
    root->Traverse(tree);
    Array<Obj<ScriptClass>> classes;
    original->GetClassList(classes);
    // Executes `pipe` in a fresh engine that knows the script's classes.
    auto reload = [&](StreamPipe* pipe, const char* name) {
        Obj<ScriptEngine> engine = ScriptEngine::Create();
        engine->ImportClassList(classes);
        pipe->Seek(0, SeekBegin);
        LogCapture log;
        engine->Execute(pipe, String(name), 0);
        EXPECT_EQ(engine->GetErrorCount(), 0) << name;
        EXPECT_EQ(log.Messages(), std::vector<std::string>{}) << name;
        return engine;
    };
    std::vector<Obj<ScriptEngine>> engines;
    for (unsigned flags : {0u, 1u}) {
        SCOPED_TRACE(flags);
        Obj<StreamPipeMemory> binary = StreamPipeMemory::Create();
        ScriptStreamBinary stream(binary);
        original->Export(stream, root, flags);
        EXPECT_EQ(std::memcmp(binary->GetData(), "KSB\x03", 4), 0);
        Obj<ScriptEngine> fromBinary = reload(binary, "export.ksb");
        const ScriptNamespace* ns1 = fromBinary->GetCurrentNamespace();
        const Numbers numbers1 = [&](const ScriptObject* o) { return stream.NumberOf(o); };
        for (const Obj<ScriptObject>& object : tree)
            ExpectSame(object, ns1->FindObjectID(numbers1(object)), numbers1, ns1);

        Obj<StreamPipeMemory> compiled = StreamPipeMemory::Create();
        VPUAsmWriter writer(compiled);
        fromBinary->ExportASM(writer, ns1->FindObjectID(numbers1(root)), flags);
        EXPECT_EQ(std::memcmp(compiled->GetData(), "KSC\x01", 4), 0);
        Obj<ScriptEngine> fromCompiled = reload(compiled, "export.ksc");
        const ScriptNamespace* ns2 = fromCompiled->GetCurrentNamespace();
        const Numbers numbers2 = [&](const ScriptObject* o) { return writer.NumberOf(o); };
        for (const Obj<ScriptObject>& object : tree) {
            const ScriptObject* middle = ns1->FindObjectID(numbers1(object));
            ExpectSame(middle, ns2->FindObjectID(numbers2(middle)), numbers2, ns2);
        }
        engines.push_back(fromBinary);
        engines.push_back(fromCompiled);
    }
    for (const Obj<ScriptEngine>& engine : engines) {
        Array<Obj<ScriptObject>> all;
        engine->GetObjectList(all, 1);
        QuorlixTest::BreakLinks(all);
    }
}

// A random value of type V for member `m` of `self`; false when none can be made.
template <class V>
bool RandomValue(std::mt19937& random, const MemberRow* row, const MVTBL& entry,
                 Array<Obj<ScriptObject>>& pool, int enumeration, V& out) {
    auto real = [&] {
        std::uniform_real_distribution<float> d(-1000.0f, 1000.0f);
        return d(random) * (random() % 3 == 0 ? 1e-6f : 1.0f);
    };
    auto floats = [&](void* to, int n) {
        for (int i = 0; i < n; ++i) {
            const float f = real();
            std::memcpy(static_cast<char*>(to) + 4 * i, &f, 4);
        }
    };
    if constexpr (std::is_same_v<V, bool>) {
        out = random() % 2 == 0;
    } else if constexpr (std::is_integral_v<V>) {
        out = static_cast<V>((static_cast<uint64_t>(random()) << 32) | random());
    } else if constexpr (std::is_same_v<V, float>) {
        out = real();
    } else if constexpr (std::is_same_v<V, double>) {
        out = static_cast<double>(real()) / 3.0;
    } else if constexpr (std::is_same_v<V, String>) {
        static const char k_Bytes[] = "ab \"\\\n\t\x01\xff.;{}$";
        std::string text;
        for (int n = static_cast<int>(random() % 8); n > 0; --n)
            text.push_back(k_Bytes[random() % (sizeof(k_Bytes) - 1)]);
        out = String(text.c_str(), static_cast<int>(text.size()));
    } else if constexpr (std::is_same_v<V, const ClassType_Enum*>) {
        const MVTBL* table = IsTableOf(enumeration);
        if (table == nullptr || TableHeader(table)->m_Count < 2)
            return false;
        const int k = 1 + static_cast<int>(random() % (TableHeader(table)->m_Count - 1));
        out = MemberIDOf<ClassType_Enum>(k, enumeration);
    } else if constexpr (std::is_same_v<V, const ClassType_MemberID*>) {
        out = random() % 2 == 0 ? Object::NameMember() : MemberIDOf(1, k_ClassBool);
    } else if constexpr (std::is_same_v<V, ScriptObject*>) {
        const ClassType_TypeID* required =
            row != nullptr && row->m_ObjectClass != nullptr ? row->m_ObjectClass() : entry.m_Type;
        const bool any = required == nullptr || ClassIndexOf(required) == k_ClassScriptObject;
        out = &G_NilObject;
        if (random() % 5 == 0)
            return true;
        for (int tries = 0; tries < 64; ++tries) {
            ScriptObject* candidate = pool[static_cast<int>(random() % pool.Size())];
            if (any || candidate->IsA(required)) {
                out = candidate;
                return true;
            }
        }
        Obj<ScriptObject> made = ScriptObject::Create(required);
        if (made->IsNil())
            return true;
        pool.Add(made);
        out = made.Get();
    } else {
        floats(&out, sizeof(V) / 4);
    }
    return true;
}

// The enumeration class of member k of class c: its row's, else any script enumeration.
int EnumerationOf(int c, int k, int fallback, const MemberRow*& row) {
    row = nullptr;
    const ClassBinding* binding = FindClassBinding(MakeTypeID(static_cast<int32_t>(c)));
    for (int r = 0; binding != nullptr && r < binding->m_RowCount; ++r) {
        if (binding->m_Rows[r].m_Index == k)
            row = &binding->m_Rows[r];
    }
    return row != nullptr && row->m_Enumeration != 0 ? row->m_Enumeration : fallback;
}

// Every written member of `o` set to random values (arrays of 0 to 3 elements).
void Randomise(std::mt19937& random, ScriptObject* o, Array<Obj<ScriptObject>>& pool,
               int scriptEnumeration) {
    for (const MVTBL* table = o->GetClassTable(); table != nullptr;) {
        const MVTBLHeader* header = TableHeader(table);
        const int c = ClassIndexOf(header->m_ClassID);
        for (int k = 1; k < header->m_Count; ++k) {
            const MVTBL& entry = table[k];
            if (entry.m_Name == nullptr ||
                (entry.m_Flags & (MemberNotWritten | MemberIsSomeEnum)) != 0)
                continue;
            const ClassType_MemberID* m = MemberIDOf(k, c);
            const MemberRow* row = nullptr;
            const int enumeration = EnumerationOf(c, k, scriptEnumeration, row);
            Internal::WithValueType(ClassIndexOf(entry.m_Type), [&]<class V>() {
                if ((entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0) {
                    Array<typename ScriptValueTraits<V>::Element> values;
                    for (int n = static_cast<int>(random() % 4); n > 0; --n) {
                        V v = ScriptNeutralValue<V>();
                        if (RandomValue<V>(random, row, entry, pool, enumeration, v))
                            values.Add(v);
                    }
                    o->SetArray<V>(static_cast<const ClassMember*>(m), values);
                } else {
                    V v = ScriptNeutralValue<V>();
                    if (RandomValue<V>(random, row, entry, pool, enumeration, v)) {
                        // Schedulers refuse clips on tracks outside 0..31: a file holding one
                        // does not read back as written.
                        if constexpr (std::is_same_v<V, int32_t>) {
                            if (c == k_ClassAnimationClip && k == 11)
                                v &= 31;
                        }
                        o->Entry(m).Set(o, m, 0, &v);
                    }
                }
            });
        }
        table = header->m_BaseID != nullptr ? IsTableOf(ClassIndexOf(header->m_BaseID)) : nullptr;
    }
}

TEST_F(SceneExport, EveryMemberOfEveryClassReadsBackEqual) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    engine->Execute(String("enum Mood . { .Calm 0; .Stormy 1; .Odd 7; };\n"
                           "class Lamp > TTransform . { .Label \"\"; .Mood Mood.Calm; .Next Nil; "
                           ".Glow 0.5; .Path [(0, 0, 0)]; };"),
                    String("classes.kss"), 0);
    ASSERT_EQ(engine->GetErrorCount(), 0);
    const int mood = ClassIndexOf(engine->FindClass("Mood")->GetClassID());
    Array<Obj<ScriptObject>> pool;
    for (int c = 1; c < k_MasterMVTBLSize; ++c) {
        const MVTBL* table = IsTableOf(c);
        if (table == nullptr || TableHeader(table)->m_Kind != Kind_Object ||
            c == k_ClassScriptEngine || c == k_ClassScriptNamespace || c == k_ClassScriptClass)
            continue;
        Obj<ScriptObject> o = ScriptObject::Create(TableHeader(table)->m_ClassID);
        if (!o->IsNil())
            pool.Add(o);
    }
    ASSERT_GT(pool.Size(), 20);
    std::mt19937 random(20261207);
    for (int i = 0; i < pool.Size(); ++i) { // the pool grows while links are made
        Randomise(random, pool[i], pool, mood);
        // Reading a connection group's Object array back grows its parallel arrays with it.
        if (auto* group = dynamic_cast<ConnectionGroup*>(pool[i].Get()))
            group->SetObjectCount(group->GetObjectCount());
    }
    for (unsigned flags : {0u, 1u}) {
        SCOPED_TRACE(flags);
        const std::string text = RoundTrip(*engine, pool, flags, false);
        if (HasFailure()) {
            ADD_FAILURE() << text.substr(0, 6000);
            break;
        }
    }
    QuorlixTest::BreakLinks(pool);
}

} // namespace
