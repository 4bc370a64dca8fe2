#include "ScriptTestSupport.h"

#include "quorlix/script/Object.h"
#include "quorlix/script/Parser.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

// What one run of a script left behind: the parser's error messages (without the position
// prefix), every other log record, what print wrote, and the result.
struct Outcome {
    std::vector<std::string> m_Errors;
    std::vector<std::string> m_Other;
    std::vector<std::string> m_Prefixes;
    std::string m_Out;
    Obj<ScriptObject> m_Result;
    int m_Counted = 0;

    bool Logged(const std::string& part) const {
        for (const std::string& m : m_Other)
            if (m.find(part) != std::string::npos)
                return true;
        return false;
    }
};

using Lines = std::vector<std::string>;

// The refusals that follow a failed statement or print value.
const std::string k_Statement = "Expression: unsupported or invalid statement.";
const std::string k_PrintValue = "Print: unsupported or invalid value.";

void Collect(Outcome& run, const LogCapture& err, const LogCapture& out) {
    for (const std::string& m : err.Messages()) {
        const size_t split = m.find(" :\n    ");
        if (m.rfind("File: ", 0) == 0 && split != std::string::npos) {
            run.m_Prefixes.push_back(m.substr(0, split));
            run.m_Errors.push_back(m.substr(split + 7));
        } else {
            run.m_Other.push_back(m);
        }
    }
    run.m_Out = out.Text();
}

class ScriptParser : public QuorlixTest::ScriptTest {
protected:
    void SetUp() override { m_Engine = ScriptEngine::Create(); }

    Outcome Exec(const std::string& text, unsigned flags = ParseLineCount) {
        LogCapture err;
        LogCapture out(Xout, 0);
        Outcome run;
        const int before = m_Engine->GetErrorCount();
        run.m_Result = m_Engine->Execute(String(text.c_str(), static_cast<int>(text.size())),
                                         String("t.kss"), flags);
        run.m_Counted = m_Engine->GetErrorCount() - before;
        Collect(run, err, out);
        return run;
    }
    Outcome ExecPipe(const std::string& bytes, unsigned flags = ParseLineCount) {
        LogCapture err;
        LogCapture out(Xout, 0);
        Outcome run;
        const int before = m_Engine->GetErrorCount();
        run.m_Result = m_Engine->Execute(
            StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size())), String("p.kss"),
            flags);
        run.m_Counted = m_Engine->GetErrorCount() - before;
        Collect(run, err, out);
        return run;
    }
    // The errors of `text`, which must print nothing else.
    std::vector<std::string> Errors(const std::string& text) { return Exec(text).m_Errors; }
    // What `print` writes for `values`.
    std::string Print(const std::string& values) {
        const Outcome run = Exec("print " + values + ";");
        EXPECT_TRUE(run.m_Errors.empty()) << values << ": " << run.m_Errors[0];
        return run.m_Out;
    }
    // `statement` logs exactly `messages`.
    void ExpectErrors(const std::string& statement, const Lines& messages) {
        EXPECT_EQ(Errors(statement), messages) << statement;
    }
    ScriptObject* Find(const char* path) { return m_Engine->FindObjectC(path); }

    Obj<ScriptEngine> m_Engine;
};

TEST_F(ScriptParser, ExpressionsClimbPrecedenceAndAssociateLeft) {
    EXPECT_EQ(Print("1 + 2 * 3"), "7");
    EXPECT_EQ(Print("10 - 4 - 3"), "3");
    EXPECT_EQ(Print("7 / 2"), "3");
    EXPECT_EQ(Print("7.0 / 2"), "3.5");
    EXPECT_EQ(Print("2 * 3 + 4 * 5 - 6 / 2"), "23");
    EXPECT_EQ(Print("1 + 2 < 2 * 2 == True"), "true");
    EXPECT_EQ(Print("(1 + 2) * 3"), "9");
    EXPECT_EQ(Print("1 << 2 + 1"), "8"); // + binds tighter than <<
    EXPECT_EQ(Print("6 & 3 | 8 ^ 1"), "11");
    EXPECT_EQ(Print("True == False"), "false");
    EXPECT_EQ(Print("True && False || True ^^ False"), "true");
    EXPECT_EQ(Print("\"ab\" + \"c\" == \"abc\""), "true");
    EXPECT_EQ(Print("\"a\" < \"b\""), "true");
    EXPECT_EQ(Print("7.5 % 2"), "1.5");
    EXPECT_EQ(Print("3 >= 2.5"), "true");
    // Wrapping 32-bit arithmetic, shift counts modulo 32, arithmetic and logical right shifts.
    EXPECT_EQ(Print("2147483647 + 1"), "-2147483648");
    EXPECT_EQ(Print("65536 * 65536"), "0");
    EXPECT_EQ(Print("1 << 33"), "2");
    EXPECT_EQ(Print("-8 >> 1"), "-4");
    EXPECT_EQ(Print("4294967288u >> 1u"), "2147483644");
    EXPECT_EQ(Print("3000000000 > 2u"), "true"); // unsigned comparison
    EXPECT_EQ(Print("-7 / 2"), "-3");
    EXPECT_EQ(Print("-7 % 2"), "-1");
}

