// The parser's entries, the recognition of the file forms, error reporting and the statements.
// Values and expressions are in ParserValue.cpp.
//
// [SECTION] Entries       Parse (pipe and text), header recognition, the summary
// [SECTION] Progress      measuring the pipe and reporting per statement
// [SECTION] Messages      ReportError, notes, ReadExpect, Expect, SkipToSemicolon, SkipBlock
// [SECTION] Statements    the loop, if/else, class, enum, var, print, include, expressions

#include "quorlix/script/Parser.h"

#include "quorlix/log/LogMsg.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/math/StreamOutput.h"
#include "quorlix/script/LexerBinary.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/VPUAsmLoader.h"
#include "quorlix/script/internal/ParserState.h"
#include "quorlix/stream/Storage.h"

#include <cstring>

namespace Quorlix {

using namespace Internal;

namespace {

// Files being parsed on this thread, one including the next.
thread_local int t_IncludeDepth = 0;

constexpr unsigned k_LexerFlags = Lexer::FlagCombineUnary | Lexer::FlagSkipBlank |
                                  Lexer::FlagSkipCRLF | Lexer::FlagSkipDoubleSlashComment;
constexpr unsigned k_BinaryLexerFlags = Lexer::FlagSkipBlank | Lexer::FlagSkipCRLF;

bool IsWord(const Lexer& lexer, const char* word, int length) {
    return lexer.GetTextLength() == length && std::memcmp(lexer.GetText(), word, length) == 0;
}

EResult HeaderFailure(ScriptEngine& engine, const char* message, const StringRef& name) {
    engine.CountError();
    (void)LogMsg(EUnimplemented, "Parse: ", "IDCheck", ErrActionDefault, message, name.GetCPtr());
    return EUnimplemented;
}

Obj<ScriptObject> RunParse(Parser& parser, ProgressReporter* progress) {
    parser.m_Namespace->SetFirstObject(nullptr);
    parser.RunStatements(progress);
    if (parser.m_Errors > 0) {
        if (parser.m_Quiet)
            return Obj<ScriptObject>(&G_NilObject);
        (void)LogMsg(EFail, parser.m_Name.GetCPtr(), "Parser::Parse", ErrActionDefault,
                     "The parsed file contains errors.\n\n  File: #1\n  Line: #2  Column: #3\n  "
                     "Errors: #4",
                     parser.m_Name.GetCPtr(), parser.m_FirstLine, parser.m_FirstColumn,
                     parser.m_Errors);
    }
    ScriptObject* first = parser.m_Namespace->GetFirstObject();
    return Obj<ScriptObject>(first != nullptr ? first : &G_NilObject);
}

// Keeps the include depth of this thread while a file is parsed.
class IncludeLevel {
public:
    IncludeLevel() noexcept { ++t_IncludeDepth; }
    ~IncludeLevel() { --t_IncludeDepth; }
    IncludeLevel(const IncludeLevel&) = delete;
    IncludeLevel& operator=(const IncludeLevel&) = delete;
};

} // namespace

// --- [SECTION] Entries ---------------------------------------------------------------------------

Obj<ScriptObject> Parse(ScriptEngine& engine, ScriptNamespace* ns, StreamPipe* pipe,
                        const StringRef& name, unsigned flags) {
    const Obj<ScriptObject> nil(&G_NilObject);
    if (ScriptNamespace::IsNil(ns))
        return nil;
    IncludeLevel level;
    // Measured before the header is read; the position is restored, so reading is undisturbed.
    ProgressReporter progress(engine, t_IncludeDepth == 1 ? pipe : nullptr);
    const int first = pipe != nullptr ? pipe->Read() : -1;
    if (first < 0) {
        engine.CountError();
        (void)LogMsg(ENotFound, "Parse: ", "IDCheck", ErrActionDefault,
                     "The file \"#1\" does not exist.", name.GetCPtr());
        return nil;
    }
    if (first == 'K') {
        unsigned char rest[3] = {};
        const int n = ReadFully(*pipe, rest, 3);
        if (n < 3 || rest[0] != 'S' || (rest[1] != 'B' && rest[1] != 'C')) {
            (void)HeaderFailure(engine,
                                "The file \"#1\" has an invalid binary script header, please "
                                "reconvert it.",
                                name);
            return nil;
        }
        if (rest[1] == 'B' && rest[2] != 3) {
            (void)HeaderFailure(engine,
                                "The file \"#1\" has an incompatible binary script header, please "
                                "reconvert it.",
                                name);
            return nil;
        }
        if (rest[1] == 'C' && rest[2] != 1) {
            (void)HeaderFailure(
                engine,
                "The file \"#1\" has an incompatible compiled script header, please "
                "reconvert it.",
                name);
            return nil;
        }
        if (rest[1] == 'C' && (flags & ParseRestricted) != 0) {
            // Compiled code is not read statement by statement, so nothing of it is checked.
            (void)HeaderFailure(engine,
                                "RemoteObject::Receive: refused statement: compiled script "
                                "\"#1\".",
                                name);
            return nil;
        }
        if (rest[1] == 'C') {
            Obj<ScriptObject> result(&G_NilObject);
            if (Failed(VPUAsmLoader(pipe).Execute(ns, result))) {
                engine.CountError();
                return nil;
            }
            return result;
        }
        LexerBinary lexer(pipe, (flags & ParseLineCount) | k_BinaryLexerFlags);
        Parser parser(engine, ns, lexer, name, flags);
        parser.m_Binary = &lexer;
        parser.Next();
        return RunParse(parser, progress.Active() ? &progress : nullptr);
    }
    // The header line: up to eight bytes are checked. Its line feed is left to the lexer, which
    // counts it, so that messages name the lines of the file.
    char header[8] = {static_cast<char>(first)};
    int length = 1;
    for (int c = pipe->Peek(); first != '\n' && length < 8 && c >= 0 && c != '\n'; c = pipe->Peek())
        header[length++] = static_cast<char>(pipe->Read());
    if (length < 4 || std::memcmp(header, "//KS", 4) != 0) {
        (void)HeaderFailure(engine, "The file \"#1\" has an invalid ascii script header.", name);
        return nil;
    }
    if (length < 8 || header[4] != ' ' || header[5] != '0' || header[6] != '.' ||
        (header[7] != '2' && header[7] != '3'))
        (void)LogMsg(EUnimplemented, "Parse: ", "IDCheck", ErrActionDefault,
                     "The file \"#1\" has an incompatible ascii script header.", name.GetCPtr());
    if (first != '\n') {
        while (pipe->Peek() >= 0 && pipe->Peek() != '\n')
            (void)pipe->Read();
    }
    Lexer lexer(pipe, (flags & ParseLineCount) | k_LexerFlags);
    Parser parser(engine, ns, lexer, name, flags);
    parser.Next();
    return RunParse(parser, progress.Active() ? &progress : nullptr);
}

Obj<ScriptObject> Parse(ScriptEngine& engine, ScriptNamespace* ns, const StringRef& script,
                        const StringRef& name, unsigned flags) {
    if (ScriptNamespace::IsNil(ns))
        return Obj<ScriptObject>(&G_NilObject);
    IncludeLevel level;
    Lexer lexer(script.GetCPtr(), script.Size(), (flags & ParseLineCount) | k_LexerFlags);
    Parser parser(engine, ns, lexer, name, flags);
    parser.Next();
    return RunParse(parser, nullptr);
}

Obj<ScriptObject> ParseBinary(ScriptEngine& engine, ScriptNamespace* ns, const void* data, int size,
                              const StringRef& name, unsigned flags) {
    if (ScriptNamespace::IsNil(ns))
        return Obj<ScriptObject>(&G_NilObject);
    IncludeLevel level;
    LexerBinary lexer(data, size, (flags & ParseLineCount) | k_BinaryLexerFlags);
    Parser parser(engine, ns, lexer, name, flags);
    parser.m_Binary = &lexer;
    parser.Next();
    return RunParse(parser, nullptr);
}

namespace Internal {

// --- [SECTION] Progress --------------------------------------------------------------------------

ProgressReporter::ProgressReporter(ScriptEngine& engine, StreamPipe* pipe)
    : m_Engine(engine), m_Pipe(pipe) {
    if (pipe == nullptr || engine.GetProgressBar() == nullptr)
        return;
    const int64_t start = pipe->Seek(0, SeekCurrent);
    if (start < 0)
        return;
    const int64_t end = pipe->Seek(0, SeekEnd);
    // Back to where reading stands, whatever the measurement gave.
    if (pipe->Seek(start, SeekBegin) != start || end <= start)
        return;
    m_Start = start;
    m_Size = end - start;
}

void ProgressReporter::Report() {
    ProgressBar* bar = m_Engine.GetProgressBar();
    if (bar == nullptr)
        return;
    const int64_t position = m_Pipe->Seek(0, SeekCurrent);
    if (position < 0)
        return;
    bar->SetProgress(ProgressBar::Fraction(static_cast<double>(position - m_Start),
                                           static_cast<double>(m_Size)));
}

// --- [SECTION] Messages --------------------------------------------------------------------------

ErrorLine::~ErrorLine() {
    if (m_Stream == nullptr)
        return;
    // Back to colour 7 (whatever the log's format), and the log's lock released.
    Xerr.pLF();
    Xerr.pColor(7, 0);
    Xerr.pUnlockMessage();
}

ErrorLine& ErrorLine::Quoted(const char* text) {
    if (m_Stream != nullptr)
        *m_Stream << '"' << text << '"';
    return *this;
}

ErrorLine& ErrorLine::Hex(uint32_t value, const char* prefix) {
    if (m_Stream != nullptr) {
        *m_Stream << prefix;
        m_Stream->pMemPtr(reinterpret_cast<const void*>(static_cast<uintptr_t>(value)));
    }
    return *this;
}

Parser::Parser(ScriptEngine& engine, ScriptNamespace* ns, Lexer& lexer, const StringRef& name,
               unsigned flags)
    : m_Engine(engine), m_Namespace(ns), m_Lexer(lexer), m_Name(name),
      m_Quiet((flags & ParseQuiet) != 0), m_Restricted((flags & ParseRestricted) != 0) {}

ErrorLine Parser::ReportError() {
    m_Engine.CountError();
    if (m_Errors++ == 0) {
        m_FirstLine = m_Lexer.GetLineCount();
        m_FirstColumn = m_Lexer.GetColumnCount();
    }
    if (m_Quiet)
        return ErrorLine(nullptr);
    // On the error level, so that hosts filtering the log by level see parse errors.
    Stream& stream = Xerr.pLockError();
    stream.pColor(11, 0);
    stream << "File: " << m_Name << "(" << m_Lexer.GetLineCount()
           << ") x=" << m_Lexer.GetColumnCount() << " :\n    ";
    return ErrorLine(&stream);
}

ErrorLine Parser::Note() {
    if (m_Quiet)
        return ErrorLine(nullptr);
    return ErrorLine(&Xerr.pLockNote());
}

EResult Parser::ReadExpect(LexType kind) {
    if (Tok() == kind) {
        Next();
        return SOK;
    }
    ReportError() << "ReadExpect: expected '" << Lexer::LexTypeToString(kind) << "' but found '"
                  << Lexer::LexTypeToString(Tok()) << "'.";
    return EFail;
}

EResult Parser::Expect(LexType kind) {
    if (Tok() != kind)
        return ENotFound;
    Next();
    return SOK;
}

EResult Parser::SkipToSemicolon() {
    while (Tok() != LexSemicolon) {
        if (Tok() == LexEOF)
            return ENotFound;
        Next();
    }
    return SOK;
}

EResult Parser::SkipBlock() {
    auto closerOf = [](LexType open) {
        return open == LexParenthesisL ? LexParenthesisR
                                       : (open == LexBracketL ? LexBracketR : LexBraceR);
    };
    if (Tok() != LexParenthesisL && Tok() != LexBracketL && Tok() != LexBraceL) {
        ReportError() << "SkipBlock: encountered invalid brace type.";
        return EFail;
    }
    // The open brackets; bounded like every other nesting.
    LexType open[k_MaxParseDepth];
    int depth = 0;
    open[depth++] = closerOf(Tok());
    Next();
    while (depth > 0) {
        const LexType t = Tok();
        if (t == LexEOF) {
            ReportError() << "SkipBlock: reached EOF. missing closing brace somewhere.";
            return EFail;
        }
        if (t == LexParenthesisL || t == LexBracketL || t == LexBraceL) {
            if (depth == k_MaxParseDepth) {
                ReportError() << "SkipBlock: blocks nested deeper than " << k_MaxParseDepth
                              << " levels.";
                return EFail;
            }
            open[depth++] = closerOf(t);
        } else if (t == LexParenthesisR || t == LexBracketR || t == LexBraceR) {
            if (open[depth - 1] != t) {
                ReportError() << "SkipBlock: found nonmatching brace. missing closing brace "
                                 "somewhere.";
                return EFail;
            }
            --depth;
        }
        Next();
    }
    return SOK;
}

// --- [SECTION] Statements ------------------------------------------------------------------------

void Parser::RunStatements(ProgressReporter* progress) {
    while (Tok() != LexEOF) {
        const long before = m_Tokens;
        (void)ParseStatement();
        // Every path consumes a token or reports; this keeps a missed case from looping.
        if (m_Tokens == before)
            Next();
        // The position costs a call into the pipe; a bar moves no faster than this anyway.
        if (progress != nullptr && (++m_Statements & 255) == 0)
            progress->Report();
    }
    if (progress != nullptr && m_Statements > 0)
        progress->Report();
}

EResult Parser::ParseStatement() {
    if (m_Restricted)
        return RestrictedStatement();
    EResult result = SOK;
    if (Tok() == LexIdentifier) {
        if (IsWord(m_Lexer, "if", 2))
            result = StatementIf();
        else if (IsWord(m_Lexer, "class", 5))
            result = StatementClass();
        else if (IsWord(m_Lexer, "enum", 4))
            result = StatementEnum();
        else if (IsWord(m_Lexer, "var", 3))
            result = StatementVar();
        else if (IsWord(m_Lexer, "print", 5))
            result = StatementPrint();
        else if (IsWord(m_Lexer, "include", 7))
            result = StatementInclude();
        else
            result = StatementExpression();
    } else {
        result = StatementExpression();
    }
    const EResult end = ReadExpect(LexSemicolon);
    return Failed(result) ? result : end;
}

EResult Parser::RefuseStatement(const char* kind) {
    ReportError() << "RemoteObject::Receive: refused statement: " << kind << ".";
    // Depth is only counted, so no nesting is too deep to skip.
    long depth = 0;
    for (LexType t = Tok(); t != LexEOF && (t != LexSemicolon || depth > 0); t = Tok()) {
        if (t == LexParenthesisL || t == LexBracketL || t == LexBraceL)
            ++depth;
        else if ((t == LexParenthesisR || t == LexBracketR || t == LexBraceR) && depth > 0)
            --depth;
        Next();
    }
    return EAbort;
}

EResult Parser::RestrictedStatement() {
    if (Tok() == LexIdentifier) {
        static constexpr struct {
            const char* m_Word;
            int m_Length;
            const char* m_Kind;
        } k_Refused[] = {{"class", 5, "class"},
                         {"enum", 4, "enum"},
                         {"var", 3, "global var"},
                         {"print", 5, "print"},
                         {"include", 7, "include"}};
        for (const auto& refused : k_Refused) {
            if (IsWord(m_Lexer, refused.m_Word, refused.m_Length)) {
                (void)RefuseStatement(refused.m_Kind);
                return Expect(LexSemicolon);
            }
        }
        if (IsWord(m_Lexer, "if", 2)) {
            const EResult result = StatementIf();
            const EResult end = ReadExpect(LexSemicolon);
            return Failed(result) ? result : end;
        }
    }
    // What else may change anything is refused where it is parsed, at any depth: assignments
    // to globals (ParseGlobalName), objects under new names and anonymous objects standing as
    // statements (ParseObject).
    const EResult result = StatementExpression();
    const EResult end = ReadExpect(LexSemicolon);
    return Failed(result) ? result : end;
}

namespace {

// The condition of an if: any value, checked for Bool by the statement.
class ConditionReceiver final : public CaptureReceiver {};

} // namespace

EResult Parser::RunBlock() {
    DepthGuard guard(*this);
    if (guard.TooDeep()) {
        ReportError() << "If: blocks nested deeper than " << k_MaxParseDepth << " levels.";
        return EFail;
    }
    Next(); // {
    while (Tok() != LexBraceR) {
        if (Tok() == LexEOF) {
            ReportError() << "If: missing { block; } closing brace.";
            return EFail;
        }
        const long before = m_Tokens;
        const EResult result = ParseStatement();
        if (Failed(result))
            return result;
        if (m_Tokens == before)
            Next();
    }
    Next(); // }
    return SOK;
}

EResult Parser::StatementIf() {
    Next();
    ConditionReceiver condition;
    if (Failed(ParseExpression(condition))) {
        ReportError() << "If: error in condition expression.";
        (void)SkipToSemicolon();
        return EFail;
    }
    if (condition.m_Value.m_Type != ValueType::Bool) {
        ReportError() << "If: result of expression is not Bool.";
        (void)SkipToSemicolon();
        return EUnimplemented;
    }
    if (Tok() != LexBraceL) {
        ReportError() << "If: missing { block; } after condition.";
        return EFail;
    }
    const bool taken = condition.m_Value.m_Bool;
    EResult result = taken ? RunBlock() : SkipBlock();
    if (Failed(result))
        return result;
    if (Tok() == LexIdentifier && IsWord(m_Lexer, "else", 4)) {
        Next();
        if (Tok() != LexBraceL) {
            ReportError() << "If: missing { block; } after else.";
            return EFail;
        }
        result = taken ? SkipBlock() : RunBlock();
    }
    return result;
}

namespace {

// Defines one member of a script class from its default value.
class ClassMemberReceiver final : public ValueReceiver {
public:
    ClassMemberReceiver(Parser& parser, ScriptClass& cls, const char* name)
        : m_Parser(parser), m_Class(cls), m_Name(name) {}

