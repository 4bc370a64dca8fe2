// The binary and compiled script forms, read from hand-made bytes: every token kind and every
// opcode, the parser's handling of the binary-only values, and input that lies.

#include "ScriptTestSupport.h"

#include "quorlix/script/LexerBinary.h"
#include "quorlix/script/Parser.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/VPUAsm.h"
#include "quorlix/script/VPUAsmLoader.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/FaultPipe.h"
#include "support/LogCapture.h"
#include "support/ObjectCompare.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

// Kind bytes and little-endian payloads.
struct Bytes {
    std::string m_S;
    Bytes& K(int kind) { return U8(kind); }
    Bytes& U8(int v) {
        m_S.push_back(static_cast<char>(v));
        return *this;
    }
    Bytes& U16(int v) { return U8(v & 0xFF).U8(v >> 8 & 0xFF); }
    Bytes& U32(uint32_t v) {
        return U16(static_cast<int>(v & 0xFFFF)).U16(static_cast<int>(v >> 16));
    }
    Bytes& U64(uint64_t v) {
        return U32(static_cast<uint32_t>(v)).U32(static_cast<uint32_t>(v >> 32));
    }
    Bytes& F(float v) { return U32(std::bit_cast<uint32_t>(v)); }
    Bytes& Fs(const std::vector<float>& vs) {
        for (float v : vs)
            F(v);
        return *this;
    }
    Bytes& Name(int kind, const std::string& n) {
        K(kind).U8(static_cast<int>(n.size()));
        m_S += n;
        return *this;
    }
    Bytes& Str(const std::string& t) {
        K(LexString).U32(static_cast<uint32_t>(t.size()));
        m_S += t;
        return *this;
    }
    Bytes& Class(int c) { return K(LexClassToken).U16(c); }
    Bytes& Member(int kind, const ClassType_MemberID* m) {
        return K(kind).U8(MemberIndexOf(m)).U16(ClassIndexOf(m));
    }
};

// A matrix of the elements 0 to 15, and one of ones.
const std::vector<float> k_Ramp = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const std::vector<float> k_Ones(16, 1.0f);

// Instruction words.
struct Words {
    std::vector<uint32_t> m_W;
    Words& operator<<(uint32_t w) {
        m_W.push_back(w);
        return *this;
    }
    Words& operator<<(AsmOp op) { return *this << static_cast<uint32_t>(op); }
    Words& F(float v) { return *this << std::bit_cast<uint32_t>(v); }
    Words& Fs(const std::vector<float>& vs) {
        for (float v : vs)
            F(v);
        return *this;
    }
    Words& Text(const std::string& t) {
        *this << static_cast<uint32_t>(t.size());
        for (size_t i = 0; i < t.size(); i += 4) {
            uint32_t w = 0;
            std::memcpy(&w, t.data() + i, std::min<size_t>(4, t.size() - i));
            *this << w;
        }
        return *this;
    }
    std::string Bytes() const {
        return std::string("KSC\x01", 4) +
               std::string(reinterpret_cast<const char*>(m_W.data()), m_W.size() * 4);
    }
};

std::vector<std::string> Tokens(Lexer& lexer) {
    std::vector<std::string> out;
    for (int i = 0; i < 200 && lexer.Lex() != LexEOF; ++i) {
        std::string t = Lexer::LexTypeToString(lexer.GetType());
        const LexType k = lexer.GetType();
        if (k == LexString || (k >= LexIdentifier && k <= LexColonIdentifier) ||
            k == LexDotIdentifierElement)
            t += " " + std::string(lexer.GetText(), static_cast<size_t>(lexer.GetTextLength()));
        else if (k != LexEOF && k < LexIdentifier)
            t += " " + std::to_string(lexer.GetU64());
        else if (k == LexId)
            t += " " + std::to_string(lexer.GetU32());
        out.push_back(t);
    }
    return out;
}