TEST_F(ScriptParser, UnsupportedOperatorsAndDivisionFailTheValue) {
    const auto expect = [&](const std::string& value, const std::string& message) {
        const Outcome run = Exec("print " + value + ";");
        ASSERT_EQ(run.m_Errors.size(), 2u) << value;
        EXPECT_EQ(run.m_Errors[0], message);
        EXPECT_EQ(run.m_Errors[1], k_PrintValue);
        EXPECT_EQ(run.m_Out, "");
    };
    expect("True + 1", "Eval: operator +(Bool,I32) is not supported.");
    expect("True < False", "Eval: operator <(Bool,Bool) is not supported.");
    expect("1 && 2", "Eval: operator &&(I32,I32) is not supported.");
    expect("1u || 2u", "Eval: operator ||(U32,U32) is not supported.");
    expect("1.5 << 2.5", "Eval: operator <<(F32,F32) is not supported.");
    expect("1 & 2.0", "Eval: operator 0xD9 is not supported.");
    expect("\"a\" - \"b\"", "Eval: operator 0xD2 is not supported.");
    expect("\"a\" + 1", "Eval: operator +(String,I32) is not supported.");
    expect("1 + 1.5F", "Eval: operator +(I32,F64) is not supported.");
    expect("1 / 0", "Eval: division by zero.");
    expect("5u % 0u", "Eval: division by zero.");
    expect("-2147483648 / -1", "Eval: overflow in division of -2147483648 by -1.");
    expect("-2147483648 % -1", "Eval: overflow in division of -2147483648 by -1.");
}

TEST_F(ScriptParser, ParenthesesGroupOrBuildVectorsAndMatrices) {
    EXPECT_EQ(Print("(5)"), "5");
    EXPECT_EQ(Print("(\"s\")"), "s");
    EXPECT_EQ(Print("(1, 2)"), "(1.,2.)");
    EXPECT_EQ(Print("(1, 2.5, 3)"), "(1.,2.5,3.)");
    EXPECT_EQ(Print("(1.5 + 1.5, 4)"), "(3.,4.)");
    EXPECT_EQ(Print("(1, 2, 3, 4)"), "(1.,2.,3.,4.)");
    EXPECT_EQ(Print("(1,0,0,0, 0,1,0,0, 0,0,1,0, 5,6,7,1)"),
              "(1.,0.,0.,0.,0.,1.,0.,0.,0.,0.,1.,0.,5.,6.,7.,1.)");
    const auto expect = [&](const std::string& value, const std::string& message) {
        const Lines errors = Errors("print " + value + ";");
        ASSERT_EQ(errors.size(), 2u) << value;
        EXPECT_EQ(errors[0], message);
    };
    expect("(1, 2, 3, 4, 5)", "Parenthesis: invalid number of components for vector/matrix.");
    expect("(1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)",
           "Parenthesis: too many components for matrix.");
    expect("(True, 1)", "Parenthesis: invalid component type Bool for vector/matrix.");
    expect("(1u, 1)", "Parenthesis: invalid component type U32 for vector/matrix.");
    expect("(1, Nil)", "Parenthesis: invalid component type Object for vector/matrix.");
    expect("(Nil + 1)", "Parenthesis: expression containing Object cannot be evaluated.");
    expect("(1 2)", "Parenthesis: undefined operator.");
    expect("(1, [1])", "Parenthesis: undefined construct.");
}

TEST_F(ScriptParser, ArraysAndHashes) {
    {
        // Semicolons separate like commas; the statement notes that an array has no effect.
        const Outcome run = Exec("[1; 2, 3];\n{ .a 1, .b \"x\"; .a 2.5 };\n[];\n{};");
        EXPECT_TRUE(run.m_Errors.empty());
        ASSERT_EQ(run.m_Other.size(), 4u);
        EXPECT_EQ(run.m_Other[0], "Expression: statement 'Array' has no effect. Line 1");
        EXPECT_EQ(run.m_Other[1], "Expression: statement 'Hash' has no effect. Line 2");
    }
    ExpectErrors("[1, 2.5];",
                 {"ArrayValue: cannot add type F32 to array of type I32", k_Statement});
    ExpectErrors("[[1]];", {"ArrayValue: Array: nested arrays not supported yet.", k_Statement});
    ExpectErrors("[{}];", {"ArrayValue: Array: nested hash not supported yet.", k_Statement});
    ExpectErrors("[1 2];", {"Value: Array: missing either ',' or ']', assuming ','."});
    ExpectErrors("{ 1 };", {"Value: Hash: unexpected token instead of \".Attr\".", k_Statement});
    ExpectErrors("{ .a 1 .b 2 };", {"Value: Hash: missing either ';' or '}', assuming ','."});
    ExpectErrors("{ .a [1] };", {"HashValue: Hash: nested Hashs not supported yet.", k_Statement});
    ExpectErrors("{ .a {} };", {"HashValue: Hash: nested Hashes not supported yet.", k_Statement});
    ExpectErrors("Object[Object:a, Object:b];",
                 {"Expression: ScriptObject Array statement has no immediate effect."});
    ExpectErrors("Nope[1];", {"Value: expected ClassID but found \"Nope\".", k_Statement});
}

