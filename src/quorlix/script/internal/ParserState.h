#pragma once
// The parser's private parts: the state of one parse, the parsed values and the value receivers.
// Parser.cpp holds the entries and the statements, ParserValue.cpp the values and expressions.
//
// Every recursion of the parser (values inside values, if blocks inside if blocks, includes)
// goes through a depth counter, so no input can exhaust the stack.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/core/Result.h"
#include "quorlix/core/String.h"
#include "quorlix/math/StreamOutput.h"
#include "quorlix/script/Lexer.h"
#include "quorlix/script/ScriptObject.h"
#include "quorlix/stream/Stream.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace Quorlix {

class LexerBinary;
class ScriptEngine;
class ScriptNamespace;
class ScriptClass;
class StreamPipe;

namespace Internal {

/// Deepest nesting of values and of if blocks.
constexpr int k_MaxParseDepth = 256;
/// Deepest chain of included files (the including file counts).
constexpr int k_MaxIncludeDepth = 32;

/// What a parsed value is.
enum class ValueType : uint8_t {
    None,
    Bool,
    I32,
    I64,
    U32,
    U64,
    F32,
    F64,
    Vector2f,
    Vector3f,
    Vector4f,
    Matrix4f,
    Spheref,
    String,
    Enum,
    MemberID,
    Object,
    Array,
    Hash,
};

/// The script type name of a value type ("I32", "Vector3f", "Object", "Array", "Hash").
const char* ValueTypeName(ValueType type) noexcept;

/// An array value: its elements in one typed array, chosen by the first element. Object arrays
/// carry the class a typed array (Class[...]) named, else ScriptObject.
struct ParsedArray {
    using Storage = std::variant<std::monostate, Array<bool>, Array<int32_t>, Array<int64_t>,
                                 Array<uint32_t>, Array<uint64_t>, Array<float>, Array<double>,
                                 Array<Vector2f>, Array<Vector3f>, Array<Vector4f>, Array<Matrix4f>,
                                 Array<Spheref>, Array<String>, Array<const ClassType_Enum*>,
                                 Array<const ClassType_MemberID*>, Array<Obj<ScriptObject>>>;
    ValueType m_Type = ValueType::None; // element type; None while empty
    const ClassType_TypeID* m_ElementClass = nullptr;
    Storage m_Elements;

    int Size() const noexcept;
};

struct HashEntry;
/// A hash value: (name, value) entries in order; names may repeat.
using ParsedHash = std::vector<HashEntry>;

/// One value of any type, for operands, hash entries and the values the parser holds on to.
struct ScriptValue {
    ValueType m_Type = ValueType::None;
    union {
        bool m_Bool;
        int32_t m_I32;
        int64_t m_I64;
        uint32_t m_U32; // also Enum and MemberID identifiers
        uint64_t m_U64;
        float m_F32;
        double m_F64;
        float m_Floats[16]; // vectors, the matrix row by row, the sphere (centre, radius)
    };
    String m_String;
    Obj<ScriptObject> m_Object;
    ParsedArray m_Array;
    ParsedHash m_Hash;

    // Out of line: the hash's entries hold values themselves.
    ScriptValue() noexcept;
    ~ScriptValue();
    ScriptValue(ScriptValue&& other) noexcept;
    ScriptValue& operator=(ScriptValue&& other) noexcept;
    ScriptValue(const ScriptValue&) = delete;
    ScriptValue& operator=(const ScriptValue&) = delete;
};

struct HashEntry {
    String m_Name;
    ScriptValue m_Value;
};

class Parser;

/// Takes one parsed value. Each Found... answers SOK or a failure; the defaults refuse the type
/// through Refuse, which answers EUnimplemented without a message unless a receiver words its
/// own. The operations keep the order of the receiver interface.
class ValueReceiver {
public:
    virtual ~ValueReceiver() = default;
    virtual EResult FoundBool(bool value);
    virtual EResult FoundI32(int32_t value);
    virtual EResult FoundI64(int64_t value);
    virtual EResult FoundU32(uint32_t value);
    virtual EResult FoundU64(uint64_t value);
    virtual EResult FoundF32(float value);
    virtual EResult FoundF64(double value);
    virtual EResult FoundVector2f(const Vector2f& value);
    virtual EResult FoundVector3f(const Vector3f& value);
    virtual EResult FoundVector4f(const Vector4f& value);
    virtual EResult FoundMatrix4f(const Matrix4f& value);
    virtual EResult FoundSpheref(const Spheref& value);
    virtual EResult FoundString(const String& value);
    virtual EResult FoundEnum(uint32_t member);
    virtual EResult FoundMemberID(uint32_t member);
    virtual EResult FoundObject(ScriptObject* object);
    virtual EResult FoundArray(ParsedArray& array);
    virtual EResult FoundHash(ParsedHash& hash);
    /// A value of type `typeName` that this receiver does not take.
    virtual EResult Refuse(const char* typeName);
};

/// Hands `value` to the receiver's Found... of its type.
EResult Deliver(ValueReceiver& receiver, ScriptValue& value);

/// Keeps whatever value it is given.
class CaptureReceiver : public ValueReceiver {
public:
    EResult FoundBool(bool value) override;
    EResult FoundI32(int32_t value) override;
    EResult FoundI64(int64_t value) override;
    EResult FoundU32(uint32_t value) override;
    EResult FoundU64(uint64_t value) override;
    EResult FoundF32(float value) override;
    EResult FoundF64(double value) override;
    EResult FoundVector2f(const Vector2f& value) override;
    EResult FoundVector3f(const Vector3f& value) override;
    EResult FoundVector4f(const Vector4f& value) override;
    EResult FoundMatrix4f(const Matrix4f& value) override;
    EResult FoundSpheref(const Spheref& value) override;
    EResult FoundString(const String& value) override;
    EResult FoundEnum(uint32_t member) override;
    EResult FoundMemberID(uint32_t member) override;
    EResult FoundObject(ScriptObject* object) override;
    EResult FoundArray(ParsedArray& array) override;
    EResult FoundHash(ParsedHash& hash) override;