class ReadForms : public QuorlixTest::ScriptTest {
protected:
    void SetUp() override {
        m_Engine = ScriptEngine::Create();
        // One member of every value type, and arrays of the types the binary form has in bulk.
        const std::pair<const char*, int> values[] = {
            {"b", k_ClassBool},        {"i", k_ClassI32},       {"I", k_ClassI64},
            {"u", k_ClassU32},         {"U", k_ClassU64},       {"f", k_ClassF32},
            {"F", k_ClassF64},         {"v2", k_ClassVector2f}, {"v3", k_ClassVector3f},
            {"v4", k_ClassVector4f},   {"m", k_ClassMatrix4f},  {"sp", k_ClassSpheref},
            {"q", k_ClassQuaternionf}, {"s", k_ClassString},    {"mid", k_ClassMemberID},
            {"o", k_ClassScriptObject}};
        const std::pair<const char*, int> arrays[] = {
            {"ai", k_ClassI32},         {"au", k_ClassU32},       {"af", k_ClassF32},
            {"av2", k_ClassVector2f},   {"av3", k_ClassVector3f}, {"av4", k_ClassVector4f},
            {"am", k_ClassMatrix4f},    {"as", k_ClassString},    {"amid", k_ClassMemberID},
            {"ao", k_ClassScriptObject}};
        m_Class = ScriptClass::Create();
        m_Class->DefClassObject("ReadProbe", BuiltinTypeID(k_ClassObject));
        for (const auto& [name, type] : values)
            m_Class->DefMemberVar(name, BuiltinTypeID(type), 0, nullptr);
        for (const auto& [name, type] : arrays)
            m_Class->DefMemberVar(name, BuiltinTypeID(type), MemberIsArray, nullptr);
        m_Class->EndClass();
        m_Engine->GetCurrentNamespace()->AddClass(m_Class);
        m_C = ClassIndexOf(m_Class->GetClassID());
    }
    ScriptObject* Find(unsigned number) {
        return m_Engine->GetCurrentNamespace()->FindObjectID(number);
    }
    void Fresh() {
        m_Engine = ScriptEngine::Create();
        m_Engine->GetCurrentNamespace()->AddClass(m_Class);
    }
    const ClassType_MemberID* M(const char* name) {
        return FindClassMember(m_Class->GetClassID(), name);
    }
    // Runs `binary` as a binary script file, or with `memory` parses it from memory; the
    // messages logged.
    std::vector<std::string> Run(const std::string& binary, bool memory = false) {
        LogCapture err;
        const std::string file = std::string("KSB\x03", 4) + binary;
        if (memory)
            ParseBinary(*m_Engine, m_Engine->GetCurrentNamespace(), binary.data(),
                        static_cast<int>(binary.size()), String("b"), 0);
        else
            m_Engine->Execute(StreamPipeMemory::Create(file.data(), static_cast<int>(file.size())),
                              String("b"), 0);
        return err.Messages();
    }
    Obj<ScriptObject> Load(const Words& words, EResult* code = nullptr,
                           std::vector<std::string>* errors = nullptr) {
        LogCapture err;
        const std::string file = words.Bytes();
        const Obj<StreamPipe> pipe(
            StreamPipeMemory::Create(file.data() + 4, static_cast<int>(file.size() - 4)));
        Obj<ScriptObject> result;
        const EResult r = VPUAsmLoader(pipe).Execute(m_Engine->GetCurrentNamespace(), result);
        if (code != nullptr)
            *code = r;
        if (errors != nullptr)
            *errors = err.Messages();
        return result;
    }
    // Every numbered object that the ascii `text` makes, read in an engine of its own, equals
    // the object of that number in the engine; links by number.
    void ExpectObjects(const std::string& text) {
        Obj<ScriptEngine> ascii = ScriptEngine::Create();
        ascii->GetCurrentNamespace()->AddClass(m_Class);
        LogCapture err;
        ascii->Execute(String(text.c_str()), String("expected"), 0);
        ASSERT_EQ(ascii->GetErrorCount(), 0) << err.Text();
        const ScriptNamespace* a = ascii->GetCurrentNamespace();
        const auto same = [&](const ScriptObject* x, const ScriptObject* y) {
            for (unsigned n = 1; !x->IsNil() && !a->FindObjectID(n)->IsNil(); ++n) {
                if (a->FindObjectID(n) == x)
                    return Find(n) == y;
            }
            return x->IsNil() && y->IsNil();
        };
        for (unsigned n = 1; !a->FindObjectID(n)->IsNil(); ++n) {
            SCOPED_TRACE(n);
            QuorlixTest::ExpectSameObject(a->FindObjectID(n), Find(n), same);
        }
    }
    // Object 1 of the probe class with member `m` set to `value`, a whole statement.
    std::string Set1(const ClassType_MemberID* m, const Bytes& value) {
        Bytes b = Object1();
        b.Member(LexMemberToken, m).m_S += value.m_S;
        return b.K(LexSemicolon).K(LexBraceR).K(LexSemicolon).m_S;
    }
    // An object of the probe class, number 1, with a body of member tokens.
    Bytes Object1() {
        Bytes b;
        b.Class(m_C).K(LexId).U32(1).K(LexDot).K(LexBraceL);
        return b;
    }