TEST_F(ScriptParser, VariablesAndAssignments) {
    const Outcome run = Exec("var :i 1 + 1;\nvar :f 2.5;\nvar :s \"x\" + \"y\";\nvar :b 1 < 2;\n"
                             "var :v (1, 2, 3);\n:i = :i * 10;\n:s = :s + \"!\";\n"
                             "print :i \" \" :f \" \" :s \" \" :b \" \" :v;");
    EXPECT_TRUE(run.m_Errors.empty()) << run.m_Errors[0];
    EXPECT_EQ(run.m_Out, "20 2.5 xy! true (1.,2.,3.)");
    // Qualified names descend into namespaces; a blank ends the name.
    Obj<ScriptNamespace> previous;
    ASSERT_EQ(m_Engine->EnterNamespace("lib", previous, 1), SOK);
    ASSERT_EQ(m_Engine->LeaveNamespace(previous), SOK);
    EXPECT_TRUE(Errors("var :lib:n 7;\nvar :m :lib:n;\nprint :lib:n :m;").empty());
    EXPECT_EQ(Find("lib:n")->GetObjectClassName(), std::string("I32"));
    EXPECT_EQ(Print(":m"), "7");

    ExpectErrors(":nope = 1;", {"SetVar: global var nope is undefined.", k_Statement});
    ExpectErrors(":i = 1.5;", {"SetVar: global var i has different type than F32.", k_Statement});
    ExpectErrors(":i = Nil;", {"SetVar::FoundObject unintended use.", k_Statement});
    ExpectErrors(":i = [1];", {"SetVar::FoundArray unimplemented.", k_Statement});
    ExpectErrors("var :o Nil;",
                 {"DefVar::FoundObject unintended use.", "Var: unsupported or invalid value."});
    ExpectErrors("var :a [1];",
                 {"DefVar::FoundArray unimplemented.", "Var: unsupported or invalid value."});
    ExpectErrors("var :x:y 1;", {"Object: unknown namespace \"x\"."});
    ExpectErrors("print :undefined;",
                 {"Object: encountered undefined object \"undefined\".", k_PrintValue});
}

TEST_F(ScriptParser, PrintWritesValuesBackToBack) {
    EXPECT_EQ(Print("1 2.5 \"s\""), "12.5s");
    EXPECT_EQ(Print("True False 3000000000 -5000000000 1.5F"), "truefalse3000000000-50000000001.5");
    const Outcome nil = Exec("print Nil;");
    EXPECT_EQ(nil.m_Out.rfind("Nil(0x", 0), 0u) << nil.m_Out;
    EXPECT_EQ(Exec("print;").m_Errors.size(), 0u);
    ExpectErrors("print Euler.XYZ;", {"Print::FoundEnum unimplemenmted.", k_PrintValue});
    ExpectErrors("print @Object.Name;", {"Print::FoundMemberID unimplemenmted.", k_PrintValue});
    ExpectErrors("print [1];", {"Print::FoundArray unimplemented.", k_PrintValue});
    ExpectErrors("print {};", {"Print::FoundHash unimplemenmted.", k_PrintValue});
    // Numbers do not follow the process locale.
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr ||
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") != nullptr) {
        EXPECT_EQ(Print("2.5 (0.5, 1)"), "2.5(0.5,1.)");
        std::setlocale(LC_NUMERIC, "C");
    }
}