    EResult FoundBool(bool value) override { return Define(k_ClassBool, &value); }
    EResult FoundI32(int32_t value) override { return Define(k_ClassI32, &value); }
    EResult FoundI64(int64_t value) override { return Define(k_ClassI64, &value); }
    EResult FoundU32(uint32_t value) override { return Define(k_ClassU32, &value); }
    EResult FoundU64(uint64_t value) override { return Define(k_ClassU64, &value); }
    EResult FoundF32(float value) override { return Define(k_ClassF32, &value); }
    EResult FoundF64(double value) override { return Define(k_ClassF64, &value); }
    EResult FoundVector2f(const Vector2f& value) override {
        return Define(k_ClassVector2f, &value);
    }
    EResult FoundVector3f(const Vector3f& value) override {
        return Define(k_ClassVector3f, &value);
    }
    EResult FoundVector4f(const Vector4f& value) override {
        return Define(k_ClassVector4f, &value);
    }
    EResult FoundMatrix4f(const Matrix4f& value) override {
        return Define(k_ClassMatrix4f, &value);
    }
    EResult FoundSpheref(const Spheref& value) override { return Define(k_ClassSpheref, &value); }
    EResult FoundString(const String& value) override { return Define(k_ClassString, &value); }
    EResult FoundEnum(uint32_t member) override {
        // Enumeration members of script classes take any enumerator.
        const ClassType_Enum* value = MakeMemberID<ClassType_Enum>(member);
        return Define(k_ClassEnum, &value);
    }
    EResult FoundMemberID(uint32_t member) override {
        const ClassType_MemberID* value = MakeMemberID(member);
        return Define(k_ClassMemberID, &value);
    }
    EResult FoundObject(ScriptObject*) override { return Define(k_ClassScriptObject, nullptr); }
    EResult FoundArray(ParsedArray& array) override {
        const void* storage = nullptr;
        std::visit(
            [&](auto& elements) {
                if constexpr (!std::is_same_v<std::decay_t<decltype(elements)>, std::monostate>)
                    storage = &elements;
            },
            array.m_Elements);
        int type = 0;
        switch (array.m_Type) {
        case ValueType::I32:
            type = k_ClassI32;
            break;
        case ValueType::U32:
            type = k_ClassU32;
            break;
        case ValueType::F32:
            type = k_ClassF32;
            break;
        case ValueType::Vector2f:
            type = k_ClassVector2f;
            break;
        case ValueType::Vector3f:
            type = k_ClassVector3f;
            break;
        case ValueType::Vector4f:
            type = k_ClassVector4f;
            break;
        case ValueType::Matrix4f:
            type = k_ClassMatrix4f;
            break;
        case ValueType::String:
            type = k_ClassString;
            break;
        default:
            m_Parser.ReportError()
                << "Class: Array: type " << ValueTypeName(array.m_Type) << " not implemented.";
            return EUnimplemented;
        }
        return Found(m_Class.DefMemberVar(m_Name, Parser::ClassIDOf(type), MemberIsArray, storage));
    }

private:
    EResult Define(int type, const void* value) {
        return Found(m_Class.DefMemberVar(m_Name, Parser::ClassIDOf(type), 0, value));
    }
    static EResult Found(const ClassType_MemberID* m) { return m != nullptr ? SOK : EFail; }