    Obj<ScriptEngine> m_Engine;
    Obj<ScriptClass> m_Class;
    int m_C = 0;
};

bool Has(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& l : lines)
        if (l.find(part) != std::string::npos)
            return true;
    return false;
}

TEST_F(ReadForms, BinaryTokensMatchTheTextLexer) {
    const std::string text = "class :a $1F @ ( ) [ ] { } < > <= >= == != + - * / % << >> & | ^ ! "
                             "&& || ^^ = . : , ; ? .pos[ \"hi\" 5 5000000000 7u 8U 1.5 2.5F .x";
    Lexer textLexer(text.data(), static_cast<int>(text.size()),
                    Lexer::FlagSkipBlank | Lexer::FlagSkipCRLF);
    Bytes b;
    b.Name(LexIdentifier, "class").Name(LexColonIdentifier, "a").K(LexId).U32(31).K(LexAt);
    for (int k : {176, 177, 178, 179, 180, 181, 192, 193, 194, 195, 196, 197, 209, 210, 211, 212,
                  213, 214, 215, 217, 218, 219, 220, 221, 222, 223, 224, 240, 241, 242, 243, 244})
        b.K(k).K(LexBlank).K(LexCRLF); // dropped with the skip flags
    b.Name(LexDotIdentifierElement, "pos").K(LexBracketL).Str("hi").K(LexI32).U32(5);
    b.K(LexI64).U64(5000000000).K(LexU32).U32(7).K(LexU64).U64(8);
    b.K(LexF32).F(1.5f).K(LexF64).U64(std::bit_cast<uint64_t>(2.5));
    b.Name(LexDotIdentifier, "x");
    LexerBinary memory(b.m_S.data(), static_cast<int>(b.m_S.size()),
                       Lexer::FlagSkipBlank | Lexer::FlagSkipCRLF);
    const auto expected = Tokens(textLexer);
    EXPECT_EQ(Tokens(memory), expected);
    LexerBinary pipe(StreamPipeMemory::Create(b.m_S.data(), static_cast<int>(b.m_S.size())),
                     Lexer::FlagSkipBlank | Lexer::FlagSkipCRLF);
    EXPECT_EQ(Tokens(pipe), expected);
    {
        // Without the skip flags the blanks come through; an explicit end token ends it all.
        Bytes c;
        c.K(LexBlank).K(LexCRLF).K(LexEOF).K(LexComma);
        LexerBinary l(c.m_S.data(), static_cast<int>(c.m_S.size()), 0);
        EXPECT_EQ(Tokens(l), (std::vector<std::string>{"Blank", "CRLF"}));
    }
}