TEST_F(ScriptParser, IfRunsOneBranchAndSkipsTheOtherUnread) {
    EXPECT_EQ(Exec("if True { print 1; } else { this is [ not parsed ( } ); };").m_Out, "1");
    EXPECT_EQ(Exec("if 1 > 2 { print 1; } else { print 2; print 3; };").m_Out, "23");
    EXPECT_EQ(Exec("if False { print 1; };").m_Out, "");
    EXPECT_EQ(Exec("if True { if False { print 1; } else { print 2; }; };").m_Out, "2");
    ExpectErrors("if 1 { };", {"If: result of expression is not Bool."});
    ExpectErrors("if :none { };", {"Object: encountered undefined object \"none\".",
                                   "If: error in condition expression."});
    ExpectErrors("if True print 1;", {"If: missing { block; } after condition.",
                                      "ReadExpect: expected 'Semicolon' but found 'Identifier'."});
    ExpectErrors("if True { } else print 1;",
                 {"If: missing { block; } after else.",
                  "ReadExpect: expected 'Semicolon' but found 'Identifier'."});
    ExpectErrors("if True { print 1;", {"If: missing { block; } closing brace.",
                                        "ReadExpect: expected 'Semicolon' but found 'EOF'."});
    ExpectErrors("if False { ( ] };", {"SkipBlock: found nonmatching brace. missing closing brace "
                                       "somewhere.",
                                       "ReadExpect: expected 'Semicolon' but found 'BracketR'.",
                                       "ParseValueCB: unexpected character.", k_Statement});
    ExpectErrors("if False { (", {"SkipBlock: reached EOF. missing closing brace somewhere.",
                                  "ReadExpect: expected 'Semicolon' but found 'EOF'."});
}

TEST_F(ScriptParser, ClassesAndEnumerations) {
    const Outcome run =
        Exec("class Lamp;\nclass Lamp > Object .{ .Power 60.0; .Count 3; .Tag \"t\"; "
             ".Color (1, 1, 1); .Next Nil; .Mode Euler.ZXY; .Steps [1, 2]; };\n"
             "enum Shade .{ .Dark 1; .Light 2u; .Same Euler.YZX; };\n"
             "Lamp:lamp.{ .Power 75.5; .Name \"kept\"; .Mode Euler.XYZ; .Steps [3]; };\n"
             "print :lamp.Power ? :lamp.Count ?;");
    for (const std::string& e : run.m_Errors)
        ADD_FAILURE() << e;
    EXPECT_EQ(run.m_Out, "75.53");
    ASSERT_FALSE(run.m_Other.empty());
    EXPECT_EQ(run.m_Other[0], "Class: forward of \"Lamp\" ignored (not yet supported). Line 1");
    ScriptObject* lamp = Find("lamp");
    ASSERT_STREQ(lamp->GetObjectClassName(), "Lamp");
    EXPECT_EQ(static_cast<Object*>(lamp)->GetName(), "kept");
    ScriptClass* shade = m_Engine->FindClass("Shade");
    ASSERT_FALSE(shade->IsNil());
    const ClassType_Enum* light = shade->Find_Enum("Light");
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(IsTableOf(ClassIndexOf(light))[MemberIndexOf(light)].m_OffsetOrValue, 2u);
    EXPECT_EQ(IsTableOf(ClassIndexOf(light))[3].m_OffsetOrValue, 1u); // Euler.YZX's value

    ExpectErrors("class Lamp .{ };", {"Class: redefinition of class \"Lamp\" not supported."});
    ExpectErrors("class TTransform;", {}); // a forward is only noted
    ExpectErrors("class I32 .{ };", {"Class: redefinition of class \"I32\" not supported."});
    ExpectErrors("class 5;", {"Class: expected identifier after 'class'."});
    ExpectErrors("class A > 5;", {"Class: expected identifier after 'class T>'."});
    ExpectErrors("class B > Nope;", {"Class: undefined baseclass \"Nope\"."});
    ExpectErrors("class C .{ .x {}; .y 1; };", {"Class: unsupported or invalid value."});
    ExpectErrors("class D .{ .x [True]; };", {"Class: Array: type Bool not implemented.",
                                              "Class: unsupported or invalid value."});
    ExpectErrors(
        "class Loop .{ .Self Loop:l; .Next 1; };",
        {"Object: encountered unknown type \"Loop\".", "Class: unsupported or invalid value."});
    ExpectErrors("Loop:l.Next 2;", {}); // complete after its statement
    ExpectErrors("enum Shade;", {"Enum: redefinition of enum \"Shade\" not supported."});
    ExpectErrors("enum 1;", {"Enum: expected identifier after 'enum'."});
    ExpectErrors("enum E .{ .a 1.5; .b 2; };",
                 {"Enum: argument type error, expected Enum|I32|U32 but found F32.",
                  "Enum: unsupported or invalid value."});
    EXPECT_NE(m_Engine->FindClass("E")->IsNil(), true);
}

