// Round trips of scenes: objects written in the ascii form and read in a fresh engine, what was
// read written in the binary form and read again, and that in the compiled form; after each load
// every object is compared member by member with its original. The demo scene, and generated
// objects of every registered class with random values in every member, linked to each other
// (cycles included).

#include "SceneTestSupport.h"

#include "quorlix/animation/AnimationClassIndex.h"
#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/script/ClassBinding.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/script/ScriptStreamBinary.h"
#include "quorlix/script/VPUAsm.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/script/internal/MemberAccessors.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"
#include "support/ObjectCompare.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// Each object of one engine and its counterpart in another.
using Counterparts = std::map<const ScriptObject*, const ScriptObject*>;

class SceneExport : public SceneTest {
protected:
    // Executes `pipe` from its start in `target`, which must take it without a message.
    static Obj<ScriptObject> Load(ScriptEngine& target, StreamPipeMemory* pipe, Form form) {
        LogCapture log;
        pipe->Seek(0, SeekBegin);
        Obj<ScriptObject> result = target.Execute(pipe, String(FormName(form)), 0);
        EXPECT_EQ(target.GetErrorCount(), 0);
        const std::vector<std::string> messages = log.Messages();
        EXPECT_EQ(std::set<std::string>(messages.begin(), messages.end()), std::set<std::string>{});
        return result;
    }

    // Exports `roots` with ExportRoots in the form S writes, reads that in a fresh engine that
    // knows no script class, and compares each of `compared` (else `roots`) with what was read.
    // Returns the bytes written.
    template <class S>
    std::string Reload(ScriptEngine& engine, const Array<Obj<ScriptObject>>& roots, unsigned flags,
                       const Array<Obj<ScriptObject>>* compared = nullptr) {
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        S stream(pipe);
        engine.ExportRoots(stream, roots, flags);
        const Obj<ScriptEngine> fresh = m_Engines.emplace_back(ScriptEngine::Create());
        Load(*fresh, pipe, std::is_same_v<S, ScriptStreamAlpha> ? Form::Ascii : Form::Binary);
        const ScriptNamespace* ns = fresh->GetCurrentNamespace();
        const ObjectNumbers numbers = [&](const ScriptObject* o) { return stream.NumberOf(o); };
        for (const Obj<ScriptObject>& o : compared != nullptr ? *compared : roots)
            ExpectSameObject(o, ns->FindObjectID(numbers(o)), numbers, ns);
        return std::string(pipe->GetData(), pipe->GetData() + pipe->GetSize());
    }

    // A fresh engine that knows the script classes of `engine`; its objects are unlinked when
    // the test ends, since objects read back link to each other as the originals do.
    Obj<ScriptEngine> FreshEngine(ScriptEngine& engine) {
        Array<Obj<ScriptClass>> classes;
        engine.GetClassList(classes);
        m_Engines.emplace_back(ScriptEngine::Create())->ImportClassList(classes);
        return m_Engines.back();
    }
    void ReleaseEngines() {
        for (const Obj<ScriptEngine>& engine : m_Engines) {
            Array<Obj<ScriptObject>> all;
            engine->GetObjectList(all, 1);
            BreakLinks(all);
        }
        m_Engines.clear();
    }
    void TearDown() override {
        ReleaseEngines();
        SceneTest::TearDown();
    }