    Parser& m_Parser;
    ScriptClass& m_Class;
    const char* m_Name;
};

// Defines one enumerator from its value.
class EnumMemberReceiver final : public ValueReceiver {
public:
    EnumMemberReceiver(Parser& parser, ScriptClass& cls, const char* name)
        : m_Parser(parser), m_Class(cls), m_Name(name) {}

    EResult FoundI32(int32_t value) override { return Define(value); }
    EResult FoundU32(uint32_t value) override { return Define(static_cast<int>(value)); }
    EResult FoundEnum(uint32_t member) override {
        const MVTBL* table = IsTableOf(ClassIndexOf(MakeMemberID(member)));
        const int k = static_cast<int>(member >> 24);
        if (table == nullptr || k >= TableHeader(table)->m_Count)
            return EFail;
        return Define(static_cast<int>(table[k].m_OffsetOrValue));
    }
    EResult Refuse(const char* typeName) override {
        m_Parser.ReportError() << "Enum: argument type error, expected Enum|I32|U32 but found "
                               << typeName << ".";
        return EInvalidArgument;
    }

private:
    EResult Define(int value) {
        return m_Class.DefMemberEnum(m_Name, value, 0) != nullptr ? SOK : EFail;
    }

    Parser& m_Parser;
    ScriptClass& m_Class;
    const char* m_Name;
};

bool IsMemberName(LexType t) {
    return t == LexDotIdentifier || t == LexDotIdentifierFunction || t == LexDotIdentifierElement;
}

} // namespace

// The optional `. { .member value; ... }` of a class or enum statement, each value handed to a
// receiver of type R (which defines the member); then the class is completed and named.
template <class R>
EResult Parser::FinishClass(ScriptClass& cls, const char* invalid) {
    EResult result = SOK;
    if (Tok() == LexDot) {
        Next();
        result = ReadExpect(LexBraceL);
        if (Succeeded(result)) {
            while (IsMemberName(Tok())) {
                const String member(m_Lexer.GetText(), m_Lexer.GetTextLength());
                Next();
                R receiver(*this, cls, member.GetCPtr());
                if (Failed(ParseValue(receiver))) {
                    ReportError() << invalid;
                    (void)SkipToSemicolon();
                }
                (void)ReadExpect(LexSemicolon);
            }
            result = ReadExpect(LexBraceR);
        }
    }
    cls.EndClass();
    // Named only once complete: an instance made while members are still being added (a
    // default value naming the class itself) would lack room for the later ones.
    m_Namespace->AddClass(&cls);
    return result;
}

EResult Parser::StatementClass() {
    Next();
    if (Tok() != LexIdentifier) {
        ReportError() << "Class: expected identifier after 'class'.";
        (void)SkipToSemicolon();
        return EInvalidArgument;
    }
    const String name(m_Lexer.GetText(), m_Lexer.GetTextLength());
    Next();
    if (Tok() == LexSemicolon) {
        Note() << "Class: forward of \"" << name << "\" ignored (not yet supported). Line "
               << Line();
        return SOK;
    }
    if (ResolveClass(name.GetCPtr()) != nullptr) {
        ReportError() << "Class: redefinition of class \"" << name << "\" not supported.";
        (void)SkipToSemicolon();
        return EInvalidArgument;
    }
    const ClassType_TypeID* base = nullptr;
    if (Tok() == LexOperatorGT) {
        Next();
        if (Tok() != LexIdentifier) {
            ReportError() << "Class: expected identifier after 'class T>'.";
            (void)SkipToSemicolon();
            return EInvalidArgument;
        }
        base = ResolveClass(m_Lexer.GetText());
        if (base == nullptr) {
            ReportError() << "Class: undefined baseclass \"" << m_Lexer.GetText() << "\".";
            (void)SkipToSemicolon();
            return EInvalidArgument;
        }
        Next();
    }
    Obj<ScriptClass> cls(ScriptClass::Create());
    if (cls->IsNil())
        return EOutOfMemory;
    cls->DefClassObject(name.GetCPtr(), base);
    return FinishClass<ClassMemberReceiver>(*cls, "Class: unsupported or invalid value.");
}

EResult Parser::StatementEnum() {
    Next();
    if (Tok() != LexIdentifier) {
        ReportError() << "Enum: expected identifier after 'enum'.";
        (void)SkipToSemicolon();
        return EInvalidArgument;
    }
    const String name(m_Lexer.GetText(), m_Lexer.GetTextLength());
    Next();
    if (ResolveClass(name.GetCPtr()) != nullptr) {
        ReportError() << "Enum: redefinition of enum \"" << name << "\" not supported.";
        (void)SkipToSemicolon();
        return EInvalidArgument;
    }
    Obj<ScriptClass> cls(ScriptClass::Create());
    if (cls->IsNil())
        return EOutOfMemory;
    cls->DefClassEnum(name.GetCPtr(), nullptr);
    return FinishClass<EnumMemberReceiver>(*cls, "Enum: unsupported or invalid value.");
}

namespace {

// Defines a global variable: one boxed value named in the namespace.
class DefVarReceiver final : public ValueReceiver {
public:
    DefVarReceiver(Parser& parser, ScriptNamespace* ns, const String& name)
        : m_Parser(parser), m_Namespace(ns), m_Name(name) {}