TEST_F(ScriptParser, ObjectsAreDefinedFoundChangedAndRead) {
    const Outcome run = Exec("Object:a.Name \"first\";\nObject $1F .{ .Name \"by id\"; };\n"
                             "Object.{ .Name \"anonymous\"; };\nprint :a.Name ?;\n"
                             "Object:a.{ .Name \"again\"; };\nObject:a;");
    EXPECT_TRUE(run.m_Errors.empty()) << run.m_Errors[0];
    EXPECT_EQ(run.m_Out, "first");
    EXPECT_EQ(static_cast<Object*>(Find("a"))->GetName(), "again");
    EXPECT_EQ(static_cast<Object*>(m_Engine->GetCurrentNamespace()->FindObjectID(0x1F))->GetName(),
              "by id");
    // The first object defined is the result.
    EXPECT_EQ(run.m_Result.Get(), Find("a"));
    {
        // Another class replaces the object under its name.
        const Outcome change = Exec("ScriptNamespace:a;");
        ASSERT_EQ(change.m_Errors.size(), 1u);
        EXPECT_EQ(change.m_Errors[0],
                  "Object: Object$0 a changed type \"Object\" to \"ScriptNamespace\".");
        EXPECT_STREQ(Find("a")->GetObjectClassName(), "ScriptNamespace");
        ExpectErrors("Object $1F;", {});
        ExpectErrors("ScriptEngine $1F;",
                     {"Object: Object$1F changed type \"Object\" to \"ScriptEngine\"."});
    }
    ExpectErrors(":nothing;", {"Object: encountered undefined object \"nothing\".", k_Statement});
    ExpectErrors("Nope:x;", {"Object: encountered unknown type \"Nope\".", k_Statement});
    ExpectErrors("Nope:a;", {"Object: unknown class \"Nope\".", k_Statement});
    ExpectErrors(
        "MemberID:abstract;",
        {"Object: could not create abstract or unknown object \"MemberID\".", k_Statement});
    ExpectErrors("Object:b.Nope 1;", {"Object: unknown member attribute \"Nope\".", k_Statement});
    ExpectErrors("print :b.Nope ?;",
                 {"Object: unknown member attribute (get) \"Nope\".", k_PrintValue});
    ExpectErrors("Object:b.Name 1;",
                 {"MemberSet: argument type error, expected String but found I32.",
                  "ParseAttributeValue: unsupported or invalid value.",
                  "Object: failed to set member attribute \"Name\".", k_Statement});
    // In a braced body the member is skipped and the rest still applies.
    ExpectErrors("Object:b.{ .Nope 1; .Name [1]; .Name \"ok\"; };",
                 {"Object: unknown member attribute \"Nope\". 0x0",
                  "MemberSet: Array: member Name does not accept an array.",
                  "ParseAttributeValue: unsupported or invalid value.",
                  "Object: failed to set member attribute \"Name\". 0x1FFF040"});
    EXPECT_EQ(static_cast<Object*>(Find("b"))->GetName(), "ok");
    ExpectErrors("Object:b.{ .Name \"x\" };",
                 {"ReadExpect: expected 'Semicolon' but found 'BraceR'."});
    ExpectErrors("Object:b.( );",
                 {"ReadExpect: expected 'BraceL' but found 'ParenthesisL'.", k_Statement});
}