TEST_F(ReadForms, BinaryValuesSetEveryMemberKind) {
    Bytes b = Object1();
    auto set = [&](const char* name) -> Bytes& { return b.Member(LexMemberToken, M(name)); };
    set("b").K(LexBool).U8(2).K(LexSemicolon);
    set("i").K(LexI32).U32(static_cast<uint32_t>(-7)).K(LexSemicolon);
    set("I").K(LexI64).U64(1ull << 40).K(LexSemicolon);
    set("u").K(LexU32).U32(4000000000u).K(LexSemicolon);
    set("U").K(LexU64).U64(~0ull).K(LexSemicolon);
    set("f").K(LexF32).F(0.25f).K(LexSemicolon);
    set("F").K(LexF64).U64(std::bit_cast<uint64_t>(0.125)).K(LexSemicolon);
    set("v2").K(LexVector2f).Fs({1, 2}).K(LexSemicolon);
    set("v3").K(LexVector3f).Fs({1, 2, 3}).K(LexSemicolon);
    set("v4").K(LexVector4f).Fs({1, 2, 3, 4}).K(LexSemicolon);
    set("m").K(LexMatrix4f).Fs(k_Ramp).K(LexSemicolon);
    set("sp").K(LexSpheref).Fs({1, 2, 3, 9}).K(LexSemicolon);
    set("s").Str("text").K(LexSemicolon);
    set("mid").K(LexAt).Member(LexClassMemberToken, M("i")).K(LexSemicolon);
    set("o").Class(m_C).K(LexId).U32(2).K(LexSemicolon);
    set("ai").K(70).U32(2).U8(0xFF).U8(5).K(LexSemicolon);
    set("au").K(LexArrayU32).U32(1).U32(9).K(LexSemicolon);
    set("af").K(LexArrayF32).U32(2).Fs({1, 2}).K(LexSemicolon);
    set("av2").K(LexArrayVector2f).U32(1).Fs({1, 2}).K(LexSemicolon);
    set("av3").K(LexArrayVector3f).U32(1).Fs({1, 2, 3}).K(LexSemicolon);
    set("av4").K(LexArrayVector4f).U32(1).Fs({1, 2, 3, 4}).K(LexSemicolon);
    set("am").K(LexArrayMatrix4f).U32(1).Fs(k_Ones).K(LexSemicolon);
    set("as").K(LexArrayString).U32(2).U32(1).U8('a').U32(0).K(LexSemicolon);
    b.K(LexBraceR).K(LexSemicolon);
    // A second statement: the compact 16-bit array into the I32 array of object 2.
    b.Class(m_C).K(LexId).U32(2).Member(LexMemberToken, M("ai")).K(71).U32(1).U16(0x8000);
    b.K(LexSemicolon);
    for (bool memory : {false, true}) {
        Fresh();
        EXPECT_EQ(Run(b.m_S, memory), std::vector<std::string>{});
        // The compact I32 array sign-extends.
        ExpectObjects("ReadProbe$1.{ .b True; .i -7; .I 1099511627776I; .u 4000000000u;\n"
                      ".U 18446744073709551615U; .f 0.25; .F 0.125F; .v2 (1, 2); .v3 (1, 2, 3);\n"
                      ".v4 (1, 2, 3, 4); .m (0,1,2,3, 4,5,6,7, 8,9,10,11, 12,13,14,15);\n"
                      ".sp ((1, 2, 3), 9); .s \"text\"; .mid @ReadProbe.i; .o ReadProbe$2;\n"
                      ".ai [-1, 5]; .au [9u]; .af [1.0, 2.0]; .av2 [(1, 2)]; .av3 [(1, 2, 3)];\n"
                      ".av4 [(1, 2, 3, 4)]; .am [(1,1,1,1, 1,1,1,1, 1,1,1,1, 1,1,1,1)];\n"
                      ".as [\"a\", \"\"]; };\nReadProbe$2.{ .ai [-32768]; };");
    }
}

TEST_F(ReadForms, BinaryMembersReadAcrossPipeBuffersAndExpressions) {
    // Literals that straddle the pipe lexer's buffers, and literals that begin an expression,
    // read as the same values as those taken straight from the bytes.
    const std::vector<float> pair = {1, 2};
    Bytes b = Object1();
    const int count = 2997; // the last, 2996, is a multiple of 7 and 2 past one of 3
    for (int i = 0; i < count; ++i) {
        b.Member(LexMemberToken, M("f")).K(LexF32).F(static_cast<float>(i));
        if (i % 7 == 0)
            b.K(LexOperatorAdd).K(LexF32).F(0.5f);
        b.K(LexSemicolon);
        b.Member(LexMemberToken, M("v3")).K(LexVector3f).Fs({1, 2, static_cast<float>(i)});
        b.K(LexSemicolon);
        b.Member(LexMemberToken, M("af")).K(LexArrayF32).U32(i % 3);
        b.Fs(std::vector<float>(pair.begin(), pair.begin() + i % 3)).K(LexSemicolon);
        b.Member(LexMemberToken, M("s")).Str(std::string(i % 5, 'a' + i % 26)).K(LexSemicolon);
    }
    b.K(LexBraceR).K(LexSemicolon);
    for (bool memory : {false, true}) {
        Fresh();
        EXPECT_EQ(Run(b.m_S, memory), std::vector<std::string>{});
        ExpectObjects("ReadProbe$1.{ .f 2996.5; .v3 (1, 2, 2996); .af [1.0, 2.0]; .s \"g\"; };");
    }
}