    ScriptValue m_Value; // m_Type None until a value came
};

/// One message of the parser's error stream; the line end and the colour reset follow when it
/// goes (a note ends as a log message). Inactive (writes nothing) in quiet mode.
class ErrorLine {
public:
    explicit ErrorLine(Stream* stream) noexcept : m_Stream(stream) {}
    ErrorLine(ErrorLine&& other) noexcept : m_Stream(other.m_Stream) { other.m_Stream = nullptr; }
    ~ErrorLine();
    ErrorLine(const ErrorLine&) = delete;
    ErrorLine& operator=(const ErrorLine&) = delete;

    template <class T>
    ErrorLine& operator<<(const T& part) {
        if (m_Stream != nullptr)
            *m_Stream << part;
        return *this;
    }
    /// `text` between double quotes.
    ErrorLine& Quoted(const char* text);
    /// `prefix` and `value` in upper-case hexadecimal.
    ErrorLine& Hex(uint32_t value, const char* prefix = "0x");

private:
    Stream* m_Stream; // a level lock of Xerr is held while it is set
};

/// A direct-mapped cache of what names resolved to, keyed by a number (a class index, or a
/// kind of name) and the name's bytes. Long names are not cached; a collision replaces.
class NameCache {
public:
    static constexpr int k_Slots = 1024;
    static constexpr int k_MaxName = 43;

    /// The value stored for (key, name), or null; `hash` is what Store takes.
    const void* Find(uint32_t key, const char* name, int length, uint32_t& hash) const noexcept;
    void Store(uint32_t hash, uint32_t key, const char* name, int length, const void* value);

private:
    struct Slot {
        const void* m_Value;
        uint32_t m_Hash;
        uint32_t m_Key;
        uint8_t m_Length;
        char m_Name[k_MaxName];
    };
    std::unique_ptr<Slot[]> m_Slots; // made on the first store
};

/// The state of one parse: the lexer, where definitions go, the error count and the position of
/// the first error.
class Parser {
public:
    Parser(ScriptEngine& engine, ScriptNamespace* ns, Lexer& lexer, const StringRef& name,
           unsigned flags);

    // --- Tokens and messages (Parser.cpp) ---
    LexType Tok() const noexcept { return m_Lexer.GetType(); }
    void Next() {
        m_Lexer.Lex();
        ++m_Tokens;
    }
    /// Counts an error and opens its message (the position prefix written).
    ErrorLine ReportError();
    /// Opens a note (not counted); nothing in quiet mode.
    ErrorLine Note();
    EResult ReadExpect(LexType kind);
    EResult Expect(LexType kind);
    EResult SkipToSemicolon();
    EResult SkipBlock();
    /// Reports statement kind `kind` as refused in a restricted parse and skips to the ';' that
    /// ends the statement (brackets balanced, so a refused class body goes whole), which it
    /// leaves for the caller. EAbort.
    EResult RefuseStatement(const char* kind);
    /// The line of the read position (0 without line counting).
    int Line() { return m_Lexer.GetLineCount(); }