TEST_F(ScriptParser, MemberTypesAreStrict) {
    // A class with members of every form the setter and the get path distinguish.
    const Obj<ScriptClass> cls = QuorlixTest::DefineClass("Strict", BuiltinTypeID(k_ClassObject),
                                                          {{"Ratio", k_ClassF32},
                                                           {"Count", k_ClassI32},
                                                           {"Turn", k_ClassQuaternionf},
                                                           {"Steps", k_ClassI32, MemberIsArray},
                                                           {"Bits", k_ClassBool, MemberIsArray},
                                                           {"Link", k_ClassScriptObject},
                                                           {"Order", k_ClassEnum}});
    m_Engine->GetCurrentNamespace()->AddClass(cls);
    const auto expect = [&](const std::string& statement, const std::string& message) {
        const Lines errors = Errors(statement);
        ASSERT_FALSE(errors.empty()) << statement;
        EXPECT_EQ(errors[0], message) << statement;
    };
    expect("Strict:s.Ratio 1;", "MemberSet: argument type error, expected F32 but found I32.");
    expect("Strict:s.Count 1u;", "MemberSet: argument type error, expected I32 but found U32.");
    expect("Strict:s.Count [1];", "MemberSet: Array: member Count does not accept an array.");
    expect("Strict:s.Steps 1;",
           "MemberSet: argument type error, expected Array_I32 but found I32.");
    expect("Strict:s.Steps [1.5];",
           "MemberSet: argument type error, expected Array_I32 but found Array_F32.");
    // Arrays of every type the writers write are taken, with elements of the member's type.
    ExpectErrors("Strict:s.Bits [True, False];", {});
    expect("Strict:s.Bits [1];",
           "MemberSet: argument type error, expected Array_Bool but found Array_I32.");
    // A quaternion is written as its four floats, and only they are taken.
    ExpectErrors("Strict:s.Turn (0, 0, 0.5, 1);", {});
    expect("Strict:s.Turn (0, 0, 1);",
           "MemberSet: argument type error, expected Quaternionf but found Vector3f.");
    expect("Strict:s.Order @Object.Name;",
           "MemberSet: argument type error, expected Enum but found MemberID.");
    expect("Strict:s.Ratio { .a 1 };",
           "MemberSet: argument type error, expected F32 but found Hash.");
    expect("print :s.Turn ?;", "Object: unsupported member attribute (get) type.");
    expect("print :s.Bits ?;", "Object: unsupported member attribute (get array) type.");
    // What matches exactly is set, including an empty array and any object for ScriptObject.
    ExpectErrors(
        "Strict:s.{ .Ratio 1.5; .Count 2; .Steps []; .Link Object:other; .Order Euler.ZYX; "
        "};\nStrict:s.Steps [4; 5];\nprint :s.Ratio ? :s.Count ?;",
        {});
    EXPECT_EQ(Print(":s.Ratio ? :s.Count ?"), "1.52");
    ScriptObject* s = Find("s");
    EXPECT_EQ(
        s->Get(static_cast<const ClassMember_Object*>(FindClassMember(cls->GetClassID(), "Link"))),
        Find("other"));
    Array<int32_t> steps;
    ASSERT_TRUE(s->GetArray<int32_t>(
        static_cast<const ClassMember*>(FindClassMember(cls->GetClassID(), "Steps")), steps));
    ASSERT_EQ(steps.Size(), 2);
    EXPECT_EQ(steps[1], 5);
    ExpectErrors("print :s.Order ?;", {"Print::FoundEnum unimplemenmted.", k_PrintValue});
}

TEST_F(ScriptParser, IdentifierValuesAndMemberReferences) {
    ExpectErrors("Euler.Foo;", {"Value: expected MemberID but found \"Foo\".", k_Statement});
    ExpectErrors("Nope.Foo;", {"Value: expected ClassID but found \"Nope\".", k_Statement});
    ExpectErrors("nope;", {"Value: expected ClassID but found \"nope\".", k_Statement});
    ExpectErrors("@5;", {"Value: expected identifier after '@'.", k_Statement});
    ExpectErrors("@Object;", {"Value: pure TypeID is not yet supported.", k_Statement});
    ExpectErrors("@Object.Nope;", {"Value: expected MemberID but found \"Nope\".", k_Statement});
    ExpectErrors(")", {"ParseValueCB: unexpected character.", k_Statement,
                       "ReadExpect: expected 'Semicolon' but found 'EOF'."});
    ExpectErrors("\"abc", {"ParseValueCB: unterminated string or illegal character in string.",
                           "Value: unexpected tokens.", k_Statement,
                           "ReadExpect: expected 'Semicolon' but found 'EOF'."});
    // Values that are not objects have no effect as statements.
    const Outcome run = Exec("Euler.RotationOrderEnum.XYZ;\n@Object.Name;\nNil;\n5;");
    EXPECT_TRUE(run.m_Errors.empty());
    EXPECT_EQ(run.m_Other, (Lines{"Expression: statement 'Enum' has no effect. Line 1",
                                  "Expression: statement 'MemberID' has no effect. Line 2",
                                  "Expression: statement 'I32' has no effect. Line 4"}));
}

TEST_F(ScriptParser, ErrorsAreCountedPositionedAndSummarised) {
    const Outcome run = Exec("print 1;\n  5 5;\nprint 3 )\n;");
    EXPECT_EQ(run.m_Out, "13");
    ASSERT_EQ(run.m_Errors.size(), 3u);
    EXPECT_EQ(run.m_Errors[0], "ReadExpect: expected 'Semicolon' but found 'I32'.");
    EXPECT_EQ(run.m_Prefixes[0], "File: t.kss(2) x=6");
    EXPECT_EQ(run.m_Errors[1], "ParseValueCB: unexpected character.");
    EXPECT_EQ(run.m_Errors[2], k_PrintValue);
    EXPECT_EQ(run.m_Counted, 3);
    EXPECT_TRUE(run.m_Other.back().find("The parsed file contains errors.\n\n  File: t.kss\n  "
                                        "Line: 2  Column: 6\n  Errors: 3") != std::string::npos)
        << run.m_Other.back();
    {
        // Colour 11 for the message, then back to 7.
        LogCapture colours(Xerr, 0x0D, true);
        m_Engine->Execute(String("5 5"), String("c"), 0);
        EXPECT_EQ(colours.Messages()[1],
                  "[Error]{11/0}File: c(0) x=0 :\n    ReadExpect: expected 'Semicolon' but found "
                  "'I32'.\n{7/0}");
    }
    // Quiet: nothing shown, nil returned, still counted.
    const Outcome quiet = Exec("Object:q; 1 1 1;", ParseQuiet);
    EXPECT_TRUE(quiet.m_Errors.empty());
    EXPECT_TRUE(quiet.m_Other.empty());
    EXPECT_TRUE(quiet.m_Result->IsNil());
    EXPECT_GT(quiet.m_Counted, 0);
    EXPECT_FALSE(Find("q")->IsNil());
}