TEST_F(ReadForms, BinaryFaultsKeepTheStreamInStep) {
    {
        // An oversized String: logged, consumed, Error 2; the statement after it still runs.
        Bytes b = Object1();
        b.Member(LexMemberToken, M("s")).Str(std::string(8192, 'x')).K(LexSemicolon);
        b.Member(LexMemberToken, M("i")).K(LexI32).U32(3).K(LexSemicolon).K(LexBraceR);
        b.K(LexSemicolon);
        LexerBinary l(b.m_S.data() + 10, static_cast<int>(b.m_S.size() - 10), 0);
        LogCapture err;
        l.Lex();
        EXPECT_EQ(l.Lex(), LexError);
        EXPECT_EQ(l.GetCode(), 2);
        EXPECT_TRUE(Has(err.Messages(), "buffer limit exceeded by 'String' in binary script"));
        EXPECT_EQ(l.Lex(), LexSemicolon);
        EXPECT_TRUE(Has(Run(b.m_S), "ParseValueCB: value or length overflow."));
        EXPECT_EQ(Find(1)->Get(MakeMemberID<ClassMember_I32>(IDValue(M("i")))), 3);
    }
    {
        // Truncated payloads and counts that lie: Error then the end, in both forms.
        const std::vector<std::string> cuts = {
            Bytes().K(LexI64).U32(1).m_S,
            Bytes().K(LexArrayI32).U32(0xFFFFFFFF).U32(1).m_S,
            Bytes().K(LexArrayMatrix4f).U32(0x40000000).m_S,
            Bytes().K(LexArrayString).U32(3).U32(100).U8('a').m_S,
            Bytes().K(LexArrayString).U32(0xFFFFFFFF).m_S,
            Bytes().K(LexString).U32(10).U8('a').m_S,
            Bytes().K(LexMemberToken).U8(1).m_S,
            Bytes().K(LexIdentifier).U8(4).U8('a').m_S};
        for (const std::string& c : cuts) {
            LexerBinary memory(c.data(), static_cast<int>(c.size()), 0);
            EXPECT_EQ(memory.Lex(), LexError) << int(c[0]);
            EXPECT_EQ(memory.GetCode(), 1);
            EXPECT_EQ(memory.Lex(), LexEOF);
            LexerBinary pipe(StreamPipeMemory::Create(c.data(), static_cast<int>(c.size())), 0);
            EXPECT_EQ(pipe.Lex(), LexError) << int(c[0]);
            EXPECT_EQ(pipe.Lex(), LexEOF);
        }
    }
    {
        // Unknown kind bytes are logged; the parser reports them.
        LogCapture err;
        const std::string c = Bytes().K(17).K(LexSemicolon).m_S;
        LexerBinary l(c.data(), 2, 0);
        EXPECT_EQ(l.Lex(), LexError);
        EXPECT_EQ(l.GetCode(), LexerBinary::k_ErrorUnknownKind);
        EXPECT_TRUE(Has(err.Messages(), "Invalid symbol 0x11 in binary script stream."));
    }
    // Class and member tokens naming nothing, a member of another class, and values of the
    // wrong type are refused with messages that name them; the statement goes on after them.
    const ClassType_MemberID* foreign =
        FindClassMember(BuiltinTypeID(k_ClassRotationOrderEnum), "XYZ");
    Bytes wrongTypes; // into an I32 array, then an I32
    wrongTypes.K(LexArrayI64).U32(1).U64(1).K(LexSemicolon);
    wrongTypes.Member(LexMemberToken, M("i")).K(LexBool).U8(1);
    const std::pair<std::string, std::vector<const char*>> refusals[] = {
        {Bytes().Class(600).K(LexId).U32(1).K(LexSemicolon).m_S,
         {"Value: expected ClassID but found \"class 600\"."}},
        {Bytes().K(LexClassMemberToken).U8(200).U16(m_C).K(LexSemicolon).m_S,
         {"Value: expected MemberID but found"}},
        {Set1(foreign, Bytes().K(LexI32).U32(1)), {"Object: unknown member attribute \"XYZ\"."}},
        {Set1(M("ai"), wrongTypes),
         {"expected Array_I32 but found Array_I64.", "expected I32 but found Bool."}},
    };
    for (const auto& [bytes, messages] : refusals) {
        const std::vector<std::string> errors = Run(bytes);
        for (const char* message : messages)
            EXPECT_TRUE(Has(errors, message)) << message;
    }
}

