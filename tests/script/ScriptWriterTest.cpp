// The script writers byte by byte (ascii, binary, compiled form), the object walks and their
// framing, and ascii round trips of script classes through Export and Execute.

#include "ScriptTestSupport.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/script/ScriptStreamBinary.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"
#include "support/ObjectCompare.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;
using Bytes = std::vector<unsigned char>;

namespace {

class ScriptWriters : public QuorlixTest::ScriptTest {
protected:
    void SetUp() override { m_Pipe = StreamPipeMemory::Create(); }

    // What was written since the last call (the header once).
    Bytes Take() {
        const Bytes all(m_Pipe->GetData(), m_Pipe->GetData() + m_Pipe->GetSize());
        Bytes fresh(all.begin() + static_cast<long>(m_Taken), all.end());
        m_Taken = all.size();
        return fresh;
    }
    std::string TakeText() {
        const Bytes b = Take();
        return std::string(b.begin(), b.end());
    }
    static Bytes Word(uint32_t w) {
        return {static_cast<unsigned char>(w), static_cast<unsigned char>(w >> 8),
                static_cast<unsigned char>(w >> 16), static_cast<unsigned char>(w >> 24)};
    }
    static Bytes Words(std::initializer_list<uint32_t> words) {
        Bytes out;
        for (uint32_t w : words) {
            const Bytes b = Word(w);
            out.insert(out.end(), b.begin(), b.end());
        }
        return out;
    }

