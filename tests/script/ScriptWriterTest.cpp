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

#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;
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
    const auto bytes = [&](auto write) {
        write();
        return Take();
    };
    EXPECT_EQ(bytes([&] { s.WriteI32(5); }), (Bytes{0x0A, 5, 0, 0, 0}));
    EXPECT_EQ(bytes([&] { s.WriteIdentifier("abc"); }), (Bytes{0xA0, 3, 'a', 'b', 'c'}));
    EXPECT_EQ(bytes([&] { s.WriteMemberToken(MemberIDOf(1, 0x38), nullptr); }),
              (Bytes{169, 1, 0x38, 0}));
    // A script class, index 0x105.
    EXPECT_EQ(bytes([&] { s.WriteClassMemberToken(MakeMemberID(0x02000105u), nullptr); }),
              (Bytes{170, 2, 0x05, 0x01}));
    EXPECT_EQ(bytes([&] { s.WriteClassToken(BuiltinTypeID(k_ClassObject), nullptr); }),
              (Bytes{168, 64, 0}));
    EXPECT_EQ(bytes([&] { s.WriteString("a\0b", 3); }), (Bytes{9, 3, 0, 0, 0, 'a', 0, 'b'}));
    s.WriteBool(true);
    s.WriteU64(0x0102030405060708ull);
    EXPECT_EQ(Take(), (Bytes{8, 1, 13, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(bytes([&] { s.WriteVector2f(Vector2f(1.0f, -2.0f)); }),
              (Bytes{16, 0, 0, 0x80, 0x3F, 0, 0, 0, 0xC0}));
    // Blank and line ends are not written; other tokens are their kind byte alone.
    for (LexType t : {LexBlank, LexCRLF, LexBraceL, LexSemicolon})
        s.WriteToken(t);
    EXPECT_EQ(Take(), (Bytes{LexBraceL, LexSemicolon}));
    // Arrays: count, then the elements in one write; Bool one byte each; strings counted.
    s.WriteArrayI32(ArrayOf<int32_t>({1, -2}));
    EXPECT_EQ(Take(), (Bytes{74, 2, 0, 0, 0, 1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));
    s.WriteArrayBool(ArrayOf({true, false}));
    EXPECT_EQ(Take(), (Bytes{72, 2, 0, 0, 0, 1, 0}));
    s.WriteArrayString(ArrayOf({String("ab"), String("")}));
    EXPECT_EQ(Take(), (Bytes{73, 2, 0, 0, 0, 2, 0, 0, 0, 'a', 'b', 0, 0, 0, 0}));
    EXPECT_EQ(bytes([&] { s.WriteArrayVector3f(Array<Vector3f>()); }), (Bytes{82, 0, 0, 0, 0}));
    // Objects are numbered in the order of first reference, from 1.
    Obj<ScriptObject> a = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
    Obj<ScriptObject> b = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
    for (ScriptObject* o : {a.Get(), b.Get(), a.Get(), a.Get()})
        s.WriteObject(o);
    EXPECT_EQ(Take(), (Bytes{163, 1, 0, 0, 0, 163, 2, 0, 0, 0, 163, 1, 0, 0, 0, 163, 1, 0, 0, 0}));
    // A name longer than a length byte can say is logged and cut, never wrapped.
    LogCapture log;
    const Bytes cut = bytes([&] { s.WriteDotIdentifier(std::string(300, 'n').c_str()); });
    ASSERT_EQ(cut.size(), 2u + 255u);
    EXPECT_EQ(cut[0], LexDotIdentifier);
    EXPECT_EQ(cut[1], 255);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{
                  "[Error]ScriptStreamBinary: name of 300 bytes cut to 255 bytes."}));
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
    EXPECT_EQ(text([&] { s.WriteArrayI32(ArrayOf<int32_t>({1, 2})); }), "[1,2]");
    // An empty array says its element type.
    EXPECT_EQ(text([&] { s.WriteArrayVector3f(Array<Vector3f>()); }), "Vector3f[]");
    EXPECT_EQ(text([&] { s.WriteArrayBool(Array<bool>()); }), "Bool[]");
    Obj<ScriptObject> a = ScriptObject::Create(BuiltinTypeID(k_ClassObject));
    for (int i = 0; i < 3; ++i)
        s.WriteObject(a);
    EXPECT_EQ(TakeText(), "$1$1$1");
    s.WriteClassToken(BuiltinTypeID(k_ClassObject), nullptr);
    s.WriteMemberToken(Object::NameMember(), a->GetClassRow());
    s.WriteClassMemberToken(MemberIDOf(1, k_ClassRotationOrderEnum), nullptr);
    EXPECT_EQ(TakeText(), "Object.NameEuler.RotationOrderEnum.XYZ");
    for (LexType t : {LexDot, LexBraceL, LexBlank, LexOperatorLE, LexCRLF})
        s.WriteToken(t);
    EXPECT_EQ(TakeText(), ".{ <=\n");
}

TEST_F(ScriptWriters, CompiledFormIsWholeWordsWithPaddedBytes) {
    EXPECT_EQ(AsmOp::mfnset_tO_cT_cf, static_cast<AsmOp>(302));
    const std::pair<int, const char*> names[] = {{0, "brk_v"},
                                                 {256, "create_tO_cOTu"},
                                                 {302, "mfnset_tO_cT_cf"},
                                                 {341, "mfnset_tO_cT_cAqf"},
                                                 {4, "unknown"},
                                                 {310, "unknown"}};
    for (const auto& [op, name] : names)
        EXPECT_STREQ(AsmOpToString(static_cast<AsmOp>(op)).GetCPtr(), name) << op;

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
    w.Set(m, ArrayOf({true, false, true, false, true}));
    Bytes flags = Words({328, 0x03FFF040u, 5});
    flags.insert(flags.end(), {1, 0, 1, 0, 1, 0, 0, 0});
    EXPECT_EQ(Take(), flags);
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

TEST_F(ScriptWriters, ObjectWalksFrameMembersAsTheParserReadsThem) {
    // One member of every value type.
    const String text("text");
    const int32_t seven = 7;
    Obj<ScriptClass> cls = DefineClass("Walked", nullptr,
                                       {{"B", k_ClassBool},
                                        {"S", k_ClassString, 0, &text},
                                        {"I", k_ClassI32, 0, &seven},
                                        {"Hidden", k_ClassI32, MemberNotWritten, &seven},
                                        {"O", k_ClassScriptObject},
                                        {"Os", k_ClassScriptObject, MemberIsIndex},
                                        {"E", k_ClassEnum}});
    Obj<ScriptObject> o = ScriptObject::Create(cls->GetClassID());
    ScriptStreamAlpha s(m_Pipe);
    TakeText();
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
    // Write: every member but the hidden one and the enumerator of none.
    o->Set(cls->FindMember_ScriptObject("O"), o.Get());
    o->Write(s);
    EXPECT_EQ(TakeText(), ".{\n.B False;\n.S \"x\";\n.I 8;\n.O Walked$1;\n.Os "
                          "ScriptObject[];\n}");
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
    BreakLinks(ArrayOf({o}));
}

// Floats without digits (infinities, NaN, negative zero) and quaternions, in members of every
// float type, written in each form and read back. Each member must write the same text as its
// original: the shortest text that reads back exactly, so every bit but those of NaN counts.
TEST_F(ScriptWriters, SpecialFloatsAndQuaternionsSurviveEveryForm) {
    Obj<ScriptClass> cls = DefineClass("Odd", BuiltinTypeID(k_ClassObject),
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
    constexpr float inf = std::numeric_limits<float>::infinity();
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr double dinf = std::numeric_limits<double>::infinity();
    Obj<ScriptObject> o = ScriptObject::Create(cls->GetClassID());
    o->Set(cls->FindMember_F32("f"), -inf);
    o->Set(cls->FindMember_F64("F"), -std::numeric_limits<double>::quiet_NaN());
    o->Set(cls->FindMember_Vector3f("v"), Vector3f(inf, nan, -0.0f));
    Matrix4f m = Matrix4f::Identity;
    m.SetM11(-inf);
    m.SetM32(nan);
    o->Set(cls->FindMember_Matrix4f("m"), m);
    o->Set(cls->FindMember_Spheref("sp"), Spheref(Vector3f(nan, 1, 2), inf));
    o->Set(cls->FindMember_Quaternionf("q"), Quaternionf(0.5f, -inf, -0.0f, 1));
    o->SetArray<float>(cls->FindMember("af", nullptr), ArrayOf({nan, -inf, 1.5f}));
    o->SetArray<double>(cls->FindMember("aF", nullptr), ArrayOf({dinf, 0.1, -0.0}));
    o->SetArray<Quaternionf>(cls->FindMember("aq", nullptr),
                             ArrayOf({Quaternionf(1, 2, 3, 4), Quaternionf(nan, 0, 0, -inf)}));
    for (Form form : {Form::Ascii, Form::Binary, Form::Compiled}) {
        SCOPED_TRACE(FormName(form));
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        WriteObjects(form, ArrayOf({o}), false, pipe);
        const std::string written(pipe->GetData(), pipe->GetData() + pipe->GetSize());
        for (const char* spelling : {" -inf", "(inf,nan,-0.)", ",inf)", "nanF", "[nan,-inf,1.5]",
                                     "[infF,0.1F,-0.F]", "Vector4f[]"}) {
            EXPECT_TRUE(form != Form::Ascii || written.find(spelling) != std::string::npos)
                << spelling << "\n"
                << written;
        }
        Obj<ScriptEngine> engine = ScriptEngine::Create();
        engine->GetCurrentNamespace()->AddClass(cls);
        LogCapture log;
        pipe->Seek(0, SeekBegin);
        engine->Execute(pipe, String("odd"), 0);
        EXPECT_EQ(log.Messages(), std::vector<std::string>{}) << written;
        const ScriptObject* after = engine->GetCurrentNamespace()->FindObjectID(1);
        ASSERT_FALSE(after->IsNil()) << written;
        ForEachWrittenMember(
            o, [&](const MVTBLHeader&, const MVTBL& entry, int, const ClassType_MemberID* k) {
                EXPECT_EQ(WrittenMember(after, k), WrittenMember(o, k)) << entry.m_Name;
            });
    }
}

} // namespace