TEST_F(ReadForms, CompiledProgramsSetEveryMemberKind) {
    const uint32_t cls = IDValue(m_Class->GetClassID());
    auto id = [&](const char* n) { return IDValue(M(n)); };
    Words w;
    w << AsmOp::create_tO_cOTu << cls << 1;
    w << AsmOp::mfnset_tO_cT_cb << id("b") << 1;
    w << AsmOp::mfnset_tO_cT_ci << id("i") << static_cast<uint32_t>(-5);
    w << AsmOp::mfnset_tO_cT_cI << id("I") << 1 << 2;
    w << AsmOp::mfnset_tO_cT_cu << id("u") << 7;
    w << AsmOp::mfnset_tO_cT_cU << id("U") << 3 << 4;
    (w << AsmOp::mfnset_tO_cT_cf << id("f")).F(0.5f);
    w << AsmOp::mfnset_tO_cT_cF << id("F") << 0 << 0x3FF80000u; // 1.5
    (w << AsmOp::mfnset_tO_cT_cv2f << id("v2")).Fs({1, 2});
    (w << AsmOp::mfnset_tO_cT_cv3f << id("v3")).Fs({1, 2, 3});
    (w << AsmOp::mfnset_tO_cT_cv4f << id("v4")).Fs({1, 2, 3, 4});
    (w << AsmOp::mfnset_tO_cT_cm4f << id("m")).Fs(k_Ramp);
    (w << AsmOp::mfnset_tO_cT_cspf << id("sp")).Fs({0, 0, 0, 6});
    (w << AsmOp::mfnset_tO_cT_cqf << id("q")).Fs({0, 0, 0, 1});
    (w << AsmOp::mfnset_tO_cT_cs << id("s")).Text("hello");
    w << AsmOp::mfnset_tO_cT_cM << id("mid") << id("f");
    w << AsmOp::mfnset_tO_cT_cOTu << id("o") << cls << 2;
    w << AsmOp::mfnset_tO_cT_cAOTu << id("ao") << 2 << cls << 2 << cls << 3;
    w << AsmOp::mfnset_tO_cT_cAM << id("amid") << 1 << id("i");
    (w << AsmOp::mfnset_tO_cT_cAs << id("as") << 2).Text("abcd").Text("e");
    w << AsmOp::mfnset_tO_cT_cAi << id("ai") << 2 << 1 << static_cast<uint32_t>(-1);
    w << AsmOp::mfnset_tO_cT_cAu << id("au") << 1 << 8;
    (w << AsmOp::mfnset_tO_cT_cAf << id("af") << 1).F(2);
    (w << AsmOp::mfnset_tO_cT_cAv2f << id("av2") << 1).Fs({1, 2});
    (w << AsmOp::mfnset_tO_cT_cAv3f << id("av3") << 1).Fs({1, 2, 3});
    (w << AsmOp::mfnset_tO_cT_cAv4f << id("av4") << 1).Fs({1, 2, 3, 4});
    (w << AsmOp::mfnset_tO_cT_cAm4f << id("am") << 1).Fs(k_Ones);
    w << AsmOp::create_tO_cOTu << cls << 1; // the same number: only made current again
    // Through the parser's dispatch of a compiled file.
    LogCapture err;
    const std::string file = w.Bytes();
    const Obj<ScriptObject> result = m_Engine->Execute(
        StreamPipeMemory::Create(file.data(), static_cast<int>(file.size())), String("c"), 0);
    ASSERT_TRUE(err.Messages().empty()) << err.Messages()[0];
    EXPECT_EQ(result.Get(), Find(1));
    ExpectObjects("ReadProbe$1.{ .b True; .i -5; .I 8589934593I; .u 7u; .U 17179869187U;\n"
                  ".f 0.5; .F 1.5F; .v2 (1, 2); .v3 (1, 2, 3); .v4 (1, 2, 3, 4);\n"
                  ".m (0,1,2,3, 4,5,6,7, 8,9,10,11, 12,13,14,15); .sp ((0, 0, 0), 6);\n"
                  ".q (0, 0, 0, 1); .s \"hello\"; .mid @ReadProbe.f; .o ReadProbe$2;\n"
                  ".ao [ReadProbe$2, ReadProbe$3]; .amid [@ReadProbe.i]; .as [\"abcd\", \"e\"];\n"
                  ".ai [1, -1]; .au [8u]; .af [2.0]; .av2 [(1, 2)]; .av3 [(1, 2, 3)];\n"
                  ".av4 [(1, 2, 3, 4)]; .am [(1,1,1,1, 1,1,1,1, 1,1,1,1, 1,1,1,1)]; };");
}