    // `objects` through the ascii, then the binary, then the compiled form, each written from
    // what the previous form read (each object once, as Export and ExportASM write a tree);
    // after every load each object is compared with its original.
    void ThroughEveryForm(ScriptEngine& engine, const Array<Obj<ScriptObject>>& objects,
                          unsigned flags) {
        Counterparts now; // each original's copy in the latest engine
        for (const Obj<ScriptObject>& o : objects)
            now[o.Get()] = o.Get();
        Array<Obj<ScriptObject>> written = objects;
        for (Form form : {Form::Ascii, Form::Binary, Form::Compiled}) {
            SCOPED_TRACE(FormName(form));
            Obj<ScriptEngine> target = FreshEngine(engine);
            Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
            const std::vector<uint32_t> numbers = WriteObjects(form, written, flags & 1, pipe);
            Load(*target, pipe, form);
            for (int i = 0; i < written.Size(); ++i) {
                const ScriptObject* after =
                    target->GetCurrentNamespace()->FindObjectID(numbers[size_t(i)]);
                EXPECT_FALSE(after->IsNil()) << numbers[size_t(i)];
                now[objects[i].Get()] = after;
            }
            written.Clear();
            for (const Obj<ScriptObject>& o : objects) {
                written.Add(Obj<ScriptObject>(const_cast<ScriptObject*>(now[o.Get()])));
                if (!now[o.Get()]->IsNil())
                    ExpectSame(o, now[o.Get()], now);
            }
            if (HasFailure()) {
                if (form == Form::Ascii)
                    ADD_FAILURE() << std::string(pipe->GetData(), pipe->GetData() + pipe->GetSize())
                                         .substr(0, 6000);
                return;
            }
        }
    }

    // Object links by counterpart.
    static void ExpectSame(const ScriptObject* a, const ScriptObject* b, const Counterparts& map) {
        ExpectSameObject(a, b, [&](const ScriptObject* x, const ScriptObject* y) {
            if (x->IsNil())
                return y->IsNil();
            const auto found = map.find(x);
            return found != map.end() && found->second == y;
        });
    }

    std::vector<Obj<ScriptEngine>> m_Engines;
};

// The demo scene from its ascii text through the three forms in turn, each written from what
// the previous one read: every object equal to the original.
TEST_F(SceneExport, DemoSceneTravelsThroughEveryForm) {
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
    {
        // Export puts the script's classes first, the enumeration before the class using it.
        Obj<StreamPipeMemory> text = StreamPipeMemory::Create();
        ScriptStreamAlpha stream(text);
        engine->Export(stream, root, 0);
        const std::string written(text->GetData(), text->GetData() + text->GetSize());
        EXPECT_EQ(written.rfind("//KS 0.3 F010219x\nenum Mood .{\n .Calm 0;\n .Stormy 1;\n};\n"
                                "class Lamp > TTransform .{\n .Label \"lamp\";\n"
                                " .Brightness 0.75;\n .Mood Mood.Calm;\n};\nTTransform$1.",
                                0),
                  0u);
        EXPECT_NE(written.find("Lamp$"), std::string::npos); // a script class on a library class
    }
    for (unsigned flags : {0u, 1u}) {
        SCOPED_TRACE(flags);
        ThroughEveryForm(*engine, tree, flags);
        // The binary export carries the declarations into an engine that knows none of them.
        Reload<ScriptStreamBinary>(*engine, ArrayOf({root}), flags, &tree);
    }
}

// Two trees that share a branch: each object is written once, and the compiled program ends
// once, with the first root as its result.
TEST_F(SceneExport, TreesThatShareObjectsWriteThemOnce) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    engine->Execute(String("STransform:s.{ .Translation (1, 2, 3); };\n"
                           "TTransform:a.{ .SNode :s; };\nTTransform:b.{ .SNode :s; };"),
                    String("shared.kss"), 0);
    ASSERT_EQ(engine->GetErrorCount(), 0);
    const Array<Obj<ScriptObject>> roots =
        ArrayOf<Obj<ScriptObject>>({engine->FindObjectC("a"), engine->FindObjectC("b")});
    const std::string text = Reload<ScriptStreamAlpha>(*engine, roots, 0);
    EXPECT_EQ(text.find("\nSTransform$2."), text.rfind("\nSTransform$2.")) << text;
    EXPECT_TRUE(m_Engines.back()->GetCurrentNamespace()->FindObjectID(4)->IsNil()); // 3 objects
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    VPUAsmWriter writer(pipe);
    EXPECT_EQ(engine->ExportRootsASM(writer, roots, 0), 0);
    Obj<ScriptEngine> fresh = ScriptEngine::Create();
    const Obj<ScriptObject> result = Load(*fresh, pipe, Form::Compiled);
    const ScriptNamespace* ns = fresh->GetCurrentNamespace();
    const ObjectNumbers numbers = [&](const ScriptObject* o) { return writer.NumberOf(o); };
    for (const Obj<ScriptObject>& root : roots)
        ExpectSameObject(root, ns->FindObjectID(numbers(root)), numbers, ns);
    EXPECT_TRUE(ns->FindObjectID(4)->IsNil());
    EXPECT_EQ(result.Get(), ns->FindObjectID(writer.NumberOf(roots[0])));
}