    EResult FoundBool(bool value) override { return Box(value); }
    EResult FoundI32(int32_t value) override { return Box(value); }
    EResult FoundI64(int64_t value) override { return Box(value); }
    EResult FoundU32(uint32_t value) override { return Box(value); }
    EResult FoundU64(uint64_t value) override { return Box(value); }
    EResult FoundF32(float value) override { return Box(value); }
    EResult FoundF64(double value) override { return Box(value); }
    EResult FoundVector2f(const Vector2f& value) override { return Box(value); }
    EResult FoundVector3f(const Vector3f& value) override { return Box(value); }
    EResult FoundVector4f(const Vector4f& value) override { return Box(value); }
    EResult FoundMatrix4f(const Matrix4f& value) override { return Box(value); }
    EResult FoundSpheref(const Spheref& value) override { return Box(value); }
    EResult FoundString(const String& value) override { return Box(value); }
    EResult FoundObject(ScriptObject*) override {
        m_Parser.ReportError() << "DefVar::FoundObject unintended use.";
        return EUnimplemented;
    }
    EResult FoundArray(ParsedArray&) override {
        m_Parser.ReportError() << "DefVar::FoundArray unimplemented.";
        return EUnimplemented;
    }
    EResult Refuse(const char* typeName) override {
        m_Parser.ReportError() << "DefVar::Found" << typeName << " unimplemented.";
        return EUnimplemented;
    }

private:
    template <class V>
    EResult Box(const V& value) {
        constexpr int c = ScriptValueTraits<V>::k_Class;
        Obj<ScriptObject> box(ScriptObject::Create(BuiltinTypeID(c)));
        if (box->IsNil())
            return EFail;
        box->Set(MemberIDOf<ClassMemberOf<V, false>>(1, c), value);
        m_Namespace->DefObject(box, m_Name);
        return SOK;
    }