// A program of 1 GiB or more is refused before anything of it is read or run; one byte less
// runs. The pipe only claims the size.
TEST_F(ReadForms, CompiledProgramsOfAGibibyteAreRefused) {
    Words w;
    w << AsmOp::create_tO_cOTu << IDValue(m_Class->GetClassID()) << 1;
    const std::string program = w.Bytes().substr(4);
    for (const int64_t claimed :
         {int64_t{0x40000000}, int64_t{0x7FFFFFFF} * 4, int64_t{0x3FFFFFFF}}) {
        SCOPED_TRACE(claimed);
        Fresh();
        Obj<QuorlixTest::FaultPipe> pipe = NewObject<QuorlixTest::FaultPipe>(
            StreamPipeMemory::Create(program.data(), static_cast<int>(program.size())));
        pipe->ClaimSize(claimed);
        Obj<ScriptObject> result;
        LogCapture err;
        const EResult code = VPUAsmLoader(pipe).Execute(m_Engine->GetCurrentNamespace(), result);
        const bool refused = claimed >= 0x40000000;
        EXPECT_EQ(code, refused ? EOverflow : SOK);
        EXPECT_EQ(result.Get(), refused ? nullptr : Find(1));
        EXPECT_EQ(Find(1)->IsNil(), refused);
        EXPECT_EQ(Has(err.Messages(), "refused"), refused);
        EXPECT_TRUE(!refused || pipe->Position() == 0) << pipe->Position();
    }
}

TEST_F(ReadForms, CompiledFaultsStopWithoutAResult) {
    const uint32_t cls = IDValue(m_Class->GetClassID());
    auto id = [&](const char* n) { return IDValue(M(n)); };
    struct Case {
        Words m_W;
        const char* m_Message;
        EResult m_Code;
    };
    std::vector<Case> cases;
    auto add = [&](Words w, const char* message, EResult code = EFail) {
        cases.push_back({std::move(w), message, code});
    };
    add(Words() << 1, "VPUAsmLoader::Execute: illegal opcode: 1", EUnimplemented);
    add(Words() << 9999, "VPUAsmLoader::Execute: illegal opcode: 9999", EUnimplemented);
    add(Words() << AsmOp::create_tO_cOTu << cls, "truncated instruction");
    add(Words() << AsmOp::create_tO_cOTu << cls << 0, "object number 0");
    add(Words() << AsmOp::create_tO_cOTu << 700 << 5, "invalid class identifier", EInvalidArgument);
    add(Words() << AsmOp::select_tO_cOu << 42, "select of an undefined object");
    add(Words() << AsmOp::mfnset_tO_cT_ci << id("i") << 1, "member set without a current object");
    Words base;
    base << AsmOp::create_tO_cOTu << cls << 1;
    add(Words(base) << AsmOp::mfnset_tO_cT_cf << id("i") << 0, "cannot take a value of type F32",
        EInvalidArgument);
    add(Words(base) << AsmOp::mfnset_tO_cT_ci << 0x7F000000u, "invalid member identifier",
        EInvalidArgument);
    add(Words(base) << AsmOp::mfnset_tO_cT_cAi << id("ai") << 0xFFFFFFFFu << 1,
        "truncated instruction");
    add(Words(base) << AsmOp::mfnset_tO_cT_cAs << id("as") << 1 << 0xFFFFFFF0u,
        "truncated instruction");
    add(Words(base) << AsmOp::mfnset_tO_cT_cI << id("I") << 1, "truncated instruction");
    add(Words(base) << AsmOp::mfnset_tO_cT_cE << id("i") << 0, "cannot take a value of type Enum",
        EInvalidArgument);
    add(Words(base) << AsmOp::mfnset_tO_cT_cAb << id("ai") << 1 << 1,
        "cannot take a value of type Bool", EInvalidArgument);
    add(Words(base) << AsmOp::mfnset_tO_cT_cAI << id("ai") << 1 << 1 << 1,
        "cannot take a value of type I64", EInvalidArgument);
    for (const Case& c : cases) {
        Fresh();
        EResult code = SOK;
        std::vector<std::string> errors;
        const Obj<ScriptObject> result = Load(c.m_W, &code, &errors);
        EXPECT_EQ(result.Get(), nullptr) << c.m_Message;
        EXPECT_EQ(code, c.m_Code) << c.m_Message;
        EXPECT_TRUE(Has(errors, c.m_Message))
            << c.m_Message << ": " << (errors.empty() ? "" : errors[0]);
    }
    {
        // Only a header: the appended zero word ends it; nothing made, the nil object back.
        EResult code = EFail;
        EXPECT_EQ(Load(Words(), &code).Get(), &G_NilObject);
        EXPECT_EQ(code, SOK);
    }
}