// Objects of script classes carry the declarations they need (bases and enumerations first,
// each once, unused ones left out) through the ascii and binary forms into an engine that knows
// none; script members are no owned links, so objects that link to each other are all roots.
TEST_F(SceneExport, ScriptClassesTravelWithTheirObjects) {
    const Obj<ScriptEngine> engine = m_Engines.emplace_back(ScriptEngine::Create());
    engine->Execute(
        String(
            "enum Unused .{ .X 1; };\nenum Mood .{ .Calm 0; .Stormy 5; };\n"
            "class Base .{ .Level 2; .Mode Mood.Stormy; .Tags [\"a\"]; };\n"
            "class Spare .{ };\n"
            "class Leaf > Base .{ .Glow 0.5; .Next Nil; .Id 7u; .Big 9I; .Fine 2.5F; .B False;\n"
            "  .S \"\"; .Pos (1, 2, 3); .Path [(0, 1)]; .Wide 3U; .Sp ((0, 0, 0), -1.0);\n"
            "  .M (1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1); .Fs [0.5]; };\n"
            "Leaf:one.{ .Level 3; .Mode Mood.Calm; .Glow 1.5; .Big 10I; .B True; .S \"q\\\"\\n\";\n"
            "  .Fine 0.1F; .Pos (1, 2.5, -3e-7); .Sp ((1, 2, 3), 4.5); .Fs [1.5, -2.0];\n"
            "  .Next Leaf:three.{ .Next Leaf:one; .Fs []; .M (1,2,3,4, 5,6,7,8, 9,10,11,12,\n"
            "  13,14,15,16.5); }; };\nBase:two.{ .Tags [\"b\", \"c\"]; };"),
        String("classes.kss"), 0);
    ASSERT_EQ(engine->GetErrorCount(), 0);
    const Array<Obj<ScriptObject>> roots = ArrayOf<Obj<ScriptObject>>(
        {engine->FindObjectC("one"), engine->FindObjectC("two"), engine->FindObjectC("three")});
    for (unsigned flags : {0u, 1u}) {
        SCOPED_TRACE(flags);
        const std::string written = Reload<ScriptStreamAlpha>(*engine, roots, flags);
        Reload<ScriptStreamBinary>(*engine, roots, flags);
        const size_t mood = written.find("enum Mood");
        const size_t base = written.find("class Base .{");
        const size_t leaf = written.find("class Leaf > Base");
        EXPECT_TRUE(mood < base && base < leaf && leaf < written.find("Leaf$1")) << written;
        EXPECT_EQ(leaf, written.rfind("class Leaf")) << written;
        EXPECT_EQ(written.find("Unused"), std::string::npos) << written;
        EXPECT_EQ(written.find("Spare"), std::string::npos) << written;
    }
    // The compiled form cannot carry them: the export refuses, writing only the header.
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
    VPUAsmWriter writer(pipe);
    LogCapture log;
    EXPECT_EQ(engine->ExportRootsASM(writer, roots, 0), -1);
    EXPECT_EQ(log.Messages(), std::vector<std::string>{"[Error]ScriptEngine::ExportASM: class "
                                                       "\"Leaf\" is declared by a script; the "
                                                       "compiled form cannot carry it."});
    EXPECT_EQ(pipe->GetSize(), 4);
}

constexpr int k_ClassGauge = 230; // a built-in slot that no class of the library takes