    Parser& m_Parser;
    ScriptNamespace* m_Namespace;
    const String& m_Name;
};

} // namespace

EResult Parser::StatementVar() {
    Next();
    if (Tok() != LexColonIdentifier) {
        ReportError() << "Var: expected ':name' after 'var'.";
        (void)SkipToSemicolon();
        return EInvalidArgument;
    }
    ScriptNamespace* ns = m_Namespace;
    String name;
    if (!ReadQualifiedName(ns, name))
        return EFail;
    DefVarReceiver receiver(*this, ns, name);
    if (Failed(ParseExpression(receiver))) {
        ReportError() << "Var: unsupported or invalid value.";
        (void)SkipToSemicolon();
        return EFail;
    }
    return SOK;
}

namespace {

// Writes each value to Xout.
class PrintReceiver final : public ValueReceiver {
public:
    explicit PrintReceiver(Parser& parser) : m_Parser(parser) {}

    EResult FoundBool(bool value) override { return Write(value ? "true" : "false"); }
    EResult FoundI32(int32_t value) override { return Write(value); }
    EResult FoundI64(int64_t value) override { return Write(value); }
    EResult FoundU32(uint32_t value) override { return Write(value); }
    EResult FoundU64(uint64_t value) override { return Write(value); }
    EResult FoundF32(float value) override { return Write(value); }
    EResult FoundF64(double value) override { return Write(value); }
    EResult FoundVector2f(const Vector2f& value) override { return Write(value); }
    EResult FoundVector3f(const Vector3f& value) override { return Write(value); }
    EResult FoundVector4f(const Vector4f& value) override { return Write(value); }
    EResult FoundMatrix4f(const Matrix4f& value) override { return Write(value); }
    EResult FoundSpheref(const Spheref& value) override { return Write(value); }
    EResult FoundString(const String& value) override { return Write(value.Ref()); }
    EResult FoundObject(ScriptObject* object) override {
        Xout << object->GetObjectClassName() << "(0x";
        Xout.pMemPtr(object);
        Xout << ")";
        return SOK;
    }
    EResult FoundEnum(uint32_t) override { return Unimplemented("FoundEnum unimplemenmted."); }
    EResult FoundMemberID(uint32_t) override {
        return Unimplemented("FoundMemberID unimplemenmted.");
    }
    EResult FoundArray(ParsedArray&) override { return Unimplemented("FoundArray unimplemented."); }
    EResult FoundHash(ParsedHash&) override { return Unimplemented("FoundHash unimplemenmted."); }

private:
    template <class V>
    EResult Write(const V& value) {
        Xout << value;
        return SOK;
    }
    EResult Unimplemented(const char* what) {
        m_Parser.ReportError() << "Print::" << what;
        return EUnimplemented;
    }