TEST_F(ReadForms, CompiledProgramsReadFromEveryPipeAndEndAtOpcodeZero) {
    const uint32_t cls = IDValue(m_Class->GetClassID());
    // Past one read piece, so that pipes of unknown size deliver it in several.
    constexpr uint32_t k_Objects = 20000;
    Words first;
    for (uint32_t n = 1; n <= k_Objects; ++n)
        first << AsmOp::create_tO_cOTu << cls << n;
    first << AsmOp::brk_v;
    Words twoPrograms(first);
    twoPrograms << AsmOp::create_tO_cOTu << cls << k_Objects + 1;
    const auto load = [&](const std::string& program, int pipeKind) {
        Fresh();
        Obj<StreamPipe> pipe(
            StreamPipeMemory::Create(program.data() + 4, static_cast<int>(program.size() - 4)));
        if (pipeKind != 0) {
            auto* faulty = NewObject<QuorlixTest::FaultPipe>(pipe.Get());
            faulty->Trickle(1000);
            if (pipeKind == 2)
                faulty->FailSeeks(QuorlixTest::FaultPipe::Fault::Always);
            pipe = faulty;
        }
        LogCapture err;
        Obj<ScriptObject> result;
        EXPECT_EQ(VPUAsmLoader(pipe).Execute(m_Engine->GetCurrentNamespace(), result), SOK);
        EXPECT_EQ(result.Get(), Find(k_Objects));
        if (pipeKind != 2) { // read to its end, whether copied or run in place
            EXPECT_EQ(pipe->Seek(0, SeekCurrent), static_cast<int64_t>(program.size() - 4));
        }
        return err.Messages();
    };
    for (int pipeKind : {0, 1, 2}) { // memory, trickling, trickling without a size
        EXPECT_TRUE(load(first.Bytes(), pipeKind).empty()) << pipeKind;
        int made = 0;
        for (uint32_t n = 1; n <= k_Objects; ++n)
            made += !Find(n)->IsNil();
        EXPECT_EQ(made, int(k_Objects)) << pipeKind;

        // A second program behind the first is not run, but reported.
        const std::vector<std::string> lines = load(twoPrograms.Bytes(), pipeKind);
        EXPECT_TRUE(Has(lines, "VPUAsmLoader::Execute: 12 bytes after the end of the program "
                               "ignored"))
            << pipeKind;
        EXPECT_TRUE(Find(k_Objects + 1)->IsNil());
        EXPECT_TRUE(Has(load(first.Bytes() + "ab", pipeKind),
                        "Execute: 2 bytes after the end of the program ignored"))
            << pipeKind;
    }
}

} // namespace