TEST_F(ScriptParser, NestingIsBounded) {
    const std::string parens = std::string(100000, '(') + "1" + std::string(100000, ')');
    Outcome run = Exec("print " + parens + ";\nprint 2;");
    EXPECT_EQ(run.m_Out, "2");
    ASSERT_FALSE(run.m_Errors.empty());
    EXPECT_EQ(run.m_Errors[0], "Value: values nested deeper than 256 levels.");

    std::string arrays = "Object:x.Name " + std::string(5000, '[');
    run = Exec(arrays);
    EXPECT_EQ(run.m_Errors[0], "Value: values nested deeper than 256 levels.");

    std::string ifs;
    for (int i = 0; i < 300; ++i)
        ifs += "if True { ";
    run = Exec(ifs + "print 1;");
    EXPECT_EQ(run.m_Out, "");
    EXPECT_NE(run.m_Errors[0].find("nested deeper than 256 levels."), std::string::npos);

    std::string skipped = "if False " + std::string(300, '{') + std::string(300, '}') + ";";
    EXPECT_EQ(Errors(skipped)[0], "SkipBlock: blocks nested deeper than 256 levels.");

    std::string sums = "print 1";
    for (int i = 0; i < 20000; ++i)
        sums += " + 1";
    EXPECT_EQ(Exec(sums + ";").m_Out, "20001");
    // A file that ends inside a body.
    ExpectErrors("Object:e.{ .Name \"x\";",
                 {"ReadExpect: expected 'BraceR' but found 'EOF'.", k_Statement,
                  "ReadExpect: expected 'Semicolon' but found 'EOF'."});
}

TEST_F(ScriptParser, LexicalErrorsAreReportedByTheirCode) {
    ExpectErrors("print \"a\\q\";",
                 {"ParseValueCB: syntax error.", "Value: unexpected tokens.", k_PrintValue});
    EXPECT_EQ(Errors("print 99999999999999999999;")[0], "ParseValueCB: value or length overflow.");
    EXPECT_EQ(Errors("print \"a\nb\";")[0],
              "ParseValueCB: unterminated string or illegal character in string.");
    EXPECT_EQ(Errors("var 5;")[0], "Var: expected ':name' after 'var'.");
}

class CountingBar final : public ProgressBar {
public:
    void SetProgress(float fraction) override { m_Values.push_back(fraction); }
    std::vector<float> m_Values;
};

TEST_F(ScriptParser, FileFormsAreToldByTheirHeader) {
    const Outcome text = ExecPipe("//KS 0.3 F010219x\nObject:h;\nprint 1;");
    EXPECT_TRUE(text.m_Errors.empty());
    EXPECT_TRUE(text.m_Other.empty());
    EXPECT_EQ(text.m_Out, "1");
    EXPECT_EQ(text.m_Result.Get(), Find("h"));
    EXPECT_TRUE(ExecPipe("//KS 0.2\n").m_Result->IsNil()); // empty: nil, no errors
    EXPECT_EQ(ExecPipe("//KS 0.2\n").m_Counted, 0);
    EXPECT_EQ(ExecPipe("//KS 0.3\nprint 5;").m_Out, "5"); // a short header line
    EXPECT_EQ(ExecPipe("//KS\nprint 6;").m_Out, "6");     // line end inside the 8 bytes
    {
        // Qualified names read from a pipe as from memory.
        Obj<ScriptNamespace> previous;
        ASSERT_EQ(m_Engine->EnterNamespace("lib", previous, 1), SOK);
        ASSERT_EQ(m_Engine->LeaveNamespace(previous), SOK);
        EXPECT_EQ(ExecPipe("//KS 0.3\nvar :lib:q 3;\nvar :r :lib:q;\nprint :lib:q :r;").m_Out,
                  "33");
        EXPECT_STREQ(Find("lib:q")->GetObjectClassName(), "I32");
    }

    // Every header but the incompatible ascii one counts as an error.
    const auto logged = [&](const std::string& bytes, const std::string& message, int counted) {
        const Outcome run = ExecPipe(bytes);
        EXPECT_TRUE(run.Logged("The file \"p.kss\" " + message)) << bytes;
        EXPECT_EQ(run.m_Counted, counted) << bytes;
        return run;
    };
    const std::string reconvert = " script header, please reconvert it.";
    EXPECT_EQ(logged("//KS 0.1 x\nprint 7;", "has an incompatible ascii script header.", 0).m_Out,
              "7");
    logged("// KS 0.3\nprint 7;", "has an invalid ascii script header.", 1);
    logged("", "does not exist.", 1);
    // Valid binary and compiled headers with nothing behind them: nil, no error.
    for (const char* header : {"KSB\x03", "KSC\x01"}) {
        const Outcome run = ExecPipe(std::string(header, 4));
        EXPECT_TRUE(run.m_Result->IsNil());
        EXPECT_EQ(run.m_Counted, 0);
    }
    logged(std::string("KSB\x02", 4), "has an incompatible binary" + reconvert, 1);
    logged(std::string("KSC\x02", 4), "has an incompatible compiled" + reconvert, 1);
    logged("KSX\x03", "has an invalid binary" + reconvert, 1);
    logged("KB", "has an invalid binary" + reconvert, 1);
    logged(std::string("BSB\x03", 4), "has an invalid ascii script header.", 1);
}