    Parser& m_Parser;
};

} // namespace

EResult Parser::StatementPrint() {
    Next();
    EResult result = SOK;
    PrintReceiver receiver(*this);
    while (Tok() != LexSemicolon && Tok() != LexEOF) {
        if (Failed(ParseExpression(receiver))) {
            ReportError() << "Print: unsupported or invalid value.";
            (void)SkipToSemicolon();
            result = EFail;
            break;
        }
    }
    Xout.pFlush();
    return result;
}

namespace {

// Parses the file a string names, into the engine's current namespace.
class IncludeReceiver final : public ValueReceiver {
public:
    explicit IncludeReceiver(Parser& parser) : m_Parser(parser) {}

    EResult FoundString(const String& value) override {
        if (t_IncludeDepth >= k_MaxIncludeDepth) {
            m_Parser.ReportError() << "Include: files included deeper than " << k_MaxIncludeDepth
                                   << " levels; \"" << value << "\" not read.";
            return EFail;
        }
        const String path = Storage::GetReadPath() + value.Ref();
        const Obj<StreamPipe> pipe(Storage::OpenStream(path, IORead | Storage::k_QuietNotFound));
        ScriptEngine& engine = m_Parser.m_Engine;
        const Obj<ScriptNamespace> ns(engine.GetCurrentNamespace());
        // The included file clears the namespace's first object; the including file's stays.
        const Obj<ScriptObject> first(ns->GetFirstObject());
        Parse(engine, ns, pipe, path, ParseLineCount);
        if (first != nullptr && !first->IsNil())
            ns->SetFirstObject(first);
        return SOK;
    }
    EResult FoundObject(ScriptObject*) override {
        m_Parser.ReportError() << "Include::FoundObject unintended use.";
        return EUnimplemented;
    }
    EResult FoundArray(ParsedArray&) override {
        m_Parser.ReportError() << "Include::FoundArray unimplemented.";
        return EUnimplemented;
    }
    EResult Refuse(const char* typeName) override {
        m_Parser.ReportError() << "Include::Found" << typeName << " unimplemenmted.";
        return EUnimplemented;
    }

private:
    Parser& m_Parser;
};

} // namespace

EResult Parser::StatementInclude() {
    Next();
    IncludeReceiver receiver(*this);
    if (Failed(ParseExpression(receiver))) {
        ReportError() << "Include: unsupported or invalid value.";
        (void)SkipToSemicolon();
        return EFail;
    }
    return SOK;
}

namespace {

// An expression statement: objects and assignments are silent, other values have no effect.
class StatementReceiver final : public ValueReceiver {
public:
    explicit StatementReceiver(Parser& parser) : m_Parser(parser) {}

    EResult FoundObject(ScriptObject*) override { return SOK; }
    EResult FoundArray(ParsedArray& array) override {
        if (array.m_Type == ValueType::Object) {
            m_Parser.ReportError()
                << "Expression: ScriptObject Array statement has no immediate effect.";
            return SOK;
        }
        return Refuse("Array");
    }
    EResult Refuse(const char* typeName) override {
        m_Parser.Note() << "Expression: statement '" << typeName << "' has no effect. Line "
                        << m_Parser.Line();
        return SOK;
    }

private:
    Parser& m_Parser;
};

} // namespace

EResult Parser::StatementExpression() {
    StatementReceiver receiver(*this);
    if (const EResult result = ParseValue(receiver); Failed(result)) {
        if (result == EAbort) // refused in a restricted parse, reported and skipped
            return result;
        ReportError() << "Expression: unsupported or invalid statement.";
        (void)SkipToSemicolon();
        return EFail;
    }
    return SOK;
}

} // namespace Internal
} // namespace Quorlix