    // --- Statements (Parser.cpp) ---
    /// Runs statements up to the end of input, reporting progress through `progress` (may be
    /// null) after each.
    void RunStatements(class ProgressReporter* progress);
    EResult ParseStatement();

    // --- Values (ParserValue.cpp) ---
    /// One value at the current token, handed to `receiver` (ParseValueCB).
    EResult ParseValue(ValueReceiver& receiver);
    /// One value, with binary operators after it evaluated (an ExpressionReceiver around
    /// `receiver`).
    EResult ParseExpression(ValueReceiver& receiver);
    /// Evaluates the operators that follow `left` (the current token is one) and hands the
    /// result on.
    EResult EvaluateFrom(ScriptValue& left, ValueReceiver& receiver);
    EResult ParseAttributeValue(ScriptObject* object, const ClassType_MemberID* member);
    /// A qualified colon name at the current token: the namespace of its last segment and that
    /// segment. False (reported, skipped to ';') for an unknown namespace.
    bool ReadQualifiedName(ScriptNamespace*& ns, String& name);
    /// A class of the built-in tables or of the target namespace; null when none.
    const ClassType_TypeID* ResolveClass(const char* name);
    /// The enumerator or member `member` of the built-in class or scope `classPart`
    /// (FindScopedMember), cached; null when none.
    const ClassType_MemberID* ResolveBuiltinMember(const char* classPart, const char* member);
    /// The class identifier of a class index: built-in form below 256.
    static const ClassType_TypeID* ClassIDOf(int classIndex) noexcept;
    /// The class of the current binary class or member token: index below 512 with a class in
    /// the slot; null otherwise.
    const ClassType_TypeID* TokenClass() const noexcept;
    /// The same for class index `c` and member index `k` as a token carries them.
    static const ClassType_TypeID* TokenClass(int c) noexcept;
    static const ClassType_MemberID* TokenMember(int c, int k) noexcept;
    /// The member of the current binary member or class-member token: its class as TokenClass
    /// and a defined member index below the class table's count; null otherwise.
    const ClassType_MemberID* TokenMember() const noexcept;
    /// What an invalid class or member token names in messages ("class 600", "member 9 of
    /// class 70").
    std::string TokenText() const;

    ScriptEngine& m_Engine;
    ScriptNamespace* m_Namespace;
    Lexer& m_Lexer;
    LexerBinary* m_Binary = nullptr; // the same lexer when the file is binary
    String m_Name;
    int m_Errors = 0;
    int m_FirstLine = 0;
    int m_FirstColumn = 0;
    bool m_Quiet;
    bool m_Restricted;         // ParseRestricted: only member assignments of named objects
    int m_Depth = 0;           // values and blocks being parsed, one inside the other
    long m_Tokens = 0;         // tokens consumed, to see that a statement made progress
    unsigned m_Statements = 0; // statements run, to report progress every so many

private:
    EResult ParseIdentifierValue(ValueReceiver& receiver);
    /// The binary literal kinds: vectors, the matrix, the sphere and arrays.
    EResult ParseBinaryLiteral(ValueReceiver& receiver);
    EResult ParseGlobalName(ValueReceiver& receiver);
    EResult ParseMemberReference(ValueReceiver& receiver);
    EResult ParseArray(ValueReceiver& receiver, const ClassType_TypeID* elementClass);
    EResult ParseHash(ValueReceiver& receiver);
    EResult ParseParenthesis(ValueReceiver& receiver);
    EResult BuildComponents(ValueReceiver& receiver, const float* components, int count);
    /// `knownClass`, when given, is the class `className` names (from a binary class token).
    EResult ParseObject(ValueReceiver& receiver, const char* className, ScriptNamespace* ns,
                        const String* name, bool hasId, uint32_t id,
                        const ClassType_TypeID* knownClass = nullptr);
    EResult ParseObjectBody(ValueReceiver& receiver, ScriptObject* object, bool& delivered);
    EResult GetMember(ValueReceiver& receiver, ScriptObject* object,
                      const ClassType_MemberID* member);
    EResult Climb(ScriptValue& left, int maxPrecedence);
    EResult Evaluate(ScriptValue& left, LexType op, ScriptValue& right);
    const ClassType_MemberID* FindMember(ScriptObject* object, const char* name);
    /// The member the current name token gives for `object`: a dotted name by name, a binary
    /// member token by its identifier (null unless valid and of the object's class). `direct`,
    /// when given, receives the binary literal kind the member takes as it is (DirectKindOf).
    const ClassType_MemberID* MemberOfToken(ScriptObject* object, uint8_t* direct = nullptr);
    /// The literal kind whose bytes member `entry` stores unconverted: the scalar kind of a
    /// number, vector, sphere or matrix member (its array kind for an array of them),
    /// LexString, LexClassMemberToken for an enumeration; 0 for every other member.
    static uint8_t DirectKindOf(const MVTBL& entry) noexcept;
    /// Binary bodies: sets member `m` (the current token) from a literal of kind `direct` and
    /// ';' that follow in the lexer's bytes and moves to the token after them. False, with
    /// nothing consumed, when the member needs the general path.
    bool SetBinaryMember(ScriptObject* object, const ClassType_MemberID* m, uint8_t direct);
    /// "Object: failed to set member attribute ..." for member m of a body; with the line of
    /// ParseAttributeValue before it, what a value the member refused leaves in the log.
    void ReportMemberNotSet(const MVTBL& entry, const ClassType_MemberID* m);
    void ReportValueNotSet(const MVTBL& entry, const ClassType_MemberID* m);
    /// The same for a literal of value type V, and for a plain number or vector array of V.
    template <class V>
    bool SetBinaryValue(ScriptObject* object, const ClassType_MemberID* m);
    template <class V>
    bool SetBinaryArray(ScriptObject* object, const ClassType_MemberID* m);
    /// The same for an enumerator of the member's own enumeration.
    bool SetBinaryEnumerator(ScriptObject* object, const ClassType_MemberID* m);
    /// The same for a String shorter than the lexer's buffer.
    bool SetBinaryString(ScriptObject* object, const ClassType_MemberID* m);
    /// TokenMember, remembered by class and member index.
    const ClassType_MemberID* CachedTokenMember();
    const ClassType_MemberID* CachedTokenMember(int c, int k);
    /// The current name token as text for messages.
    std::string MemberTokenName() const;
    bool Adjacent(const void* before, const void* after, int length) const noexcept;