TEST_F(ScriptParser, ProgressIsMeasuredWithoutDisturbingTheRead) {
    CountingBar* bar = NewObject<CountingBar>();
    m_Engine->SetProgressBar(bar);
    std::string script = "//KS 0.3\n";
    for (int i = 0; i < 4000; ++i)
        script += "var :v" + std::to_string(i) + " " + std::to_string(i) + ";\n";
    // The pipe is read from a position after its start: measuring must come back there.
    const std::string bytes = "skip" + script;
    StreamPipeMemory* pipe = StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size()));
    const Obj<StreamPipe> hold(pipe);
    ASSERT_EQ(pipe->Skip(4), 4);
    LogCapture err;
    m_Engine->Execute(pipe, String("p"), 0);
    EXPECT_TRUE(err.Messages().empty());
    EXPECT_EQ(Find("v3999")->GetObjectClassName(), std::string("I32"));
    // A fraction every 256 statements and one at the end, rising to the whole pipe.
    ASSERT_EQ(bar->m_Values.size(), 4000u / 256 + 1);
    EXPECT_GT(bar->m_Values.front(), 0.0f);
    EXPECT_LT(bar->m_Values.front(), 0.5f);
    for (size_t i = 1; i < bar->m_Values.size(); ++i)
        EXPECT_GE(bar->m_Values[i], bar->m_Values[i - 1]);
    EXPECT_EQ(bar->m_Values.back(), 1.0f);
    m_Engine->SetProgressBar(nullptr);
}

TEST_F(ScriptParser, IncludesReadThroughTheStorageReadPath) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() /
                            ("parser-include-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(folder);
    const auto write = [&](const char* name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    };
    write("a.kss", "//KS 0.3\nObject:fromA;\ninclude \"b.kss\";\nprint \"a\";");
    write("b.kss", "//KS 0.3\nvar :fromB 2;\ninclude \"missing.kss\";\nprint \"b\";");
    write("self.kss", "//KS 0.3\nprint \".\";\ninclude \"self.kss\";");
    const String previous = Storage::GetReadPath();
    ASSERT_EQ(Storage::SetReadPath(String(folder.string().c_str())), nullptr);

    Outcome run = Exec("Object:main;\ninclude \"a\" + \".kss\";\nprint \"main\";");
    EXPECT_EQ(run.m_Out, "bamain");
    EXPECT_FALSE(Find("fromA")->IsNil());
    EXPECT_EQ(Find("fromB")->GetObjectClassName(), std::string("I32"));
    EXPECT_EQ(run.m_Result.Get(), Find("main"));
    EXPECT_TRUE(run.Logged("missing.kss\" does not exist."));
    EXPECT_EQ(run.m_Counted, 1);

    run = Exec("include \"self.kss\";");
    EXPECT_EQ(run.m_Out, std::string(31, '.'));
    ASSERT_EQ(run.m_Errors.size(), 2u);
    EXPECT_EQ(run.m_Errors[1], "Include: unsupported or invalid value.");
    EXPECT_EQ(run.m_Errors[0].rfind("Include: files included deeper than 32 levels; \"", 0), 0u);

    ExpectErrors("include 5;",
                 {"Include::FoundI32 unimplemenmted.", "Include: unsupported or invalid value."});
    ExpectErrors("include Nil;", {"Include::FoundObject unintended use.",
                                  "Include: unsupported or invalid value."});
    ExpectErrors("include [\"a\"];",
                 {"Include::FoundArray unimplemented.", "Include: unsupported or invalid value."});
    (void)Storage::SetReadPath(previous);
    fs::remove_all(folder);
}

} // namespace