    Obj<StreamPipeMemory> m_Pipe;
    size_t m_Taken = 0;
};

TEST_F(ScriptWriters, BinaryTokensAreKindBytesAndLittleEndianPayloads) {
    ScriptStreamBinary s(m_Pipe);
    EXPECT_EQ(Take(), (Bytes{'K', 'S', 'B', 3}));
    s.WriteI32(5);
    EXPECT_EQ(Take(), (Bytes{0x0A, 5, 0, 0, 0}));
    s.WriteIdentifier("abc");
    EXPECT_EQ(Take(), (Bytes{0xA0, 3, 'a', 'b', 'c'}));
    s.WriteMemberToken(MemberIDOf(1, 0x38), nullptr);
    EXPECT_EQ(Take(), (Bytes{169, 1, 0x38, 0}));
    s.WriteClassMemberToken(MakeMemberID(0x02000105u), nullptr); // a script class, index 0x105
    EXPECT_EQ(Take(), (Bytes{170, 2, 0x05, 0x01}));
    s.WriteClassToken(BuiltinTypeID(k_ClassObject), nullptr);
    EXPECT_EQ(Take(), (Bytes{168, 64, 0}));
    s.WriteString("a\0b", 3);
    EXPECT_EQ(Take(), (Bytes{9, 3, 0, 0, 0, 'a', 0, 'b'}));
    s.WriteBool(true);
    s.WriteU64(0x0102030405060708ull);
    EXPECT_EQ(Take(), (Bytes{8, 1, 13, 8, 7, 6, 5, 4, 3, 2, 1}));
    s.WriteVector2f(Vector2f(1.0f, -2.0f));
    EXPECT_EQ(Take(), (Bytes{16, 0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0}));
    {
        // Blank and line ends are not written; other tokens are their kind byte alone.
        s.WriteToken(LexBlank);
        s.WriteToken(LexCRLF);
        s.WriteToken(LexBraceL);
        s.WriteToken(LexSemicolon);
        EXPECT_EQ(Take(), (Bytes{LexBraceL, LexSemicolon}));
    }
    {
        // Arrays: count, then the elements in one write; Bool one byte each; strings counted.
        Array<int32_t> ints;
        ints.Add(1);
        ints.Add(-2);
        s.WriteArrayI32(ints);
        EXPECT_EQ(Take(), (Bytes{74, 2, 0, 0, 0, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));
        Array<bool> flags;
        flags.Add(true);
        flags.Add(false);
        s.WriteArrayBool(flags);
        EXPECT_EQ(Take(), (Bytes{72, 2, 0, 0, 0, 1, 0}));
        Array<String> texts;
        texts.Add(String("ab"));
        texts.Add(String(""));
        s.WriteArrayString(texts);
        EXPECT_EQ(Take(), (Bytes{73, 2, 0, 0, 0, 2, 0, 0, 0, 'a', 'b', 0, 0, 0, 0}));
        s.WriteArrayVector3f(Array<Vector3f>());
        EXPECT_EQ(Take(), (Bytes{82, 0, 0, 0, 0}));
    }
    {
        // Objects are numbered in the order of first reference, from 1.
        Obj<ScriptObject> a = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
        Obj<ScriptObject> b = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
        s.WriteObject(a);
        s.WriteObject(b);
        s.WriteObject(a);
        s.WriteObject(a);
        EXPECT_EQ(Take(),
                  (Bytes{163, 1, 0, 0, 0, 163, 2, 0, 0, 0, 163, 1, 0, 0, 0, 163, 1, 0, 0, 0}));
    }
    {
        // A name longer than a length byte can say is logged and cut, never wrapped.
        LogCapture log;
        const std::string name(300, 'n');
        s.WriteDotIdentifier(name.c_str());
        const Bytes b = Take();
        ASSERT_EQ(b.size(), 2u + 255u);
        EXPECT_EQ(b[0], LexDotIdentifier);
        EXPECT_EQ(b[1], 255);
        EXPECT_EQ(log.Messages(),
                  (std::vector<std::string>{
                      "[Error]ScriptStreamBinary: name of 300 bytes cut to 255 bytes."}));
    }
}

TEST_F(ScriptWriters, AsciiValuesReadBackAsTheirOwnTypes) {
    ScriptStreamAlpha s(m_Pipe);
    EXPECT_EQ(TakeText(), "//KS 0.3 F010219x\n");
    auto text = [&](auto write) {
        write();
        return TakeText();
    };
    EXPECT_EQ(text([&] { s.WriteI32(-5); }), "-5");
    EXPECT_EQ(text([&] { s.WriteU32(5); }), "5u");
    EXPECT_EQ(text([&] { s.WriteI64(-5); }), "-5I");
    EXPECT_EQ(text([&] { s.WriteU64(18446744073709551615ull); }), "18446744073709551615U");
    EXPECT_EQ(text([&] { s.WriteBool(false); }), "False");
    // Floats: the shortest text that reads back exactly, always with a point or an exponent.
    EXPECT_EQ(text([&] { s.WriteF32(1.0f); }), "1.");
    EXPECT_EQ(text([&] { s.WriteF32(0.1f); }), "0.1");
    EXPECT_EQ(text([&] { s.WriteF32(1.0000001f); }), "1.0000001");
    EXPECT_EQ(text([&] { s.WriteF32(1e20f); }), "1e+20");
    EXPECT_EQ(text([&] { s.WriteF64(0.1); }), "0.1F");
    EXPECT_EQ(text([&] { s.WriteF64(2.0); }), "2.F");
    EXPECT_EQ(text([&] { s.WriteVector3f(Vector3f(1, 0.5f, -2)); }), "(1.,0.5,-2.)");
    EXPECT_EQ(text([&] { s.WriteSpheref(Spheref(Vector3f(1, 2, 3), 4)); }), "((1.,2.,3.),4.)");
    EXPECT_EQ(text([&] { s.WriteString("a\"b\n\x01", 5); }), "\"a\\\"b\\n\\x01\"");
    {
        Array<int32_t> ints;
        ints.Add(1);
        ints.Add(2);
        EXPECT_EQ(text([&] { s.WriteArrayI32(ints); }), "[1,2]");
        // An empty array says its element type.
        EXPECT_EQ(text([&] { s.WriteArrayVector3f(Array<Vector3f>()); }), "Vector3f[]");
        EXPECT_EQ(text([&] { s.WriteArrayBool(Array<bool>()); }), "Bool[]");
    }
    {
        Obj<ScriptObject> a = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
        EXPECT_EQ(text([&] {
                      for (int i = 0; i < 3; ++i)
                          s.WriteObject(a);
                  }),
                  "$1$1$1");
        EXPECT_EQ(text([&] {
                      s.WriteClassToken(BuiltinTypeID(k_ClassObject), nullptr);
                      s.WriteMemberToken(Object::NameMember(), a->GetClassRow());
                      s.WriteClassMemberToken(MemberIDOf(1, k_ClassRotationOrderEnum), nullptr);
                  }),
                  "Object.NameEuler.RotationOrderEnum.XYZ");
        EXPECT_EQ(text([&] {
                      s.WriteToken(LexDot);
                      s.WriteToken(LexBraceL);
                      s.WriteToken(LexBlank);
                      s.WriteToken(LexOperatorLE);
                      s.WriteToken(LexCRLF);
                  }),
                  ".{ <=\n");
    }
}

TEST_F(ScriptWriters, CompiledFormIsWholeWordsWithPaddedBytes) {
    EXPECT_STREQ(AsmOpToString(AsmOp::mfnset_tO_cT_cf).GetCPtr(), "mfnset_tO_cT_cf");
    EXPECT_STREQ(AsmOpToString(static_cast<AsmOp>(302)).GetCPtr(), "mfnset_tO_cT_cf");
    EXPECT_STREQ(AsmOpToString(static_cast<AsmOp>(0)).GetCPtr(), "brk_v");
    EXPECT_STREQ(AsmOpToString(static_cast<AsmOp>(256)).GetCPtr(), "create_tO_cOTu");
    EXPECT_STREQ(AsmOpToString(static_cast<AsmOp>(341)).GetCPtr(), "mfnset_tO_cT_cAqf");
    EXPECT_STREQ(AsmOpToString(static_cast<AsmOp>(4)).GetCPtr(), "unknown");
    EXPECT_STREQ(AsmOpToString(static_cast<AsmOp>(310)).GetCPtr(), "unknown");

    VPUAsmWriter w(m_Pipe);
    EXPECT_EQ(Take(), (Bytes{'K', 'S', 'C', 1}));
    const ClassType_MemberID* m = MakeMemberID(0x03FFF040u);
    w.Set(m, String("abcde"));
    EXPECT_EQ(Take(), (Bytes{41, 1, 0,   0,   0x40, 0xF0, 0xFF, 0x03, 5, 0,
                             0,  0, 'a', 'b', 'c',  'd',  'e',  0,    0, 0}));
    w.Set(m, String("abcd"));
    EXPECT_EQ(Take().size(), 4u * 3 + 4);
    w.Set(m, Quaternionf(1, 2, 3, 4));
    EXPECT_EQ(Take().size(), 4u * 2 + 16);
    w.Set(m, int64_t{-2});
    EXPECT_EQ(Take(), Words({299, 0x03FFF040u, 0xFFFFFFFEu, 0xFFFFFFFFu}));
    {
        Array<bool> flags;
        for (int i = 0; i < 5; ++i)
            flags.Add(i % 2 == 0);
        w.Set(m, flags);
        Bytes want = Words({328, 0x03FFF040u, 5});
        const Bytes tail{1, 0, 1, 0, 1, 0, 0, 0};
        want.insert(want.end(), tail.begin(), tail.end());
        EXPECT_EQ(Take(), want);
    }
    {
        // An object's first create or reference fixes its number; nil is class Nil, number 0.
        Obj<ScriptObject> a = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
        Obj<ScriptObject> b = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
        w.Set(m, b.Get());
        w.Create(a);
        w.Create(b);
        w.Set(m, &G_NilObject);
        w.Finish(a);
        const uint32_t object = IDValue(BuiltinTypeID(k_ClassObject));
        EXPECT_EQ(Take(), Words({290, 0x03FFF040u, object, 1, 256, object, 2, 256, object, 1, 290,
                                 0x03FFF040u, IDValue(BuiltinTypeID(k_ClassNil)), 0, 257, 2, 0}));
    }
}

// A script class with one member of every value type.
Obj<ScriptClass> EveryType(const char* name) {
    static const String k_Text("text");
    const int32_t seven = 7;
    return QuorlixTest::DefineClass(name, nullptr,
                                    {{"B", k_ClassBool},
                                     {"S", k_ClassString, 0, &k_Text},
                                     {"I", k_ClassI32, 0, &seven},
                                     {"Hidden", k_ClassI32, MemberNotWritten, &seven},
                                     {"O", k_ClassScriptObject},
                                     {"Os", k_ClassScriptObject, MemberIsIndex},
                                     {"E", k_ClassEnum}});
}

TEST_F(ScriptWriters, ObjectWalksFrameMembersAsTheParserReadsThem) {
    Obj<ScriptClass> cls = EveryType("Walked");
    Obj<ScriptObject> o = ScriptObject::Create(cls->GetClassID());
    ScriptStreamAlpha s(m_Pipe);
    TakeText();
    {
        // Fresh: WriteNonDefault writes nothing; one change the short form; two a body.
        o->WriteNonDefault(s);
        EXPECT_EQ(TakeText(), "");
        o->Set(cls->FindMember_I32("I"), 8);
        o->WriteNonDefault(s);
        EXPECT_EQ(TakeText(), ".I 8");
        o->Set(cls->FindMember_I32("Hidden"), 9); // never written
        o->Set(cls->FindMember_String("S"), String("x"));
        o->WriteNonDefault(s);
        EXPECT_EQ(TakeText(), ".{\n.S \"x\";\n.I 8;\n}");
    }
    {
        // Write: every member but the hidden one and the enumerator of none.
        o->Set(cls->FindMember_ScriptObject("O"), o.Get());
        o->Write(s);
        EXPECT_EQ(TakeText(), ".{\n.B False;\n.S \"x\";\n.I 8;\n.O Walked$1;\n.Os "
                              "ScriptObject[];\n}");
    }
    {
        // A class whose members are all hidden writes nothing, not even braces.
        const int32_t one = 1;
        Obj<ScriptClass> hidden = QuorlixTest::DefineClass(
            "Hidden", nullptr, {{"H", k_ClassI32, MemberNotWritten, &one}});
        Obj<ScriptObject> h = ScriptObject::Create(hidden->GetClassID());
        h->Write(s);
        EXPECT_EQ(TakeText(), "");
    }
    {
        // The compiled form: one instruction per member, only the changed ones on request.
        VPUAsmWriter w(m_Pipe);
        Take();
        o->WriteASMNonDefault(w);
        const uint32_t s_ = IDValue(cls->FindMember_String("S"));
        const uint32_t i_ = IDValue(cls->FindMember_I32("I"));
        const uint32_t o_ = IDValue(cls->FindMember_ScriptObject("O"));
        EXPECT_EQ(Take(),
                  Words({297, s_, 1, 'x', 298, i_, 8, 290, o_, IDValue(cls->GetClassID()), 1}));
    }
    Array<Obj<ScriptObject>> self;
    self.Add(o);
    QuorlixTest::BreakLinks(self);
}

// Floats without digits (infinities, NaN, negative zero) and quaternions, in members of every
// float type, written in each form and read back: infinities and zeros bit-exact, NaN as NaN.
TEST_F(ScriptWriters, SpecialFloatsAndQuaternionsSurviveEveryForm) {
    Obj<ScriptClass> cls = QuorlixTest::DefineClass("Odd", BuiltinTypeID(k_ClassObject),
                                                    {{"f", k_ClassF32},
                                                     {"F", k_ClassF64},
                                                     {"v", k_ClassVector3f},
                                                     {"m", k_ClassMatrix4f},
                                                     {"sp", k_ClassSpheref},
                                                     {"q", k_ClassQuaternionf},
                                                     {"af", k_ClassF32, MemberIsArray},
                                                     {"aF", k_ClassF64, MemberIsArray},
                                                     {"aq", k_ClassQuaternionf, MemberIsArray},
                                                     {"none", k_ClassQuaternionf, MemberIsArray}});
    auto member = [&](const char* name) {
        return static_cast<const ClassMember*>(FindClassMember(cls->GetClassID(), name));
    };
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    Obj<ScriptObject> o = ScriptObject::Create(cls->GetClassID());
    o->Set(static_cast<const ClassMember_F32*>(member("f")), -inf);
    o->Set(static_cast<const ClassMember_F64*>(member("F")),
           -std::numeric_limits<double>::quiet_NaN());
    o->Set(static_cast<const ClassMember_Vector3f*>(member("v")), Vector3f(inf, nan, -0.0f));
    Matrix4f m = Matrix4f::Identity;
    m.SetM11(-inf);
    m.SetM32(nan);
    o->Set(static_cast<const ClassMember_Matrix4f*>(member("m")), m);
    o->Set(static_cast<const ClassMember_Spheref*>(member("sp")),
           Spheref(Vector3f(nan, 1, 2), inf));
    o->Set(static_cast<const ClassMember_Quaternionf*>(member("q")),
           Quaternionf(0.5f, -inf, -0.0f, 1));
    Array<float> af;
    for (float f : {nan, -inf, 1.5f})
        af.Add(f);
    o->SetArray<float>(member("af"), af);
    Array<double> aF;
    for (double d : {std::numeric_limits<double>::infinity(), 0.1, -0.0})
        aF.Add(d);
    o->SetArray<double>(member("aF"), aF);
    Array<Quaternionf> aq;
    aq.Add(Quaternionf(1, 2, 3, 4));
    aq.Add(Quaternionf(nan, 0, 0, -inf));
    o->SetArray<Quaternionf>(member("aq"), aq);

    // Every component of every member, in order.
    auto components = [&](const ScriptObject* x) {
        std::vector<double> out;
        auto floats = [&](const void* data, size_t n) {
            for (size_t i = 0; i < n; ++i) {
                float f;
                std::memcpy(&f, static_cast<const char*>(data) + 4 * i, 4);
                out.push_back(f);
            }
        };
        out.push_back(x->Get(static_cast<const ClassMember_F32*>(member("f"))));
        out.push_back(x->Get(static_cast<const ClassMember_F64*>(member("F"))));
        const Vector3f v = x->Get(static_cast<const ClassMember_Vector3f*>(member("v")));
        floats(&v, 3);
        const Matrix4f mm = x->Get(static_cast<const ClassMember_Matrix4f*>(member("m")));
        floats(&mm, 16);
        const Spheref sp = x->Get(static_cast<const ClassMember_Spheref*>(member("sp")));
        floats(&sp, 4);
        const Quaternionf q = x->Get(static_cast<const ClassMember_Quaternionf*>(member("q")));
        floats(&q, 4);
        Array<float> f32;
        Array<double> f64;
        Array<Quaternionf> turns;
        Array<Quaternionf> none;
        EXPECT_TRUE(x->GetArray<float>(member("af"), f32));
        EXPECT_TRUE(x->GetArray<double>(member("aF"), f64));
        EXPECT_TRUE(x->GetArray<Quaternionf>(member("aq"), turns));
        EXPECT_TRUE(x->GetArray<Quaternionf>(member("none"), none));
        out.push_back(f32.Size() * 100 + f64.Size() * 10 + turns.Size() + none.Size() * 1000);
        for (float f : f32)
            out.push_back(f);
        for (double d : f64)
            out.push_back(d);
        for (const Quaternionf& t : turns)
            floats(&t, 4);
        return out;
    };
    const std::vector<double> before = components(o);
    for (int form = 0; form < 3; ++form) {
        SCOPED_TRACE(form);
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        std::optional<ScriptStreamAlpha> alpha;
        std::optional<ScriptStreamBinary> binary;
        if (form == 2) {
            VPUAsmWriter w(pipe);
            w.Create(o);
            o->WriteASM(w);
            w.Finish(o);
        } else {
            ScriptStream& s = form == 0 ? static_cast<ScriptStream&>(alpha.emplace(pipe))
                                        : static_cast<ScriptStream&>(binary.emplace(pipe));
            s.WriteClassToken(o->GetObjectClassID(), o->GetClassRow());
            s.WriteObject(o);
            o->Write(s);
            s.WriteToken(LexSemicolon);
        }
        const std::string written(pipe->GetData(), pipe->GetData() + pipe->GetSize());
        if (form == 0) {
            for (const char* spelling : {" -inf", "(inf,nan,-0.)", ",inf)", "nanF",
                                         "[nan,-inf,1.5]", "[infF,0.1F,-0.F]", "Vector4f[]"})
                EXPECT_NE(written.find(spelling), std::string::npos) << spelling << "\n" << written;
        }
        Obj<ScriptEngine> engine = ScriptEngine::Create();
        engine->GetCurrentNamespace()->AddClass(cls);
        LogCapture log;
        pipe->Seek(0, SeekBegin);
        engine->Execute(pipe, String("odd"), 0);
        EXPECT_EQ(log.Messages(), std::vector<std::string>{}) << written;
        const ScriptObject* after = engine->GetCurrentNamespace()->FindObjectID(1);
        ASSERT_FALSE(after->IsNil()) << written;
        const std::vector<double> back = components(after);
        ASSERT_EQ(back.size(), before.size());
        for (size_t i = 0; i < back.size(); ++i) {
            EXPECT_EQ(std::isnan(back[i]), std::isnan(before[i])) << i;
            if (std::isnan(before[i]))
                continue;
            EXPECT_TRUE(back[i] == before[i] && std::signbit(back[i]) == std::signbit(before[i]))
                << i << ": " << back[i] << " for " << before[i] << "\n"
                << written;
        }
    }
}

TEST_F(ScriptWriters, ExportedScriptClassesReadBackEqual) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    const char* script = "//KS 0.3\n"
                         "enum Level . { .Low 0; .High 1; };\n"
                         "class Cell . { .B False; .S \"\"; .I 0; .L 0I; .U 0U; .D 0.0F; .O Nil;\n"
                         "  .E Level.Low; .F 0.0; .V (0, 0, 0); .Sp ((0, 0, 0), -1.0);\n"
                         "  .M (1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1); .Fs [0.5]; };\n"
                         "Cell:a . { .B True; .S \"q\\\"\\n\"; .I -3; .L -4I; .U 5U; .D 0.1F;\n"
                         "  .E Level.High; .F 0.1; .V (1, 2.5, -3e-7); .Sp ((1, 2, 3), 4.5);\n"
                         "  .Fs [1.5, -2.0]; .O Cell:b . { .O Cell:a; .Fs [];\n"
                         "  .M (1,2,3,4, 5,6,7,8, 9,10,11,12, 13,14,15,16.5); }; };\n";
    LogCapture log;
    Obj<ScriptObject> a = engine->Execute(String(script), String("cells.kss"), 0);
    ASSERT_FALSE(a->IsNil());
    ASSERT_EQ(engine->GetErrorCount(), 0);
    Array<Obj<ScriptObject>> objects;
    engine->GetObjectList(objects, 0);
    ASSERT_EQ(objects.Size(), 2);
    for (unsigned flags : {0u, 1u}) {
        SCOPED_TRACE(flags);
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        ScriptStreamAlpha s(pipe);
        // Script members are no owned links: every object is a root of its own. The classes
        // come with them, declared once; the fresh engine knows none.
        engine->ExportRoots(s, objects, flags);
        const std::string text(pipe->GetData(), pipe->GetData() + pipe->GetSize());
        EXPECT_EQ(text.find("class Cell"), text.rfind("class Cell")) << text;
        Obj<ScriptEngine> fresh = ScriptEngine::Create();
        struct Unlink { // the objects read back link to each other too
            ScriptEngine* m_Engine;
            ~Unlink() {
                Array<Obj<ScriptObject>> all;
                m_Engine->GetObjectList(all, 1);
                QuorlixTest::BreakLinks(all);
            }
        } unlink{fresh.Get()};
        fresh->Execute(String(text.c_str(), static_cast<int>(text.size())), String("export.kss"),
                       0);
        EXPECT_EQ(fresh->GetErrorCount(), 0) << text;
        const ScriptNamespace* ns = fresh->GetCurrentNamespace();
        for (const Obj<ScriptObject>& before : objects)
            QuorlixTest::ExpectSameObject(
                before, ns->FindObjectID(s.NumberOf(before)),
                [&](const ScriptObject* o) { return s.NumberOf(o); }, ns);
    }
    EXPECT_EQ(log.Messages(), std::vector<std::string>{});
    QuorlixTest::BreakLinks(objects);
}

} // namespace