// Member types that the library's classes lack: quaternions, and arrays of the wide numbers,
// Bool, spheres, strings and objects.
class Gauge : public Object {
public:
    Quaternionf m_Turn = Quaternionf::Identity;
    Array<Quaternionf> m_Turns;
    Array<Quaternionf> m_Spins;
    Array<int64_t> m_Longs;
    Array<uint64_t> m_Wides;
    Array<double> m_Doubles;
    Array<bool> m_Flags;
    Array<Spheref> m_Spheres;
    Array<String> m_Texts;
    Array<Obj<ScriptObject>> m_Links;
};

const MemberRow k_GaugeRows[] = {
    Bind::Field<&Gauge::m_Turn>("Turn", 1).Default(Quaternionf::Identity),
    Bind::Field<&Gauge::m_Turns>("Turns", 2, MemberIsIndex),
    Bind::Field<&Gauge::m_Spins>("Spins", 3, MemberIsArray),
    Bind::Field<&Gauge::m_Longs>("Longs", 4, MemberIsArray),
    Bind::Field<&Gauge::m_Wides>("Wides", 5, MemberIsIndex),
    Bind::Field<&Gauge::m_Doubles>("Doubles", 6, MemberIsArray),
    Bind::Field<&Gauge::m_Flags>("Flags", 7, MemberIsArray),
    Bind::Field<&Gauge::m_Spheres>("Spheres", 8, MemberIsArray),
    Bind::Field<&Gauge::m_Texts>("Texts", 9, MemberIsArray),
    Bind::Field<&Gauge::m_Links>("Links", 10, MemberObjectLink | MemberObjectIndex | MemberIsArray),
};

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

// Calls `visit` with every object that a written member of `o` links to.
template <class F>
void ForEachLink(const ScriptObject* o, F&& visit) {
    ForEachWrittenMember(
        o, [&](const MVTBLHeader&, const MVTBL& entry, int, const ClassType_MemberID* m) {
            if (TypeIDToKind(entry.m_Type) != Kind_Object)
                return;
            for (const Obj<ScriptObject>& l : LinkedObjects(o, m, entry.m_Flags))
                visit(l.Get());
        });
}