    EResult StatementIf();
    EResult RestrictedStatement();
    EResult StatementClass();
    EResult StatementEnum();
    template <class R>
    EResult FinishClass(ScriptClass& cls, const char* invalid);
    EResult StatementVar();
    EResult StatementPrint();
    EResult StatementInclude();
    EResult StatementExpression();
    EResult RunBlock();

    // Dotted names being read.
    std::string m_Dotted;
    std::string m_MemberKey;
    // What names resolved to: built-in classes and enumerators (their lookups scan the class
    // slots) and the members of each class; a file names the same few again and again.
    NameCache m_Names;
    // Binary member tokens that TokenMember accepted, by class and member index (the
    // identifier is a function of the two), and the pairs of member and class row that
    // MemberOfToken found valid. Both stand until the class tables change (the epoch).
    struct TokenMemberSlot {
        uint32_t m_Key = 0; // class << 8 | member, plus 1; 0 when empty
        const ClassType_MemberID* m_Member = nullptr;
    };
    static constexpr int k_TokenMemberBits = 10;
    std::array<TokenMemberSlot, 1u << k_TokenMemberBits> m_TokenMembers{};
    struct CheckedMemberSlot {
        MVTBL* const* m_Row = nullptr; // null when empty
        const ClassType_MemberID* m_Member = nullptr;
        uint8_t m_Direct = 0; // DirectKindOf the member's entry in that row
    };
    static constexpr int k_CheckedMemberBits = 10;
    std::array<CheckedMemberSlot, 1u << k_CheckedMemberBits> m_CheckedMembers{};
    uint32_t m_TokenEpoch = 0;
};

/// Counts one level of nesting for as long as it lives.
class DepthGuard {
public:
    explicit DepthGuard(Parser& parser) noexcept : m_Parser(parser) { ++m_Parser.m_Depth; }
    ~DepthGuard() { --m_Parser.m_Depth; }
    DepthGuard(const DepthGuard&) = delete;
    DepthGuard& operator=(const DepthGuard&) = delete;
    bool TooDeep() const noexcept { return m_Parser.m_Depth > k_MaxParseDepth; }

private:
    Parser& m_Parser;
};

/// Reports the read position of a pipe as a fraction to the engine's progress bar.
class ProgressReporter {
public:
    /// Measures the pipe (end and back to where it was); inactive when the engine has no bar
    /// or the pipe cannot tell its size. Report tells the bar the fraction read so far (the
    /// lexer reads ahead a block at a time, so it moves in steps).
    ProgressReporter(ScriptEngine& engine, StreamPipe* pipe);
    bool Active() const noexcept { return m_Size > 0; }
    void Report();

private:
    ScriptEngine& m_Engine;
    StreamPipe* m_Pipe;
    int64_t m_Start = 0;
    int64_t m_Size = 0;
};

} // namespace Internal
} // namespace Quorlix