// Every written member of `o` set to random values (arrays of 1 to 3 elements).
void Randomise(std::mt19937& random, ScriptObject* o, Array<Obj<ScriptObject>>& pool,
               int scriptEnumeration) {
    ForEachWrittenMember(
        o, [&](const MVTBLHeader& header, const MVTBL& entry, int k, const ClassType_MemberID* m) {
            const int c = ClassIndexOf(header.m_ClassID);
            const MemberRow* row = nullptr;
            const int enumeration = EnumerationOf(c, k, scriptEnumeration, row);
            Internal::WithValueType(ClassIndexOf(entry.m_Type), [&]<class V>() {
                if ((entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0) {
                    Array<typename ScriptValueTraits<V>::Element> values;
                    for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) {
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
        });
}

TEST_F(SceneExport, EveryMemberOfEveryClassReadsBackEqual) {
    ASSERT_TRUE(BindClass(
        Bind::NativeClass<Gauge>(k_ClassGauge, k_ClassObject, "Gauge").Members(k_GaugeRows)));
    CreateCVTBLHash(BuiltinTypeID(k_ClassGauge));
    struct Unbind { // after the objects of the class are gone
        std::function<void()> m_Release;
        ~Unbind() {
            m_Release();
            DeleteClass(BuiltinTypeID(k_ClassGauge));
        }
    } unbind{[this] { ReleaseEngines(); }};
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    engine->Execute(String("enum Mood . { .Calm 0; .Stormy 1; .Odd 7; };\n"
                           "class Lamp > TTransform . { .Label \"\"; .Mood Mood.Calm; .Next Nil; "
                           ".Glow 0.5; .Path [(0, 0, 0)]; };"),
                    String("classes.kss"), 0);
    ASSERT_EQ(engine->GetErrorCount(), 0);
    // Member identifiers: no library class holds one.
    engine->GetCurrentNamespace()->AddClass(
        DefineClass("Dial", BuiltinTypeID(k_ClassObject),
                    {{"Watch", k_ClassMemberID}, {"Watches", k_ClassMemberID, MemberIsArray}}));
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
    // The pool grows while links are made, and takes in every object linked to (the S objects
    // that T objects make for themselves), so that it holds all that is written.
    std::set<const ScriptObject*> pooled(pool.begin(), pool.end());
    for (int i = 0; i < pool.Size(); ++i) {
        Randomise(random, pool[i], pool, mood);
        // Reading a connection group's Object array back grows its parallel arrays with it.
        if (auto* group = dynamic_cast<ConnectionGroup*>(pool[i].Get()))
            group->SetObjectCount(group->GetObjectCount());
        ForEachLink(pool[i], [&](const ScriptObject* linked) {
            if (!linked->IsNil() && pooled.insert(linked).second)
                pool.Add(Obj<ScriptObject>(const_cast<ScriptObject*>(linked)));
        });
    }
    // Objects as made, with empty arrays.
    pool.Add(Obj<ScriptObject>(ScriptObject::Create(BuiltinTypeID(k_ClassGauge))));
    pool.Add(Obj<ScriptObject>(ScriptObject::Create(engine->FindClass("Dial")->GetClassID())));

    // What the scene holds: value types by form, arrays also by whether they are empty.
    std::set<std::string> held;
    for (const Obj<ScriptObject>& o : pool) {
        ForEachWrittenMember(
            o, [&](const MVTBLHeader&, const MVTBL& entry, int, const ClassType_MemberID* m) {
                const int type = ClassIndexOf(entry.m_Type);
                const T_Kind kind = TypeIDToKind(entry.m_Type);
                const char* name = type == k_ClassQuaternionf ? "Quaternionf"
                                   : kind == Kind_Enum        ? "Enum"
                                   : kind == Kind_Object      ? "Object"
                                                              : TypeIDToString(entry.m_Type);
                if ((entry.m_Flags & (MemberIsIndex | MemberIsArray)) == 0)
                    held.insert(name);
                else
                    held.insert(std::string(name) + (entry.Size(o, m) > 0 ? "[n]" : "[]"));
            });
    }
    for (const char* wanted :
         {"Enum",           "MemberID",      "Quaternionf", "Spheref", "F32",        "F64",
          "Quaternionf[n]", "Quaternionf[]", "I64[n]",      "I64[]",   "U64[n]",     "U64[]",
          "F64[n]",         "F64[]",         "Bool[n]",     "Bool[]",  "Spheref[n]", "Spheref[]",
          "String[n]",      "String[]",      "Object[n]",   "Object[]"})
        EXPECT_TRUE(held.count(wanted) != 0) << wanted;
    for (unsigned flags : {0u, 1u}) {
        SCOPED_TRACE(flags);
        ThroughEveryForm(*engine, pool, flags);
        if (HasFailure())
            break;
    }
    BreakLinks(pool);
}

TEST_F(SceneExport, CompiledSNodeLinksEndAsThoughEachNewSObjectWereMade) {
    // The compiled loader may number the S object a T object made for itself instead of making
    // the one a program links: only where nobody could tell the difference.
    const uint32_t sNode = IDValue(MemberIDOf<ClassType_MemberID>(1, k_ClassTNode));
    const uint32_t translation = IDValue(Member<Vector3f>(k_ClassSSimpleTransform, "Translation"));
    const uint32_t t = IDValue(BuiltinTypeID(k_ClassTTransform));
    const uint32_t s = IDValue(BuiltinTypeID(k_ClassSTransform));
    const uint32_t joint = IDValue(BuiltinTypeID(k_ClassSJoint));
    const auto op = [](AsmOp o) { return static_cast<uint32_t>(o); };
    const uint32_t create = op(AsmOp::create_tO_cOTu), select = op(AsmOp::select_tO_cOu),
                   link = op(AsmOp::mfnset_tO_cT_cOTu), v3 = op(AsmOp::mfnset_tO_cT_cv3f);
    const uint32_t one = std::bit_cast<uint32_t>(1.0f);
    struct Case {
        const char* m_Name;
        std::vector<uint32_t> m_Words;
        int m_Errors;
        // Number of each T object -> number of the S object it ends with (0: one not numbered).
        std::vector<std::pair<uint32_t, uint32_t>> m_Links;
        Vector3f m_Translation = Vector3f::Zero; // of the S object of T object 1
    };
    const Case cases[] = {
        {"a new S object of the T object's class",
         {create, t, 1, link, sNode, s, 2, create, s, 2, v3, translation, one, one, one},
         0,
         {{1, 2}},
         Vector3f(1, 1, 1)},
        {"an S object of another class is refused",
         {create, t, 1, link, sNode, joint, 2},
         1,
         {{1, 0}}},
        {"two T objects share one S object",
         {create, t, 1, link, sNode, s, 2, create, t, 3, link, sNode, s, 2},
         0,
         {{1, 2}, {3, 2}}},
        {"a second new S object for the same T object",
         {create, t, 1, link, sNode, s, 2, link, sNode, s, 4},
         0,
         {{1, 4}}},
        {"an S object made before its T object",
         {create, s, 2, create, t, 1, link, sNode, s, 2},
         0,
         {{1, 2}}},
        {"a T object selected again",
         {create, t, 1, create, s, 5, select, 1, link, sNode, s, 2},
         0,
         {{1, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.m_Name);
        std::string file = "KSC\x01";
        for (uint32_t word : c.m_Words)
            for (int b = 0; b < 4; ++b)
                file.push_back(static_cast<char>(word >> (8 * b) & 0xFF));
        Obj<ScriptEngine> engine = ScriptEngine::Create();
        LogCapture log;
        engine->Execute(StreamPipeMemory::Create(file.data(), static_cast<int>(file.size())),
                        String("links"), 0);
        EXPECT_EQ(int(log.Messages().size()), c.m_Errors);
        ScriptNamespace* ns = engine->GetCurrentNamespace();
        std::set<const SNode*> held;
        for (const auto& [tNumber, sNumber] : c.m_Links) {
            ScriptObject* tObject = ns->FindObjectID(tNumber);
            ASSERT_TRUE(tObject->IsA(BuiltinTypeID(k_ClassTTransform)));
            const SNode* sObject = static_cast<TTransform*>(tObject)->GetSNode();
            held.insert(sObject);
            EXPECT_EQ(sObject->GetObjectClassID(), BuiltinTypeID(k_ClassSTransform));
            if (sNumber != 0) {
                EXPECT_EQ(sObject, ns->FindObjectID(sNumber));
                continue;
            }
            // Not numbered: held by its T object alone, and the number is another object.
            EXPECT_EQ(BlockRefCount(sObject), 1);
            EXPECT_NE(ns->FindObjectID(2), sObject);
            EXPECT_EQ(ns->FindObjectID(2)->GetObjectClassID(), BuiltinTypeID(k_ClassSJoint));
        }
        // Every numbered S object is held by its record (and as the first object), and as
        // often as it is linked.
        for (uint32_t number : {2u, 4u, 5u}) {
            const ScriptObject* numbered = ns->FindObjectID(number);
            if (numbered->IsNil() || !numbered->IsA(BuiltinTypeID(k_ClassSTransform)))
                continue;
            const auto links = std::count_if(c.m_Links.begin(), c.m_Links.end(),
                                             [&](const auto& l) { return l.second == number; });
            const int first = ns->GetFirstObject() == numbered ? 1 : 0;
            EXPECT_EQ(BlockRefCount(numbered), 1 + first + int(links)) << number;
        }
        const auto* first = static_cast<TTransform*>(ns->FindObjectID(1));
        EXPECT_EQ(static_cast<const STransform*>(first->GetSNode())->GetTranslation(),
                  c.m_Translation);
    }
}

} // namespace
