// The value parser: literals, objects and their bodies, global names, member references,
// arrays, hashes, parentheses (grouping, vectors, matrices) and binary expressions.
//
// [SECTION] Values and receivers      ValueTypeName, receiver defaults, CaptureReceiver
// [SECTION] Names                     classes, members, qualified names
// [SECTION] ParseValue                the value at the current token
// [SECTION] Objects                   ParseObject, bodies, member get and set
// [SECTION] Arrays, hashes, parentheses
// [SECTION] Expressions               precedence climbing and the operator table

#include "quorlix/core/Hash.h"
#include "quorlix/script/LexerBinary.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/internal/ClassTableEpoch.h"
#include "quorlix/script/internal/ParserState.h"

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace Quorlix::Internal {

// --- [SECTION] Values and receivers ----------------------------------------------------------

const char* ValueTypeName(ValueType type) noexcept {
    switch (type) {
    case ValueType::Bool:
        return "Bool";
    case ValueType::I32:
        return "I32";
    case ValueType::I64:
        return "I64";
    case ValueType::U32:
        return "U32";
    case ValueType::U64:
        return "U64";
    case ValueType::F32:
        return "F32";
    case ValueType::F64:
        return "F64";
    case ValueType::Vector2f:
        return "Vector2f";
    case ValueType::Vector3f:
        return "Vector3f";
    case ValueType::Vector4f:
        return "Vector4f";
    case ValueType::Matrix4f:
        return "Matrix4f";
    case ValueType::Spheref:
        return "Spheref";
    case ValueType::String:
        return "String";
    case ValueType::Enum:
        return "Enum";
    case ValueType::MemberID:
        return "MemberID";
    case ValueType::Object:
        return "Object";
    case ValueType::Array:
        return "Array";
    case ValueType::Hash:
        return "Hash";
    case ValueType::None:
        break;
    }
    return "None";
}

int ParsedArray::Size() const noexcept {
    return std::visit(
        [](const auto& elements) -> int {
            if constexpr (std::is_same_v<std::decay_t<decltype(elements)>, std::monostate>)
                return 0;
            else
                return elements.Size();
        },
        m_Elements);
}

ScriptValue::ScriptValue() noexcept : m_U64(0) {}
ScriptValue::~ScriptValue() = default;
ScriptValue::ScriptValue(ScriptValue&& other) noexcept = default;
ScriptValue& ScriptValue::operator=(ScriptValue&& other) noexcept = default;

EResult ValueReceiver::FoundBool(bool) {
    return Refuse("Bool");
}
EResult ValueReceiver::FoundI32(int32_t) {
    return Refuse("I32");
}
EResult ValueReceiver::FoundI64(int64_t) {
    return Refuse("I64");
}
EResult ValueReceiver::FoundU32(uint32_t) {
    return Refuse("U32");
}
EResult ValueReceiver::FoundU64(uint64_t) {
    return Refuse("U64");
}
EResult ValueReceiver::FoundF32(float) {
    return Refuse("F32");
}
EResult ValueReceiver::FoundF64(double) {
    return Refuse("F64");
}
EResult ValueReceiver::FoundVector2f(const Vector2f&) {
    return Refuse("Vector2f");
}
EResult ValueReceiver::FoundVector3f(const Vector3f&) {
    return Refuse("Vector3f");
}
EResult ValueReceiver::FoundVector4f(const Vector4f&) {
    return Refuse("Vector4f");
}
EResult ValueReceiver::FoundMatrix4f(const Matrix4f&) {
    return Refuse("Matrix4f");
}
EResult ValueReceiver::FoundSpheref(const Spheref&) {
    return Refuse("Spheref");
}
EResult ValueReceiver::FoundString(const String&) {
    return Refuse("String");
}
EResult ValueReceiver::FoundEnum(uint32_t) {
    return Refuse("Enum");
}
EResult ValueReceiver::FoundMemberID(uint32_t) {
    return Refuse("MemberID");
}
EResult ValueReceiver::FoundObject(ScriptObject*) {
    return Refuse("Object");
}
EResult ValueReceiver::FoundArray(ParsedArray&) {
    return Refuse("Array");
}
EResult ValueReceiver::FoundHash(ParsedHash&) {
    return Refuse("Hash");
}
EResult ValueReceiver::Refuse(const char*) {
    return EUnimplemented;
}

namespace {

Vector2f Vec2(const ScriptValue& v) {
    return Vector2f(v.m_Floats[0], v.m_Floats[1]);
}
Vector3f Vec3(const ScriptValue& v) {
    return Vector3f(v.m_Floats[0], v.m_Floats[1], v.m_Floats[2]);
}
Vector4f Vec4(const ScriptValue& v) {
    return Vector4f(v.m_Floats[0], v.m_Floats[1], v.m_Floats[2], v.m_Floats[3]);
}

template <class V>
void StoreFloats(ScriptValue& out, ValueType type, const V& value) {
    static_assert(sizeof(V) <= sizeof(out.m_Floats));
    out.m_Type = type;
    std::memcpy(out.m_Floats, &value, sizeof(V));
}

} // namespace

EResult Deliver(ValueReceiver& receiver, ScriptValue& value) {
    switch (value.m_Type) {
    case ValueType::Bool:
        return receiver.FoundBool(value.m_Bool);
    case ValueType::I32:
        return receiver.FoundI32(value.m_I32);
    case ValueType::I64:
        return receiver.FoundI64(value.m_I64);
    case ValueType::U32:
        return receiver.FoundU32(value.m_U32);
    case ValueType::U64:
        return receiver.FoundU64(value.m_U64);
    case ValueType::F32:
        return receiver.FoundF32(value.m_F32);
    case ValueType::F64:
        return receiver.FoundF64(value.m_F64);
    case ValueType::Vector2f:
        return receiver.FoundVector2f(Vec2(value));
    case ValueType::Vector3f:
        return receiver.FoundVector3f(Vec3(value));
    case ValueType::Vector4f:
        return receiver.FoundVector4f(Vec4(value));
    case ValueType::Matrix4f: {
        Matrix4f m;
        m.Set(value.m_Floats);
        return receiver.FoundMatrix4f(m);
    }
    case ValueType::Spheref:
        return receiver.FoundSpheref(Spheref(Vec3(value), value.m_Floats[3]));
    case ValueType::String:
        return receiver.FoundString(value.m_String);
    case ValueType::Enum:
        return receiver.FoundEnum(value.m_U32);
    case ValueType::MemberID:
        return receiver.FoundMemberID(value.m_U32);
    case ValueType::Object:
        return receiver.FoundObject(value.m_Object.Get());
    case ValueType::Array:
        return receiver.FoundArray(value.m_Array);
    case ValueType::Hash:
        return receiver.FoundHash(value.m_Hash);
    case ValueType::None:
        break;
    }
    return SOK;
}

EResult CaptureReceiver::FoundBool(bool value) {
    m_Value.m_Type = ValueType::Bool;
    m_Value.m_Bool = value;
    return SOK;
}
EResult CaptureReceiver::FoundI32(int32_t value) {
    m_Value.m_Type = ValueType::I32;
    m_Value.m_I32 = value;
    return SOK;
}
EResult CaptureReceiver::FoundI64(int64_t value) {
    m_Value.m_Type = ValueType::I64;
    m_Value.m_I64 = value;
    return SOK;
}
EResult CaptureReceiver::FoundU32(uint32_t value) {
    m_Value.m_Type = ValueType::U32;
    m_Value.m_U32 = value;
    return SOK;
}
EResult CaptureReceiver::FoundU64(uint64_t value) {
    m_Value.m_Type = ValueType::U64;
    m_Value.m_U64 = value;
    return SOK;
}
EResult CaptureReceiver::FoundF32(float value) {
    m_Value.m_Type = ValueType::F32;
    m_Value.m_F32 = value;
    return SOK;
}
EResult CaptureReceiver::FoundF64(double value) {
    m_Value.m_Type = ValueType::F64;
    m_Value.m_F64 = value;
    return SOK;
}
EResult CaptureReceiver::FoundVector2f(const Vector2f& value) {
    StoreFloats(m_Value, ValueType::Vector2f, value);
    return SOK;
}
EResult CaptureReceiver::FoundVector3f(const Vector3f& value) {
    StoreFloats(m_Value, ValueType::Vector3f, value);
    return SOK;
}
EResult CaptureReceiver::FoundVector4f(const Vector4f& value) {
    StoreFloats(m_Value, ValueType::Vector4f, value);
    return SOK;
}
EResult CaptureReceiver::FoundMatrix4f(const Matrix4f& value) {
    StoreFloats(m_Value, ValueType::Matrix4f, value);
    return SOK;
}
EResult CaptureReceiver::FoundSpheref(const Spheref& value) {
    // Centre then radius, as the sphere lays them out.
    static_assert(sizeof(Spheref) == 4 * sizeof(float));
    StoreFloats(m_Value, ValueType::Spheref, value);
    return SOK;
}
EResult CaptureReceiver::FoundString(const String& value) {
    m_Value.m_Type = ValueType::String;
    m_Value.m_String = value;
    return SOK;
}
EResult CaptureReceiver::FoundEnum(uint32_t member) {
    m_Value.m_Type = ValueType::Enum;
    m_Value.m_U32 = member;
    return SOK;
}
EResult CaptureReceiver::FoundMemberID(uint32_t member) {
    m_Value.m_Type = ValueType::MemberID;
    m_Value.m_U32 = member;
    return SOK;
}
EResult CaptureReceiver::FoundObject(ScriptObject* object) {
    m_Value.m_Type = ValueType::Object;
    m_Value.m_Object = object;
    return SOK;
}
EResult CaptureReceiver::FoundArray(ParsedArray& array) {
    m_Value.m_Type = ValueType::Array;
    m_Value.m_Array = std::move(array);
    return SOK;
}
EResult CaptureReceiver::FoundHash(ParsedHash& hash) {
    m_Value.m_Type = ValueType::Hash;
    m_Value.m_Hash = std::move(hash);
    return SOK;
}

namespace {

bool IsOperator(LexType t) {
    return Lexer::OperatorPrecedence(t) != 255;
}

bool IsMemberName(LexType t) {
    return t == LexDotIdentifier || t == LexDotIdentifierFunction || t == LexDotIdentifierElement;
}

bool IsValueClass(int c) {
    return ((c >= k_ClassBool && c <= k_ClassMatrix4f) || c == k_ClassSpheref) &&
           TypeIDToKind(BuiltinTypeID(c)) == Kind_Value;
}

// Forwards a value unchanged unless a binary operator follows it, which starts an evaluation.
class ExpressionReceiver final : public ValueReceiver {
public:
    ExpressionReceiver(Parser& parser, ValueReceiver& target)
        : m_Parser(parser), m_Target(target) {}

#define QUORLIX_FORWARD(Found, Arg)                                                                \
    EResult Found(Arg value) override {                                                            \
        if (!IsOperator(m_Parser.Tok()))                                                           \
            return m_Target.Found(value);                                                          \
        CaptureReceiver left;                                                                      \
        (void)left.Found(value);                                                                   \
        return m_Parser.EvaluateFrom(left.m_Value, m_Target);                                      \
    }
    QUORLIX_FORWARD(FoundBool, bool)
    QUORLIX_FORWARD(FoundI32, int32_t)
    QUORLIX_FORWARD(FoundI64, int64_t)
    QUORLIX_FORWARD(FoundU32, uint32_t)
    QUORLIX_FORWARD(FoundU64, uint64_t)
    QUORLIX_FORWARD(FoundF32, float)
    QUORLIX_FORWARD(FoundF64, double)
    QUORLIX_FORWARD(FoundVector2f, const Vector2f&)
    QUORLIX_FORWARD(FoundVector3f, const Vector3f&)
    QUORLIX_FORWARD(FoundVector4f, const Vector4f&)
    QUORLIX_FORWARD(FoundMatrix4f, const Matrix4f&)
    QUORLIX_FORWARD(FoundSpheref, const Spheref&)
    QUORLIX_FORWARD(FoundString, const String&)
    QUORLIX_FORWARD(FoundEnum, uint32_t)
    QUORLIX_FORWARD(FoundMemberID, uint32_t)
    QUORLIX_FORWARD(FoundObject, ScriptObject*)
    QUORLIX_FORWARD(FoundArray, ParsedArray&)
    QUORLIX_FORWARD(FoundHash, ParsedHash&)
#undef QUORLIX_FORWARD

private:
    Parser& m_Parser;
    ValueReceiver& m_Target;
};

} // namespace

// --- [SECTION] Names -------------------------------------------------------------------------

const ClassType_TypeID* Parser::ClassIDOf(int classIndex) noexcept {
    return classIndex < k_MasterMVTBLBuiltinSize ? BuiltinTypeID(classIndex)
                                                 : MakeTypeID(classIndex);
}

const ClassType_TypeID* Parser::TokenClass() const noexcept {
    return m_Binary != nullptr ? TokenClass(m_Binary->GetClassIndex()) : nullptr;
}

const ClassType_TypeID* Parser::TokenClass(int c) noexcept {
    if (c >= k_MasterMVTBLSize || !IsValidClassID(ClassIDOf(c)))
        return nullptr;
    return ClassIDOf(c);
}

const ClassType_MemberID* Parser::TokenMember() const noexcept {
    return m_Binary != nullptr ? TokenMember(m_Binary->GetClassIndex(), m_Binary->GetMemberIndex())
                               : nullptr;
}

const ClassType_MemberID* Parser::TokenMember(int c, int k) noexcept {
    const ClassType_TypeID* cls = TokenClass(c);
    if (cls == nullptr)
        return nullptr;
    // Validated before the identifier is rebuilt: the index alone must name a defined entry.
    const MVTBL* table = IsTableOf(ClassIndexOf(cls));
    if (table == nullptr || k <= 0 || k >= TableHeader(table)->m_Count ||
        table[k].m_Name == nullptr)
        return nullptr;
    const ClassType_MemberID* m = MemberIDOf(k, ClassIndexOf(cls));
    return IsValidMemberID(cls, m) ? m : nullptr;
}

std::string Parser::TokenText() const {
    if (m_Binary == nullptr)
        return std::string();
    std::string text;
    if (Tok() != LexClassToken)
        text = "member " + std::to_string(m_Binary->GetMemberIndex()) + " of ";
    return text + "class " + std::to_string(m_Binary->GetClassIndex());
}

const ClassType_MemberID* Parser::CachedTokenMember() {
    if (m_Binary == nullptr)
        return nullptr;
    return CachedTokenMember(m_Binary->GetClassIndex(), m_Binary->GetMemberIndex());
}

const ClassType_MemberID* Parser::CachedTokenMember(int classIndex, int memberIndex) {
    if (const uint32_t epoch = ClassTableEpoch(); epoch != m_TokenEpoch) {
        m_TokenMembers.fill(TokenMemberSlot{});
        m_CheckedMembers.fill(CheckedMemberSlot{});
        m_TokenEpoch = epoch;
    }
    const auto c = static_cast<uint32_t>(classIndex);
    const auto k = static_cast<uint32_t>(memberIndex);
    const uint32_t key = (c << 8 | k) + 1;
    TokenMemberSlot& slot = m_TokenMembers[(key * 0x9E3779B1u) >> (32 - k_TokenMemberBits)];
    if (slot.m_Key == key)
        return slot.m_Member;
    const ClassType_MemberID* m = TokenMember(classIndex, memberIndex);
    if (m != nullptr)
        slot = {key, m};
    return m;
}

namespace {

// Calls f.template operator()<V>() with the value type V of a fixed-size literal kind or of a
// number or vector array kind whose elements the file holds as they lie in memory; false for
// the other kinds.
template <class F>
bool WithLiteralType(int kind, F&& f) {
    switch (kind) {
    case LexBool:
        f.template operator()<bool>();
        return true;
    case LexI32:
    case LexArrayI32:
        f.template operator()<int32_t>();
        return true;
    case LexU32:
    case LexArrayU32:
        f.template operator()<uint32_t>();
        return true;
    case LexF32:
    case LexArrayF32:
        f.template operator()<float>();
        return true;
    case LexI64:
    case LexArrayI64:
        f.template operator()<int64_t>();
        return true;
    case LexU64:
    case LexArrayU64:
        f.template operator()<uint64_t>();
        return true;
    case LexF64:
    case LexArrayF64:
        f.template operator()<double>();
        return true;
    case LexVector2f:
    case LexArrayVector2f:
        f.template operator()<Vector2f>();
        return true;
    case LexVector3f:
    case LexArrayVector3f:
        f.template operator()<Vector3f>();
        return true;
    case LexVector4f:
    case LexArrayVector4f:
        f.template operator()<Vector4f>();
        return true;
    case LexSpheref:
    case LexArraySpheref:
        f.template operator()<Spheref>();
        return true;
    case LexMatrix4f:
    case LexArrayMatrix4f:
        f.template operator()<Matrix4f>();
        return true;
    default:
        return false;
    }
}

} // namespace

const ClassType_MemberID* Parser::MemberOfToken(ScriptObject* object, uint8_t* direct) {
    if (direct != nullptr)
        *direct = 0;
    if (Tok() != LexMemberToken)
        return FindMember(object, m_Lexer.GetText());
    const ClassType_MemberID* m = CachedTokenMember();
    if (m == nullptr)
        return nullptr;
    // Members of a base class come with the rows of every class derived from it, so the
    // checked pairs are placed by both.
    MVTBL* const* row = object->GetClassRow();
    const uint32_t id = IDValue(m);
    CheckedMemberSlot& checked =
        m_CheckedMembers[static_cast<uint32_t>((id ^ reinterpret_cast<uintptr_t>(row) >> 4) *
                                               0x9E3779B1u) >>
                         (32 - k_CheckedMemberBits)];
    if (checked.m_Member != m || checked.m_Row != row || row == nullptr) {
        // A member of another class would address storage the object does not have.
        if (!IsValidMemberID(object->GetObjectClassID(), m))
            return nullptr;
        checked = {row, m, DirectKindOf(object->Entry(m))};
    }
    if (direct != nullptr)
        *direct = checked.m_Direct;
    return m;
}

uint8_t Parser::DirectKindOf(const MVTBL& entry) noexcept {
    const bool array = (entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0;
    const T_Kind kind = TypeIDToKind(entry.m_Type);
    const int c = ClassIndexOf(entry.m_Type);
    if (kind == Kind_Enum)
        return array ? 0 : LexClassMemberToken;
    if (kind != Kind_Value)
        return 0;
    if (c == k_ClassString)
        return array ? 0 : LexString;
    // Array kinds are their scalar kind plus 64; arrays of Bool go the general way.
    static constexpr uint8_t k_Scalars[] = {LexBool,     LexI32,      LexU32,     LexF32,
                                            LexI64,      LexU64,      LexF64,     LexVector2f,
                                            LexVector3f, LexVector4f, LexSpheref, LexMatrix4f};
    uint8_t found = 0;
    for (const uint8_t scalar : k_Scalars) {
        (void)WithLiteralType(scalar, [&]<class V>() {
            if (ScriptValueTraits<V>::k_Class == c)
                found = scalar;
        });
        if (found != 0)
            break;
    }
    if (found == 0 || !array)
        return found;
    return found == LexBool ? 0 : static_cast<uint8_t>(found + (LexArrayBool - LexBool));
}

std::string Parser::MemberTokenName() const {
    if (Tok() != LexMemberToken)
        return std::string(m_Lexer.GetText(), static_cast<size_t>(m_Lexer.GetTextLength()));
    if (const ClassType_MemberID* m = TokenMember())
        return IsTableOf(ClassIndexOf(m))[MemberIndexOf(m)].m_Name;
    return TokenText();
}

const void* NameCache::Find(uint32_t key, const char* name, int length,
                            uint32_t& hash) const noexcept {
    // FNV-1a over the key and the name.
    uint32_t h = 2166136261u ^ key;
    for (int i = 0; i < length; ++i)
        h = (h ^ static_cast<unsigned char>(name[i])) * 16777619u;
    hash = h;
    if (m_Slots == nullptr || length > k_MaxName)
        return nullptr;
    const Slot& slot = m_Slots[h & (k_Slots - 1)];
    if (slot.m_Value == nullptr || slot.m_Hash != h || slot.m_Key != key ||
        slot.m_Length != length || std::memcmp(slot.m_Name, name, static_cast<size_t>(length)) != 0)
        return nullptr;
    return slot.m_Value;
}

void NameCache::Store(uint32_t hash, uint32_t key, const char* name, int length,
                      const void* value) {
    if (length > k_MaxName || value == nullptr)
        return;
    if (m_Slots == nullptr)
        m_Slots = std::make_unique<Slot[]>(k_Slots);
    Slot& slot = m_Slots[hash & (k_Slots - 1)];
    slot.m_Value = value;
    slot.m_Hash = hash;
    slot.m_Key = key;
    slot.m_Length = static_cast<uint8_t>(length);
    std::memcpy(slot.m_Name, name, static_cast<size_t>(length));
}

namespace {

// Keys of the name cache besides class indexes (0..511).
constexpr uint32_t k_KeyBuiltinClass = 0x10000;
constexpr uint32_t k_KeyBuiltinMember = 0x10001;

} // namespace

const ClassType_TypeID* Parser::ResolveClass(const char* name) {
    const int length = static_cast<int>(std::strlen(name));
    uint32_t hash = 0;
    if (const void* cached = m_Names.Find(k_KeyBuiltinClass, name, length, hash))
        return static_cast<const ClassType_TypeID*>(cached);
    if (const ClassType_TypeID* builtin = FindBuiltinClassID(name)) {
        m_Names.Store(hash, k_KeyBuiltinClass, name, length, builtin);
        return builtin;
    }
    // Script classes come and go with the namespace: never cached.
    ScriptClass* cls = m_Namespace->FindClass(name);
    if (cls == nullptr || cls->IsNil() || cls->GetClassID() == nullptr)
        return nullptr;
    return cls->GetClassID();
}

const ClassType_MemberID* Parser::ResolveBuiltinMember(const char* classPart, const char* member) {
    // Keyed by the whole dotted name; "." cannot occur in either part.
    std::string& key = m_MemberKey;
    key.assign(classPart);
    key.push_back('.');
    key.append(member);
    const int length = static_cast<int>(key.size());
    uint32_t hash = 0;
    if (const void* cached = m_Names.Find(k_KeyBuiltinMember, key.data(), length, hash))
        return static_cast<const ClassType_MemberID*>(cached);
    const ClassType_MemberID* m = FindScopedMember(classPart, member);
    m_Names.Store(hash, k_KeyBuiltinMember, key.data(), length, m);
    return m;
}

const ClassType_MemberID* Parser::FindMember(ScriptObject* object, const char* name) {
    // Members of a class are fixed once it has objects, script classes included.
    const int c = ClassIndexOf(object->GetObjectClassID());
    const int length = static_cast<int>(std::strlen(name));
    uint32_t hash = 0;
    if (const void* cached = m_Names.Find(static_cast<uint32_t>(c), name, length, hash))
        return static_cast<const ClassType_MemberID*>(cached);
    const ClassType_MemberID* m = FindClassMember(object->GetObjectClassID(), name);
    m_Names.Store(hash, static_cast<uint32_t>(c), name, length, m);
    return m;
}

bool Parser::Adjacent(const void* before, const void* after, int length) const noexcept {
    return static_cast<const char*>(after) - static_cast<const char*>(before) == length;
}

bool Parser::ReadQualifiedName(ScriptNamespace*& ns, String& name) {
    name = String(m_Lexer.GetText(), m_Lexer.GetTextLength());
    const void* end = m_Lexer.GetReadPtr();
    Next();
    int lookups = 0;
    // A colon name that follows without a gap continues the path: the one before is a
    // namespace.
    // In the binary form only a Blank token stands for the gap.
    while (Tok() == LexColonIdentifier &&
           (m_Binary != nullptr
                ? !m_Binary->GetGapBefore()
                : Adjacent(end, m_Lexer.GetReadPtr(), m_Lexer.GetTextLength() + 1))) {
        ScriptNamespace* inner = ns->FindNamespace(name.GetCPtr(), lookups++ == 0 ? 1 : 0);
        if (ScriptNamespace::IsNil(inner)) {
            ReportError() << "Object: unknown namespace \"" << name << "\".";
            (void)SkipToSemicolon();
            return false;
        }
        ns = inner;
        name = String(m_Lexer.GetText(), m_Lexer.GetTextLength());
        end = m_Lexer.GetReadPtr();
        Next();
    }
    return true;
}

namespace {

enum class MemberLookup { Found, NoClass, NoMember };

// The member named by a dotted name split at its last dot: a member of a built-in class or an
// enumerator of a built-in scope, else a member of a script class.
MemberLookup ResolveMember(Parser& parser, const char* classPart, const char* member,
                           const ClassType_MemberID*& out) {
    out = parser.ResolveBuiltinMember(classPart, member);
    if (out != nullptr)
        return MemberLookup::Found;
    if (IsBuiltinClassOrScope(classPart))
        return MemberLookup::NoMember;
    const ClassType_TypeID* cls = parser.ResolveClass(classPart);
    if (cls == nullptr)
        return MemberLookup::NoClass;
    out = FindClassMember(cls, member);
    return out != nullptr ? MemberLookup::Found : MemberLookup::NoMember;
}

} // namespace

// --- [SECTION] ParseValue --------------------------------------------------------------------

namespace {

// The floats without digits, as the ascii writer spells them: `nan` and `inf`, with the suffix
// F for F64 (a minus is a token of its own, since the lexer joins it only to digits). They are
// read in value position only, like True and False. 0: not such a spelling; 1: F32; 2: F64.
int SpecialFloat(const char* text, int length, double& value) {
    const bool wide = length == 4 && text[3] == 'F';
    if (length != 3 && !wide)
        return 0;
    if (std::memcmp(text, "nan", 3) == 0)
        value = std::numeric_limits<double>::quiet_NaN();
    else if (std::memcmp(text, "inf", 3) == 0)
        value = std::numeric_limits<double>::infinity();
    else
        return 0;
    return wide ? 2 : 1;
}

EResult DeliverSpecialFloat(ValueReceiver& receiver, int kind, double value) {
    return kind == 2 ? receiver.FoundF64(value) : receiver.FoundF32(static_cast<float>(value));
}

} // namespace

EResult Parser::ParseValue(ValueReceiver& receiver) {
    DepthGuard guard(*this);
    if (guard.TooDeep()) {
        ReportError() << "Value: values nested deeper than " << k_MaxParseDepth << " levels.";
        return EFail;
    }
    switch (Tok()) {
    case LexError: {
        const int code = m_Lexer.GetCode();
        ReportError() << (code == 1   ? "ParseValueCB: syntax error."
                          : code == 2 ? "ParseValueCB: value or length overflow."
                          : code == 3
                              ? "ParseValueCB: unterminated string or illegal character in string."
                              : "ParseValueCB: lexer error.");
        Next();
        ReportError() << "Value: unexpected tokens.";
        return EFail;
    }
    case LexString: {
        const String text(m_Lexer.GetText(), m_Lexer.GetTextLength());
        Next();
        return receiver.FoundString(text);
    }
    case LexI32: {
        const int32_t value = m_Lexer.GetI32();
        Next();
        return receiver.FoundI32(value);
    }
    case LexI64: {
        const int64_t value = m_Lexer.GetI64();
        Next();
        return receiver.FoundI64(value);
    }
    case LexU32: {
        const uint32_t value = m_Lexer.GetU32();
        Next();
        return receiver.FoundU32(value);
    }
    case LexU64: {
        const uint64_t value = m_Lexer.GetU64();
        Next();
        return receiver.FoundU64(value);
    }
    case LexF32: {
        const float value = m_Lexer.GetF32();
        Next();
        return receiver.FoundF32(value);
    }
    case LexF64: {
        const double value = m_Lexer.GetF64();
        Next();
        return receiver.FoundF64(value);
    }
    case LexBool: {
        const bool value = m_Lexer.GetI32() != 0;
        Next();
        return receiver.FoundBool(value);
    }
    case LexIdentifier:
        return ParseIdentifierValue(receiver);
    case LexOperatorSub: {
        Next();
        double value = 0;
        const int kind = Tok() == LexIdentifier
                             ? SpecialFloat(m_Lexer.GetText(), m_Lexer.GetTextLength(), value)
                             : 0;
        if (kind == 0) {
            ReportError() << "ParseValueCB: unexpected character.";
            return EFail;
        }
        Next();
        return DeliverSpecialFloat(receiver, kind, -value);
    }
    case LexClassToken:
    case LexClassMemberToken:
        if (m_Binary != nullptr)
            return ParseIdentifierValue(receiver);
        break;
    case LexVector2f:
    case LexVector3f:
    case LexVector4f:
    case LexMatrix4f:
    case LexSpheref:
    case LexArrayBool:
    case LexArrayString:
    case LexArrayI32:
    case LexArrayI64:
    case LexArrayU32:
    case LexArrayU64:
    case LexArrayF32:
    case LexArrayF64:
    case LexArrayVector2f:
    case LexArrayVector3f:
    case LexArrayVector4f:
    case LexArrayMatrix4f:
    case LexArraySpheref:
        if (m_Binary != nullptr)
            return ParseBinaryLiteral(receiver);
        break;
    case LexColonIdentifier:
        return ParseGlobalName(receiver);
    case LexAt:
        return ParseMemberReference(receiver);
    case LexParenthesisL:
        Next();
        return ParseParenthesis(receiver);
    case LexBracketL:
        Next();
        return ParseArray(receiver, nullptr);
    case LexBraceL:
        Next();
        return ParseHash(receiver);
    default:
        break;
    }
    ReportError() << "ParseValueCB: unexpected character.";
    Next();
    return EFail;
}

namespace {

// Elements of a binary array token as the lexer packed them, little-endian.
template <class E>
void TakeElements(ParsedArray& array, ValueType type, const unsigned char* data, int count) {
    static_assert(std::endian::native == std::endian::little);
    static_assert(std::is_trivially_copyable_v<E>);
    if (count == 0)
        return;
    Array<E> elements;
    elements.Resize(count);
    std::memcpy(static_cast<void*>(&elements[0]), data, static_cast<size_t>(count) * sizeof(E));
    array.m_Type = type;
    array.m_Elements = std::move(elements);
}

} // namespace

EResult Parser::ParseBinaryLiteral(ValueReceiver& receiver) {
    static_assert(sizeof(Vector2f) == 8 && sizeof(Vector3f) == 12 && sizeof(Vector4f) == 16 &&
                  sizeof(Matrix4f) == 64 && sizeof(Spheref) == 16);
    const LexType t = Tok();
    const float* f = m_Binary->GetFloats();
    switch (t) {
    case LexVector2f: {
        const Vector2f v(f[0], f[1]);
        Next();
        return receiver.FoundVector2f(v);
    }
    case LexVector3f: {
        const Vector3f v(f[0], f[1], f[2]);
        Next();
        return receiver.FoundVector3f(v);
    }
    case LexVector4f: {
        const Vector4f v(f[0], f[1], f[2], f[3]);
        Next();
        return receiver.FoundVector4f(v);
    }
    case LexMatrix4f: {
        Matrix4f m;
        m.Set(f);
        Next();
        return receiver.FoundMatrix4f(m);
    }
    case LexSpheref: {
        const Spheref sphere(Vector3f(f[0], f[1], f[2]), f[3]);
        Next();
        return receiver.FoundSpheref(sphere);
    }
    default:
        break;
    }
    // Arrays: the elements are copied out before the next token replaces them.
    ParsedArray array;
    const int count = m_Binary->GetArrayCount();
    const unsigned char* data = m_Binary->GetArrayData();
    int elementClass = k_ClassNone;
    switch (t) {
    case LexArrayBool: {
        elementClass = k_ClassBool;
        if (count > 0) {
            Array<bool> elements;
            elements.Reserve(count);
            for (int i = 0; i < count; ++i)
                elements.Add(data[i] != 0);
            array.m_Type = ValueType::Bool;
            array.m_Elements = std::move(elements);
        }
        break;
    }
    case LexArrayString:
        elementClass = k_ClassString;
        if (count > 0) {
            array.m_Type = ValueType::String;
            array.m_Elements = m_Binary->GetStrings();
        }
        break;
    case LexArrayI32:
        elementClass = k_ClassI32;
        TakeElements<int32_t>(array, ValueType::I32, data, count);
        break;
    case LexArrayI64:
        elementClass = k_ClassI64;
        TakeElements<int64_t>(array, ValueType::I64, data, count);
        break;
    case LexArrayU32:
        elementClass = k_ClassU32;
        TakeElements<uint32_t>(array, ValueType::U32, data, count);
        break;
    case LexArrayU64:
        elementClass = k_ClassU64;
        TakeElements<uint64_t>(array, ValueType::U64, data, count);
        break;
    case LexArrayF32:
        elementClass = k_ClassF32;
        TakeElements<float>(array, ValueType::F32, data, count);
        break;
    case LexArrayF64:
        elementClass = k_ClassF64;
        TakeElements<double>(array, ValueType::F64, data, count);
        break;
    case LexArrayVector2f:
        elementClass = k_ClassVector2f;
        TakeElements<Vector2f>(array, ValueType::Vector2f, data, count);
        break;
    case LexArrayVector3f:
        elementClass = k_ClassVector3f;
        TakeElements<Vector3f>(array, ValueType::Vector3f, data, count);
        break;
    case LexArrayVector4f:
        elementClass = k_ClassVector4f;
        TakeElements<Vector4f>(array, ValueType::Vector4f, data, count);
        break;
    case LexArrayMatrix4f:
        elementClass = k_ClassMatrix4f;
        TakeElements<Matrix4f>(array, ValueType::Matrix4f, data, count);
        break;
    default:
        elementClass = k_ClassSpheref;
        TakeElements<Spheref>(array, ValueType::Spheref, data, count);
        break;
    }
    array.m_ElementClass = BuiltinTypeID(elementClass);
    Next();
    return receiver.FoundArray(array);
}

EResult Parser::ParseExpression(ValueReceiver& receiver) {
    ExpressionReceiver expression(*this, receiver);
    return ParseValue(expression);
}

namespace {

// Whether a token after a name makes it part of a longer name, an array or an object.
bool ContinuesName(LexType token) noexcept {
    return token == LexDotIdentifier || token == LexDotIdentifierElement || token == LexBracketL ||
           token == LexId || token == LexColonIdentifier || token == LexDot;
}

} // namespace

EResult Parser::ParseIdentifierValue(ValueReceiver& receiver) {
    size_t lastDot = std::string::npos;
    // A binary class token stands for the class's name, a class-member token for the class
    // name and the dotted member name; their own identifiers are kept while nothing is joined.
    const ClassType_TypeID* tokenClass = nullptr;
    const ClassType_MemberID* tokenMember = nullptr;
    if (Tok() == LexClassToken || Tok() == LexClassMemberToken) {
        const bool withMember = Tok() == LexClassMemberToken;
        tokenClass = TokenClass();
        tokenMember = withMember ? CachedTokenMember() : nullptr;
        if (tokenClass == nullptr || (withMember && tokenMember == nullptr)) {
            ReportError() << "Value: expected " << (tokenClass == nullptr ? "ClassID" : "MemberID")
                          << " but found \"" << TokenText().c_str() << "\".";
            Next();
            return EFail;
        }
        Next();
        // An enumerator standing alone (how binary files write enumeration values) is
        // delivered without its name being put together.
        if (withMember && !ContinuesName(Tok()))
            return receiver.FoundEnum(IDValue(tokenMember));
        m_Dotted.assign(TypeIDToString(tokenClass));
        if (withMember) {
            lastDot = m_Dotted.size();
            m_Dotted.push_back('.');
            m_Dotted.append(
                IsTableOf(ClassIndexOf(tokenMember))[MemberIndexOf(tokenMember)].m_Name);
            tokenClass = nullptr;
        }
    } else {
        const int length = m_Lexer.GetTextLength();
        const char* text = m_Lexer.GetText();
        if (length == 4 && std::memcmp(text, "True", 4) == 0) {
            Next();
            return receiver.FoundBool(true);
        }
        if (length == 5 && std::memcmp(text, "False", 5) == 0) {
            Next();
            return receiver.FoundBool(false);
        }
        double value = 0;
        if (const int kind = SpecialFloat(text, length, value); kind != 0) {
            Next();
            return DeliverSpecialFloat(receiver, kind, value);
        }
        m_Dotted.assign(text, static_cast<size_t>(length));
        Next();
    }
    while (Tok() == LexDotIdentifier || Tok() == LexDotIdentifierElement) {
        tokenClass = nullptr;
        tokenMember = nullptr;
        lastDot = m_Dotted.size();
        m_Dotted.push_back('.');
        m_Dotted.append(m_Lexer.GetText(), static_cast<size_t>(m_Lexer.GetTextLength()));
        Next();
    }
    // m_Dotted serves nested values too: what follows reads it only before parsing any.
    const char* name = m_Dotted.c_str();
    switch (Tok()) {
    case LexBracketL: {
        const ClassType_TypeID* cls = tokenClass != nullptr ? tokenClass : ResolveClass(name);
        if (cls == nullptr) {
            ReportError() << "Value: expected ClassID but found \"" << name << "\".";
            return EFail;
        }
        Next();
        return ParseArray(receiver, cls);
    }
    case LexId: {
        const uint32_t id = m_Lexer.GetU32();
        Next();
        return ParseObject(receiver, name, m_Namespace, nullptr, true, id, tokenClass);
    }
    case LexColonIdentifier: {
        ScriptNamespace* ns = m_Namespace;
        String objectName;
        // The class name stays in m_Dotted: reading a colon name parses no value.
        if (!ReadQualifiedName(ns, objectName))
            return EFail;
        return ParseObject(receiver, m_Dotted.c_str(), ns, &objectName, false, 0, tokenClass);
    }
    case LexDot:
        return ParseObject(receiver, name, m_Namespace, nullptr, false, 0, tokenClass);
    default:
        break;
    }
    if (m_Dotted == "Nil")
        return receiver.FoundObject(&G_NilObject);
    if (tokenMember != nullptr)
        return receiver.FoundEnum(IDValue(tokenMember));
    if (lastDot == std::string::npos) {
        if (tokenClass == nullptr && ResolveClass(name) == nullptr)
            ReportError() << "Value: expected ClassID but found \"" << name << "\".";
        else
            ReportError() << "Value: expected MemberID but found \"" << name << "\".";
        return EFail;
    }
    m_Dotted[lastDot] = '\0';
    const char* member = m_Dotted.c_str() + lastDot + 1;
    const ClassType_MemberID* m = nullptr;
    switch (ResolveMember(*this, name, member, m)) {
    case MemberLookup::NoClass:
        ReportError() << "Value: expected ClassID but found \"" << name << "\".";
        return EFail;
    case MemberLookup::NoMember:
        ReportError() << "Value: expected MemberID but found \"" << member << "\".";
        return EFail;
    case MemberLookup::Found:
        break;
    }
    return receiver.FoundEnum(IDValue(m));
}

namespace {

// Assigns a value to an existing global variable of the same type.
class SetVarReceiver final : public ValueReceiver {
public:
    SetVarReceiver(Parser& parser, ScriptNamespace* ns, const String& name)
        : m_Parser(parser), m_Namespace(ns), m_Name(name) {}

    EResult FoundBool(bool value) override { return Assign(value); }
    EResult FoundI32(int32_t value) override { return Assign(value); }
    EResult FoundI64(int64_t value) override { return Assign(value); }
    EResult FoundU32(uint32_t value) override { return Assign(value); }
    EResult FoundU64(uint64_t value) override { return Assign(value); }
    EResult FoundF32(float value) override { return Assign(value); }
    EResult FoundF64(double value) override { return Assign(value); }
    EResult FoundVector2f(const Vector2f& value) override { return Assign(value); }
    EResult FoundVector3f(const Vector3f& value) override { return Assign(value); }
    EResult FoundVector4f(const Vector4f& value) override { return Assign(value); }
    EResult FoundMatrix4f(const Matrix4f& value) override { return Assign(value); }
    EResult FoundSpheref(const Spheref& value) override { return Assign(value); }
    EResult FoundString(const String& value) override { return Assign(value); }
    EResult FoundObject(ScriptObject*) override {
        m_Parser.ReportError() << "SetVar::FoundObject unintended use.";
        return EUnimplemented;
    }
    EResult FoundArray(ParsedArray&) override {
        m_Parser.ReportError() << "SetVar::FoundArray unimplemented.";
        return EUnimplemented;
    }
    EResult Refuse(const char* typeName) override {
        m_Parser.ReportError() << "SetVar::Found" << typeName << " unimplemented.";
        return EUnimplemented;
    }

private:
    template <class V>
    EResult Assign(const V& value) {
        constexpr int c = ScriptValueTraits<V>::k_Class;
        ScriptObject* variable = m_Namespace->FindObject(m_Name);
        if (variable->IsNil()) {
            m_Parser.ReportError() << "SetVar: global var " << m_Name << " is undefined.";
            return EFail;
        }
        if (ClassIndexOf(variable->GetObjectClassID()) != c) {
            m_Parser.ReportError() << "SetVar: global var " << m_Name << " has different type than "
                                   << ScriptValueTraits<V>::k_Name << ".";
            return EInvalidArgument;
        }
        variable->Set(MemberIDOf<ClassMemberOf<V, false>>(1, c), value);
        return SOK;
    }

    Parser& m_Parser;
    ScriptNamespace* m_Namespace;
    const String& m_Name;
};

} // namespace

EResult Parser::ParseGlobalName(ValueReceiver& receiver) {
    ScriptNamespace* ns = m_Namespace;
    String name;
    if (!ReadQualifiedName(ns, name))
        return EFail;
    if (Tok() == LexAssign) {
        if (m_Restricted)
            return RefuseStatement("global var assignment");
        Next();
        SetVarReceiver assign(*this, ns, name);
        // An assignment is carried out, not handed on: the caller sees no value.
        return ParseExpression(assign);
    }
    return ParseObject(receiver, nullptr, ns, &name, false, 0);
}

EResult Parser::ParseMemberReference(ValueReceiver& receiver) {
    Next();
    if (m_Binary != nullptr && (Tok() == LexClassMemberToken || Tok() == LexClassToken)) {
        const ClassType_TypeID* cls = TokenClass();
        const ClassType_MemberID* m = Tok() == LexClassMemberToken ? TokenMember() : nullptr;
        if (cls == nullptr || m == nullptr) {
            ReportError() << (cls == nullptr ? "Value: expected ClassID but found \""
                              : Tok() == LexClassMemberToken
                                  ? "Value: expected MemberID but found \""
                                  : "Value: pure TypeID is not yet "
                                    "supported. \"")
                          << TokenText().c_str() << "\".";
            Next();
            return EFail;
        }
        Next();
        return receiver.FoundMemberID(IDValue(m));
    }
    if (Tok() != LexIdentifier) {
        ReportError() << "Value: expected identifier after '@'.";
        return EFail;
    }
    m_Dotted.assign(m_Lexer.GetText(), static_cast<size_t>(m_Lexer.GetTextLength()));
    size_t lastDot = std::string::npos;
    Next();
    while (Tok() == LexDotIdentifier) {
        lastDot = m_Dotted.size();
        m_Dotted.push_back('.');
        m_Dotted.append(m_Lexer.GetText(), static_cast<size_t>(m_Lexer.GetTextLength()));
        Next();
    }
    if (lastDot == std::string::npos) {
        if (ResolveClass(m_Dotted.c_str()) != nullptr)
            ReportError() << "Value: pure TypeID is not yet supported.";
        else
            ReportError() << "Value: expected ClassID but found \"" << m_Dotted.c_str() << "\".";
        return EFail;
    }
    m_Dotted[lastDot] = '\0';
    const char* classPart = m_Dotted.c_str();
    const char* member = classPart + lastDot + 1;
    const ClassType_MemberID* m = nullptr;
    switch (ResolveMember(*this, classPart, member, m)) {
    case MemberLookup::NoClass:
        ReportError() << "Value: expected ClassID but found \"" << classPart << "\".";
        return EFail;
    case MemberLookup::NoMember:
        ReportError() << "Value: expected MemberID but found \"" << member << "\".";
        return EFail;
    case MemberLookup::Found:
        break;
    }
    return receiver.FoundMemberID(IDValue(m));
}

// --- [SECTION] Objects -----------------------------------------------------------------------

namespace {

// The value of a boxed global variable, handed on by its type.
EResult DeliverBoxed(ValueReceiver& receiver, ScriptObject* box) {
    const int c = ClassIndexOf(box->GetObjectClassID());
    switch (c) {
    case k_ClassBool:
        return receiver.FoundBool(box->Get(MemberIDOf<ClassMember_Bool>(1, c)));
    case k_ClassI32:
        return receiver.FoundI32(box->Get(MemberIDOf<ClassMember_I32>(1, c)));
    case k_ClassI64:
        return receiver.FoundI64(box->Get(MemberIDOf<ClassMember_I64>(1, c)));
    case k_ClassU32:
        return receiver.FoundU32(box->Get(MemberIDOf<ClassMember_U32>(1, c)));
    case k_ClassU64:
        return receiver.FoundU64(box->Get(MemberIDOf<ClassMember_U64>(1, c)));
    case k_ClassF32:
        return receiver.FoundF32(box->Get(MemberIDOf<ClassMember_F32>(1, c)));
    case k_ClassF64:
        return receiver.FoundF64(box->Get(MemberIDOf<ClassMember_F64>(1, c)));
    case k_ClassVector2f:
        return receiver.FoundVector2f(box->Get(MemberIDOf<ClassMember_Vector2f>(1, c)));
    case k_ClassVector3f:
        return receiver.FoundVector3f(box->Get(MemberIDOf<ClassMember_Vector3f>(1, c)));
    case k_ClassVector4f:
        return receiver.FoundVector4f(box->Get(MemberIDOf<ClassMember_Vector4f>(1, c)));
    case k_ClassMatrix4f:
        return receiver.FoundMatrix4f(box->Get(MemberIDOf<ClassMember_Matrix4f>(1, c)));
    case k_ClassSpheref:
        return receiver.FoundSpheref(box->Get(MemberIDOf<ClassMember_Spheref>(1, c)));
    case k_ClassString: {
        String value;
        box->Get(MemberIDOf<ClassMember_String>(1, c), value);
        return receiver.FoundString(value);
    }
    default:
        break;
    }
    return receiver.FoundObject(box);
}

void DefineObject(ScriptNamespace* ns, ScriptObject* object, const String* name, bool hasId,
                  uint32_t id) {
    if (name != nullptr && object->IsA(BuiltinTypeID(k_ClassObject)))
        static_cast<Object*>(object)->SetName(*name);
    if (hasId)
        ns->DefObjectID(object, id);
    else if (name != nullptr)
        ns->DefObject(object, *name);
    else
        ns->DefObjectID(object, 0);
}

} // namespace

EResult Parser::ParseObject(ValueReceiver& receiver, const char* className, ScriptNamespace* ns,
                            const String* name, bool hasId, uint32_t id,
                            const ClassType_TypeID* knownClass) {
    ScriptObject* object = &G_NilObject;
    if (hasId)
        object = ns->FindObjectID(id);
    else if (name != nullptr)
        object = ns->FindObject(*name);
    if (m_Restricted) {
        // A statement of its own changes only a named object that exists, and keeps its class.
        if (name == nullptr && !hasId && m_Depth <= 1)
            return RefuseStatement("anonymous object");
        if (name != nullptr && object->IsNil())
            return RefuseStatement("new named object");
        if (name != nullptr && className != nullptr) {
            const ClassType_TypeID* cls =
                knownClass != nullptr ? knownClass : ResolveClass(className);
            if (cls == nullptr || !SameClass(object->GetObjectClassID(), cls))
                return RefuseStatement("class change of a named object");
        }
    }
    if (!object->IsNil() && className != nullptr) {
        const ClassType_TypeID* cls = knownClass != nullptr ? knownClass : ResolveClass(className);
        if (cls == nullptr) {
            ReportError() << "Object: unknown class \"" << className << "\".";
            (void)SkipToSemicolon();
            return EFail;
        }
        if (!SameClass(object->GetObjectClassID(), cls)) {
            {
                ErrorLine line = ReportError();
                line.Hex(id, "Object: Object$");
                if (name != nullptr)
                    line << " " << *name;
                line << " changed type \"" << object->GetObjectClassName() << "\" to \""
                     << className << "\".";
            }
            ScriptObject* created = ScriptObject::Create(cls);
            if (created->IsNil()) {
                ReportError() << "Object: could not create abstract or unknown object \""
                              << className << "\".";
                (void)SkipToSemicolon();
                return EFail;
            }
            const Obj<ScriptObject> hold(created);
            DefineObject(ns, created, name, hasId, id);
            object = created;
        }
    }
    if (object->IsNil()) {
        if (className == nullptr) {
            ReportError() << "Object: encountered undefined object \""
                          << (name != nullptr ? name->GetCPtr() : "") << "\".";
            (void)SkipToSemicolon();
            return EFail;
        }
        const ClassType_TypeID* cls = knownClass != nullptr ? knownClass : ResolveClass(className);
        if (cls == nullptr) {
            ReportError() << "Object: encountered unknown type \"" << className << "\".";
            (void)SkipToSemicolon();
            return EFail;
        }
        ScriptObject* created = ScriptObject::Create(cls);
        if (created->IsNil()) {
            ReportError() << "Object: could not create abstract or unknown object \"" << className
                          << "\".";
            (void)SkipToSemicolon();
            return EFail;
        }
        const Obj<ScriptObject> hold(created);
        DefineObject(ns, created, name, hasId, id);
        object = created;
    }
    const Obj<ScriptObject> hold(object);
    bool delivered = false;
    const EResult result = ParseObjectBody(receiver, object, delivered);
    if (Failed(result) || delivered)
        return result;
    if (IsValueClass(ClassIndexOf(object->GetObjectClassID())))
        return DeliverBoxed(receiver, object);
    return receiver.FoundObject(object);
}

EResult Parser::ParseObjectBody(ValueReceiver& receiver, ScriptObject* object, bool& delivered) {
    // A binary member token names a member as a dotted name does.
    const auto isMember = [this] {
        return IsMemberName(Tok()) || (Tok() == LexMemberToken && m_Binary != nullptr);
    };
    if (isMember()) {
        const ClassType_MemberID* m = MemberOfToken(object);
        if (m == nullptr) {
            const std::string name = MemberTokenName();
            Next();
            if (Tok() == LexQuestion)
                ReportError() << "Object: unknown member attribute (get) \"" << name.c_str()
                              << "\".";
            else
                ReportError() << "Object: unknown member attribute \"" << name.c_str() << "\".";
            (void)SkipToSemicolon();
            return EFail;
        }
        Next();
        if (Tok() == LexQuestion) {
            Next();
            delivered = true;
            return GetMember(receiver, object, m);
        }
        if (Failed(ParseAttributeValue(object, m))) {
            ReportError() << "Object: failed to set member attribute \"" << object->Entry(m).m_Name
                          << "\".";
            (void)SkipToSemicolon();
            return EFail;
        }
        return SOK;
    }
    if (Tok() != LexDot)
        return SOK;
    Next();
    if (Failed(ReadExpect(LexBraceL)))
        return EFail;
    while (isMember()) {
        uint8_t direct = 0;
        const ClassType_MemberID* m = MemberOfToken(object, &direct);
        if (direct != 0 && m_Binary != nullptr && SetBinaryMember(object, m, direct))
            continue;
        if (m == nullptr) {
            {
                ErrorLine line = ReportError();
                line << "Object: unknown member attribute \"" << MemberTokenName().c_str()
                     << "\". ";
                line.Hex(0);
            }
            Next();
            (void)SkipToSemicolon();
        } else {
            Next();
            if (Failed(ParseAttributeValue(object, m))) {
                ReportMemberNotSet(object->Entry(m), m);
                (void)SkipToSemicolon();
            }
        }
        (void)ReadExpect(LexSemicolon);
    }
    return ReadExpect(LexBraceR);
}

void Parser::ReportMemberNotSet(const MVTBL& entry, const ClassType_MemberID* m) {
    ErrorLine line = ReportError();
    line << "Object: failed to set member attribute \"" << entry.m_Name << "\". ";
    line.Hex(IDValue(m));
}

void Parser::ReportValueNotSet(const MVTBL& entry, const ClassType_MemberID* m) {
    ReportError() << "ParseAttributeValue: unsupported or invalid value.";
    ReportMemberNotSet(entry, m);
}

bool Parser::SetBinaryMember(ScriptObject* object, const ClassType_MemberID* m, uint8_t direct) {
    // Most of a binary object body is member token, fixed-size literal, ';' for a member of
    // exactly the literal's type: such a member is set here from the bytes, without a token
    // for the literal or the ';'. Anything else (another type, a conversion, a value that is not
    // a lone literal, bytes not yet read) is left to the general path, untouched.
    const unsigned char* kind = m_Binary->PeekRaw(1);
    if (kind == nullptr || *kind != direct)
        return false;
    if (*kind == LexClassMemberToken)
        return SetBinaryEnumerator(object, m);
    if (*kind == LexString)
        return SetBinaryString(object, m);
    const bool array = *kind >= LexArrayBool;
    bool handled = false;
    (void)WithLiteralType(*kind, [&]<class V>() {
        handled = array ? SetBinaryArray<V>(object, m) : SetBinaryValue<V>(object, m);
    });
    return handled;
}

template <class V>
bool Parser::SetBinaryValue(ScriptObject* object, const ClassType_MemberID* m) {
    static_assert(std::endian::native == std::endian::little);
    constexpr int k_Bytes = std::is_same_v<V, bool> ? 1 : static_cast<int>(sizeof(V));
    const unsigned char* raw = m_Binary->PeekRaw(k_Bytes + 2);
    if (raw == nullptr || raw[k_Bytes + 1] != LexSemicolon)
        return false;
    V value;
    if constexpr (std::is_same_v<V, bool>)
        value = raw[1] != 0;
    else
        std::memcpy(static_cast<void*>(&value), raw + 1, sizeof(V));
    object->Set(MakeMemberID<ClassMemberOf<V, false>>(IDValue(m)), value);
    m_Binary->SkipRaw(k_Bytes + 2);
    Next();
    return true;
}

bool Parser::SetBinaryEnumerator(ScriptObject* object, const ClassType_MemberID* m) {
    // An enumerator stands alone as a class-member token: member index, class index.
    const unsigned char* raw = m_Binary->PeekRaw(5);
    if (raw == nullptr || raw[4] != LexSemicolon)
        return false;
    const MVTBL& entry = object->Entry(m);
    const ClassType_MemberID* value = CachedTokenMember(raw[2] | raw[3] << 8, raw[1]);
    // Only an enumerator of the member's own enumeration, which the member takes as it is.
    if (value == nullptr || ClassIndexOf(value) != ClassIndexOf(entry.m_Type))
        return false;
    const ClassMember_Enum* member = MakeMemberID<ClassMember_Enum>(IDValue(m));
    object->Set(member, MakeMemberID<ClassType_Enum>(IDValue(value)));
    m_Binary->SkipRaw(5);
    if (const ClassType_Enum* now = object->Get(member); IDValue(now) != IDValue(value)) {
        // A setter that refused it, said as the general path says it.
        const char* found = TypeIDToString(ClassIDOf(ClassIndexOf(value)));
        const char* expected =
            now != nullptr ? TypeIDToString(ClassIDOf(ClassIndexOf(now))) : nullptr;
        ReportError() << "MemberSet: argument type error, expected "
                      << (expected != nullptr ? expected : "Enum") << " but found "
                      << (found != nullptr ? found : "Enum") << ".";
        ReportValueNotSet(entry, m);
    }
    Next();
    return true;
}

bool Parser::SetBinaryString(ScriptObject* object, const ClassType_MemberID* m) {
    const unsigned char* head = m_Binary->PeekRaw(5);
    if (head == nullptr)
        return false;
    uint32_t length = 0;
    std::memcpy(&length, head + 1, 4);
    // Longer strings are refused by the lexer, with its message.
    if (length >= static_cast<uint32_t>(Lexer::k_BufferSize))
        return false;
    const int size = static_cast<int>(5 + length + 1);
    const unsigned char* raw = m_Binary->PeekRaw(size);
    if (raw == nullptr || raw[size - 1] != LexSemicolon)
        return false;
    object->Set(MakeMemberID<ClassMember_String>(IDValue(m)),
                String(reinterpret_cast<const char*>(raw + 5), static_cast<int>(length)));
    m_Binary->SkipRaw(size);
    Next();
    return true;
}

template <class V>
bool Parser::SetBinaryArray(ScriptObject* object, const ClassType_MemberID* m) {
    using Element = typename ScriptValueTraits<V>::Element;
    static_assert(std::is_trivially_copyable_v<Element>);
    const unsigned char* head = m_Binary->PeekRaw(5);
    if (head == nullptr)
        return false;
    uint32_t count = 0;
    std::memcpy(&count, head + 1, 4);
    const int64_t bytes = static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(Element));
    // Larger arrays are refused by the lexer, with its message.
    if (bytes > LexerBinary::k_MaxArrayBytes)
        return false;
    const int length = static_cast<int>(5 + bytes + 1);
    const unsigned char* raw = m_Binary->PeekRaw(length);
    if (raw == nullptr || raw[length - 1] != LexSemicolon)
        return false;
    const MVTBL& entry = object->Entry(m);
    Array<Element> elements;
    if (count > 0) {
        elements.Resize(static_cast<int>(count));
        std::memcpy(static_cast<void*>(&elements[0]), raw + 5, static_cast<size_t>(bytes));
    }
    m_Binary->SkipRaw(length);
    if (!object->SetArray<V>(static_cast<const ClassMember*>(m), elements))
        ReportValueNotSet(entry, m); // as the general path says it, at the same place
    Next();
    return true;
}

namespace {

template <class V>
EResult DeliverArray(ValueReceiver& receiver, const ScriptObject* object,
                     const ClassType_MemberID* m, ValueType type) {
    ParsedArray array;
    Array<typename ScriptValueTraits<V>::Element> elements;
    if (!object->GetArray<V>(static_cast<const ClassMember*>(m), elements))
        return EFail;
    array.m_Type = elements.IsEmpty() ? ValueType::None : type;
    array.m_Elements = std::move(elements);
    return receiver.FoundArray(array);
}

} // namespace

EResult Parser::GetMember(ValueReceiver& receiver, ScriptObject* object,
                          const ClassType_MemberID* m) {
    const MVTBL& entry = object->Entry(m);
    const int type = ClassIndexOf(entry.m_Type);
    const T_Kind kind = TypeIDToKind(entry.m_Type);
    const uint32_t id = IDValue(m);
    if ((entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0) {
        if (kind == Kind_Object)
            return DeliverArray<ScriptObject*>(receiver, object, m, ValueType::Object);
        if (kind == Kind_Enum)
            return DeliverArray<const ClassType_Enum*>(receiver, object, m, ValueType::Enum);
        switch (type) {
        case k_ClassI32:
            return DeliverArray<int32_t>(receiver, object, m, ValueType::I32);
        case k_ClassU32:
            return DeliverArray<uint32_t>(receiver, object, m, ValueType::U32);
        case k_ClassF32:
            return DeliverArray<float>(receiver, object, m, ValueType::F32);
        case k_ClassVector2f:
            return DeliverArray<Vector2f>(receiver, object, m, ValueType::Vector2f);
        case k_ClassVector3f:
            return DeliverArray<Vector3f>(receiver, object, m, ValueType::Vector3f);
        case k_ClassVector4f:
            return DeliverArray<Vector4f>(receiver, object, m, ValueType::Vector4f);
        case k_ClassMatrix4f:
            return DeliverArray<Matrix4f>(receiver, object, m, ValueType::Matrix4f);
        case k_ClassString:
            return DeliverArray<String>(receiver, object, m, ValueType::String);
        case k_ClassMemberID:
            return DeliverArray<const ClassType_MemberID*>(receiver, object, m,
                                                           ValueType::MemberID);
        default:
            break;
        }
        ReportError() << "Object: unsupported member attribute (get array) type.";
        return EUnimplemented;
    }
    if (kind == Kind_Object)
        return receiver.FoundObject(object->Get(MakeMemberID<ClassMember_Object>(id)));
    if (kind == Kind_Enum)
        return receiver.FoundEnum(IDValue(object->Get(MakeMemberID<ClassMember_Enum>(id))));
    switch (type) {
    case k_ClassBool:
        return receiver.FoundBool(object->Get(MakeMemberID<ClassMember_Bool>(id)));
    case k_ClassI32:
        return receiver.FoundI32(object->Get(MakeMemberID<ClassMember_I32>(id)));
    case k_ClassI64:
        return receiver.FoundI64(object->Get(MakeMemberID<ClassMember_I64>(id)));
    case k_ClassU32:
        return receiver.FoundU32(object->Get(MakeMemberID<ClassMember_U32>(id)));
    case k_ClassU64:
        return receiver.FoundU64(object->Get(MakeMemberID<ClassMember_U64>(id)));
    case k_ClassF32:
        return receiver.FoundF32(object->Get(MakeMemberID<ClassMember_F32>(id)));
    case k_ClassF64:
        return receiver.FoundF64(object->Get(MakeMemberID<ClassMember_F64>(id)));
    case k_ClassVector2f:
        return receiver.FoundVector2f(object->Get(MakeMemberID<ClassMember_Vector2f>(id)));
    case k_ClassVector3f:
        return receiver.FoundVector3f(object->Get(MakeMemberID<ClassMember_Vector3f>(id)));
    case k_ClassVector4f:
        return receiver.FoundVector4f(object->Get(MakeMemberID<ClassMember_Vector4f>(id)));
    case k_ClassMatrix4f:
        return receiver.FoundMatrix4f(object->Get(MakeMemberID<ClassMember_Matrix4f>(id)));
    case k_ClassSpheref:
        return receiver.FoundSpheref(object->Get(MakeMemberID<ClassMember_Spheref>(id)));
    case k_ClassString: {
        String value;
        object->Get(MakeMemberID<ClassMember_String>(id), value);
        return receiver.FoundString(value);
    }
    case k_ClassMemberID:
        return receiver.FoundMemberID(IDValue(object->Get(MakeMemberID<ClassMember_MemberID>(id))));
    default:
        break;
    }
    ReportError() << "Object: unsupported member attribute (get) type.";
    return EUnimplemented;
}

namespace {

// Sets one member of an object; the value's type must be the member's exactly.
class MemberSetReceiver final : public ValueReceiver {
public:
    MemberSetReceiver(Parser& parser, ScriptObject* object, const ClassType_MemberID* m)
        : m_Parser(parser), m_Object(object), m_Member(m), m_Entry(object->Entry(m)),
          m_Type(ClassIndexOf(m_Entry.m_Type)), m_Kind(TypeIDToKind(m_Entry.m_Type)),
          m_IsArray((m_Entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0) {}

    EResult FoundBool(bool value) override { return SetScalar(value); }
    EResult FoundI32(int32_t value) override { return SetScalar(value); }
    EResult FoundI64(int64_t value) override { return SetScalar(value); }
    EResult FoundU32(uint32_t value) override { return SetScalar(value); }
    EResult FoundU64(uint64_t value) override { return SetScalar(value); }
    EResult FoundF32(float value) override { return SetScalar(value); }
    EResult FoundF64(double value) override { return SetScalar(value); }
    EResult FoundVector2f(const Vector2f& value) override { return SetScalar(value); }
    EResult FoundVector3f(const Vector3f& value) override { return SetScalar(value); }
    // Quaternions travel as their four floats (no form has a quaternion token).
    EResult FoundVector4f(const Vector4f& value) override {
        if (m_Type != k_ClassQuaternionf || m_IsArray)
            return SetScalar(value);
        m_Object->Set(MakeMemberID<ClassMember_Quaternionf>(IDValue(m_Member)), Turn(value));
        return SOK;
    }
    EResult FoundMatrix4f(const Matrix4f& value) override { return SetScalar(value); }
    EResult FoundSpheref(const Spheref& value) override { return SetScalar(value); }
    EResult FoundString(const String& value) override { return SetScalar(value); }
    EResult FoundMemberID(uint32_t member) override {
        if (m_IsArray || m_Type != k_ClassMemberID)
            return TypeError("MemberID");
        m_Object->Set(MakeMemberID<ClassMember_MemberID>(IDValue(m_Member)), MakeMemberID(member));
        return SOK;
    }
    EResult FoundEnum(uint32_t member) override {
        const int enumClass = ClassIndexOf(MakeMemberID(member));
        const char* found = TypeIDToString(Parser::ClassIDOf(enumClass));
        if (m_IsArray || m_Kind != Kind_Enum || (m_Type != k_ClassEnum && m_Type != enumClass))
            return TypeError(found != nullptr ? found : "Enum");
        const ClassMember_Enum* m = MakeMemberID<ClassMember_Enum>(IDValue(m_Member));
        m_Object->Set(m, MakeMemberID<ClassType_Enum>(member));
        // Members bound to one enumeration refuse the others (and log it): read back to know.
        const ClassType_Enum* now = m_Object->Get(m);
        if (IDValue(now) == member)
            return SOK;
        const char* expected =
            now != nullptr ? TypeIDToString(Parser::ClassIDOf(ClassIndexOf(now))) : nullptr;
        m_Parser.ReportError() << "MemberSet: argument type error, expected "
                               << (expected != nullptr ? expected : "Enum") << " but found "
                               << (found != nullptr ? found : "Enum") << ".";
        return EInvalidArgument;
    }
    EResult FoundObject(ScriptObject* object) override {
        if (m_IsArray || m_Kind != Kind_Object || !Accepts(object))
            return TypeError(object->GetObjectClassName());
        m_Object->Set(MakeMemberID<ClassMember_Object>(IDValue(m_Member)), object);
        return SOK;
    }
    EResult FoundHash(ParsedHash&) override { return TypeError("Hash"); }
    EResult FoundArray(ParsedArray& array) override;

private:
    // Object members of class ScriptObject take any object (IsA does not see the root).
    bool Accepts(const ScriptObject* object) const {
        return object->IsNil() || m_Type == k_ClassScriptObject || object->IsA(m_Entry.m_Type);
    }
    template <class V>
    EResult SetScalar(const V& value) {
        if (m_IsArray || m_Type != ScriptValueTraits<V>::k_Class || m_Kind != Kind_Value)
            return TypeError(ScriptValueTraits<V>::k_Name);
        m_Object->Set(MakeMemberID<ClassMemberOf<V, false>>(IDValue(m_Member)), value);
        return SOK;
    }
    EResult TypeError(const char* found, const char* foundPrefix = "") {
        // Quaternionf is a member type without a class record of its own.
        const char* expected =
            m_Type == k_ClassQuaternionf ? "Quaternionf" : TypeIDToString(m_Entry.m_Type);
        m_Parser.ReportError() << "MemberSet: argument type error, expected "
                               << (m_IsArray ? "Array_" : "")
                               << (expected != nullptr ? expected : "???") << " but found "
                               << foundPrefix << found << ".";
        return EInvalidArgument;
    }
    static Quaternionf Turn(const Vector4f& floats) {
        static_assert(sizeof(Quaternionf) == sizeof(Vector4f));
        Quaternionf q;
        std::memcpy(static_cast<void*>(&q), &floats, sizeof(q));
        return q;
    }
    EResult SetQuaternions(ParsedArray& array) {
        Array<Quaternionf> turns;
        if (array.m_Type != ValueType::None) {
            for (const Vector4f& floats : std::get<Array<Vector4f>>(array.m_Elements))
                turns.Add(Turn(floats));
        }
        return m_Object->SetArray<Quaternionf>(static_cast<const ClassMember*>(m_Member), turns)
                   ? SOK
                   : EInvalidArgument;
    }
    template <class V>
    EResult SetElements(ParsedArray& array) {
        using Elements = Array<typename ScriptValueTraits<V>::Element>;
        const ClassMember* m = static_cast<const ClassMember*>(m_Member);
        bool set = false;
        if (array.m_Type == ValueType::None)
            set = m_Object->SetArray<V>(m, Elements());
        else
            set = m_Object->SetArray<V>(m, std::get<Elements>(array.m_Elements));
        return set ? SOK : EInvalidArgument;
    }

    Parser& m_Parser;
    ScriptObject* m_Object;
    const ClassType_MemberID* m_Member;
    const MVTBL& m_Entry;
    int m_Type;
    T_Kind m_Kind;
    bool m_IsArray;
};

EResult MemberSetReceiver::FoundArray(ParsedArray& array) {
    if (!m_IsArray) {
        m_Parser.ReportError() << "MemberSet: Array: member " << m_Entry.m_Name
                               << " does not accept an array.";
        return EInvalidArgument;
    }
    const bool empty = array.m_Type == ValueType::None;
    auto expect = [&](ValueType type) { return empty || array.m_Type == type; };
    if (m_Kind == Kind_Object) {
        if (!expect(ValueType::Object))
            return TypeError(ValueTypeName(array.m_Type), "Array_");
        if (!empty) {
            for (const Obj<ScriptObject>& element :
                 std::get<Array<Obj<ScriptObject>>>(array.m_Elements)) {
                if (!Accepts(element))
                    return TypeError(element->GetObjectClassName(), "Array_");
            }
        }
        return SetElements<ScriptObject*>(array);
    }
    if (m_Kind == Kind_Enum) {
        if (!expect(ValueType::Enum))
            return TypeError(ValueTypeName(array.m_Type), "Array_");
        return SetElements<const ClassType_Enum*>(array);
    }
    ValueType wanted = ValueType::None;
    switch (m_Type) {
    case k_ClassBool:
        wanted = ValueType::Bool;
        break;
    case k_ClassI64:
        wanted = ValueType::I64;
        break;
    case k_ClassU64:
        wanted = ValueType::U64;
        break;
    case k_ClassF64:
        wanted = ValueType::F64;
        break;
    case k_ClassSpheref:
        wanted = ValueType::Spheref;
        break;
    case k_ClassI32:
        wanted = ValueType::I32;
        break;
    case k_ClassU32:
        wanted = ValueType::U32;
        break;
    case k_ClassF32:
        wanted = ValueType::F32;
        break;
    case k_ClassVector2f:
        wanted = ValueType::Vector2f;
        break;
    case k_ClassVector3f:
        wanted = ValueType::Vector3f;
        break;
    case k_ClassVector4f:
    case k_ClassQuaternionf:
        wanted = ValueType::Vector4f;
        break;
    case k_ClassMatrix4f:
        wanted = ValueType::Matrix4f;
        break;
    case k_ClassString:
        wanted = ValueType::String;
        break;
    case k_ClassMemberID:
        wanted = ValueType::MemberID;
        break;
    default: {
        const char* name = TypeIDToString(m_Entry.m_Type);
        m_Parser.ReportError() << "MemberSet: Array: type " << (name != nullptr ? name : "???")
                               << " not implemented.";
        return EUnimplemented;
    }
    }
    if (!expect(wanted))
        return TypeError(ValueTypeName(array.m_Type), "Array_");
    switch (wanted) {
    case ValueType::Bool:
        return SetElements<bool>(array);
    case ValueType::I64:
        return SetElements<int64_t>(array);
    case ValueType::U64:
        return SetElements<uint64_t>(array);
    case ValueType::F64:
        return SetElements<double>(array);
    case ValueType::Spheref:
        return SetElements<Spheref>(array);
    case ValueType::I32:
        return SetElements<int32_t>(array);
    case ValueType::U32:
        return SetElements<uint32_t>(array);
    case ValueType::F32:
        return SetElements<float>(array);
    case ValueType::Vector2f:
        return SetElements<Vector2f>(array);
    case ValueType::Vector3f:
        return SetElements<Vector3f>(array);
    case ValueType::Vector4f:
        if (m_Type == k_ClassQuaternionf)
            return SetQuaternions(array);
        return SetElements<Vector4f>(array);
    case ValueType::Matrix4f:
        return SetElements<Matrix4f>(array);
    case ValueType::String:
        return SetElements<String>(array);
    default:
        return SetElements<const ClassType_MemberID*>(array);
    }
}

} // namespace

EResult Parser::ParseAttributeValue(ScriptObject* object, const ClassType_MemberID* member) {
    MemberSetReceiver set(*this, object, member);
    if (Failed(ParseExpression(set))) {
        ReportError() << "ParseAttributeValue: unsupported or invalid value.";
        return EInvalidArgument;
    }
    return SOK;
}

// --- [SECTION] Arrays, hashes, parentheses ---------------------------------------------------

namespace {

// Appends elements to an array; the first element fixes the element type.
class ArrayValueReceiver final : public ValueReceiver {
public:
    ArrayValueReceiver(Parser& parser, ParsedArray& array) : m_Parser(parser), m_Array(array) {}

    EResult FoundBool(bool value) override { return Add<bool>(ValueType::Bool, value); }
    EResult FoundI32(int32_t value) override { return Add<int32_t>(ValueType::I32, value); }
    EResult FoundI64(int64_t value) override { return Add<int64_t>(ValueType::I64, value); }
    EResult FoundU32(uint32_t value) override { return Add<uint32_t>(ValueType::U32, value); }
    EResult FoundU64(uint64_t value) override { return Add<uint64_t>(ValueType::U64, value); }
    EResult FoundF32(float value) override { return Add<float>(ValueType::F32, value); }
    EResult FoundF64(double value) override { return Add<double>(ValueType::F64, value); }
    EResult FoundVector2f(const Vector2f& value) override {
        return Add<Vector2f>(ValueType::Vector2f, value);
    }
    EResult FoundVector3f(const Vector3f& value) override {
        return Add<Vector3f>(ValueType::Vector3f, value);
    }
    EResult FoundVector4f(const Vector4f& value) override {
        return Add<Vector4f>(ValueType::Vector4f, value);
    }
    EResult FoundMatrix4f(const Matrix4f& value) override {
        return Add<Matrix4f>(ValueType::Matrix4f, value);
    }
    EResult FoundSpheref(const Spheref& value) override {
        return Add<Spheref>(ValueType::Spheref, value);
    }
    EResult FoundString(const String& value) override {
        return Add<String>(ValueType::String, value);
    }
    EResult FoundEnum(uint32_t member) override {
        return Add<const ClassType_Enum*>(ValueType::Enum, MakeMemberID<ClassType_Enum>(member));
    }
    EResult FoundMemberID(uint32_t member) override {
        return Add<const ClassType_MemberID*>(ValueType::MemberID, MakeMemberID(member));
    }
    EResult FoundObject(ScriptObject* object) override {
        return Add<Obj<ScriptObject>>(ValueType::Object, Obj<ScriptObject>(object));
    }
    EResult FoundArray(ParsedArray&) override {
        m_Parser.ReportError() << "ArrayValue: Array: nested arrays not supported yet.";
        return EUnimplemented;
    }
    EResult FoundHash(ParsedHash&) override {
        m_Parser.ReportError() << "ArrayValue: Array: nested hash not supported yet.";
        return EUnimplemented;
    }

private:
    template <class E>
    EResult Add(ValueType type, const E& value) {
        if (m_Array.m_Type == ValueType::None) {
            m_Array.m_Type = type;
            m_Array.m_Elements.emplace<Array<E>>();
        } else if (m_Array.m_Type != type) {
            m_Parser.ReportError() << "ArrayValue: cannot add type " << ValueTypeName(type)
                                   << " to array of type " << ValueTypeName(m_Array.m_Type);
            return EInvalidArgument;
        }
        std::get<Array<E>>(m_Array.m_Elements).Add(value);
        return SOK;
    }

    Parser& m_Parser;
    ParsedArray& m_Array;
};

// Appends one name/value entry to a hash.
class HashValueReceiver final : public CaptureReceiver {
public:
    explicit HashValueReceiver(Parser& parser) : m_Parser(parser) {}

    EResult FoundArray(ParsedArray&) override {
        m_Parser.ReportError() << "HashValue: Hash: nested Hashs not supported yet.";
        return EUnimplemented;
    }
    EResult FoundHash(ParsedHash&) override {
        m_Parser.ReportError() << "HashValue: Hash: nested Hashes not supported yet.";
        return EUnimplemented;
    }

private:
    Parser& m_Parser;
};

// One value inside parentheses; ParseParenthesis decides between grouping and components.
// Numbers, the components of vectors and matrices, are kept without a whole ScriptValue.
class ParenthesisReceiver final : public ValueReceiver {
public:
    EResult FoundI32(int32_t value) override {
        m_Number = ValueType::I32;
        m_I32 = value;
        return SOK;
    }
    EResult FoundF32(float value) override {
        m_Number = ValueType::F32;
        m_F32 = value;
        return SOK;
    }
#define QUORLIX_CAPTURE(Found, Arg)                                                                \
    EResult Found(Arg value) override {                                                            \
        return Other().Found(value);                                                               \
    }
    QUORLIX_CAPTURE(FoundBool, bool)
    QUORLIX_CAPTURE(FoundI64, int64_t)
    QUORLIX_CAPTURE(FoundU32, uint32_t)
    QUORLIX_CAPTURE(FoundU64, uint64_t)
    QUORLIX_CAPTURE(FoundF64, double)
    QUORLIX_CAPTURE(FoundVector2f, const Vector2f&)
    QUORLIX_CAPTURE(FoundVector3f, const Vector3f&)
    QUORLIX_CAPTURE(FoundVector4f, const Vector4f&)
    QUORLIX_CAPTURE(FoundMatrix4f, const Matrix4f&)
    QUORLIX_CAPTURE(FoundSpheref, const Spheref&)
    QUORLIX_CAPTURE(FoundString, const String&)
    QUORLIX_CAPTURE(FoundEnum, uint32_t)
    QUORLIX_CAPTURE(FoundMemberID, uint32_t)
    QUORLIX_CAPTURE(FoundObject, ScriptObject*)
    QUORLIX_CAPTURE(FoundArray, ParsedArray&)
    QUORLIX_CAPTURE(FoundHash, ParsedHash&)
#undef QUORLIX_CAPTURE

    /// The value as a ScriptValue, whatever it is (type None when no value came).
    ScriptValue& Value() {
        CaptureReceiver& other = Other();
        if (m_Number == ValueType::I32)
            (void)other.FoundI32(m_I32);
        else if (m_Number == ValueType::F32)
            (void)other.FoundF32(m_F32);
        m_Number = ValueType::None;
        return other.m_Value;
    }

    ValueType m_Number = ValueType::None; // I32 or F32 when the value is one of these
    int32_t m_I32 = 0;
    float m_F32 = 0;

private:
    CaptureReceiver& Other() {
        if (!m_Other)
            m_Other.emplace();
        return *m_Other;
    }
    std::optional<CaptureReceiver> m_Other;
};

} // namespace

EResult Parser::ParseArray(ValueReceiver& receiver, const ClassType_TypeID* elementClass) {
    ParsedArray array;
    array.m_ElementClass = elementClass;
    if (Tok() == LexBracketR) {
        Next();
        return receiver.FoundArray(array);
    }
    ArrayValueReceiver elements(*this, array);
    for (;;) {
        if (Failed(ParseExpression(elements)))
            return EFail;
        const LexType t = Tok();
        if (t == LexComma || t == LexSemicolon) {
            Next();
        } else if (t == LexBracketR) {
            Next();
            break;
        } else {
            ReportError() << "Value: Array: missing either ',' or ']', assuming ','.";
        }
    }
    return receiver.FoundArray(array);
}

EResult Parser::ParseHash(ValueReceiver& receiver) {
    ParsedHash hash;
    if (Tok() == LexBraceR) {
        Next();
        return receiver.FoundHash(hash);
    }
    for (;;) {
        if (!IsMemberName(Tok())) {
            ReportError() << "Value: Hash: unexpected token instead of \".Attr\".";
            return EFail;
        }
        HashEntry entry;
        entry.m_Name = String(m_Lexer.GetText(), m_Lexer.GetTextLength());
        Next();
        HashValueReceiver value(*this);
        if (Failed(ParseExpression(value)))
            return EFail;
        entry.m_Value = std::move(value.m_Value);
        hash.push_back(std::move(entry));
        const LexType t = Tok();
        if (t == LexComma || t == LexSemicolon) {
            Next();
            if (Tok() == LexBraceR) {
                Next();
                break;
            }
        } else if (t == LexBraceR) {
            Next();
            break;
        } else {
            ReportError() << "Value: Hash: missing either ';' or '}', assuming ','.";
        }
    }
    return receiver.FoundHash(hash);
}

EResult Parser::ParseParenthesis(ValueReceiver& receiver) {
    float components[16];
    int count = 0;
    for (;;) {
        ParenthesisReceiver part;
        EResult result = ParseValue(part);
        if (Failed(result))
            return result;
        const LexType next = Tok();
        if (part.m_Number != ValueType::None &&
            (next == LexComma || (next == LexParenthesisR && count > 0))) {
            // A component in the common form: a number after a comma.
            if (next == LexComma && count == 15) {
                ReportError() << "Parenthesis: too many components for matrix.";
                return EFail;
            }
            components[count++] =
                part.m_Number == ValueType::I32 ? static_cast<float>(part.m_I32) : part.m_F32;
            Next();
            if (next == LexComma)
                continue;
            return BuildComponents(receiver, components, count);
        }
        ScriptValue& value = part.Value();
        if (value.m_Type == ValueType::None) {
            ReportError() << "Parenthesis: undefined construct.";
            return EFail;
        }
        if (IsOperator(Tok())) {
            if (value.m_Type == ValueType::Object) {
                ReportError() << "Parenthesis: expression containing Object cannot be evaluated.";
                return EFail;
            }
            result = Climb(value, 254);
            if (Failed(result))
                return result;
        }
        const LexType t = Tok();
        if (t == LexParenthesisR && count == 0) {
            Next();
            return Deliver(receiver, value);
        }
        // ((x, y, z), r): a sphere, centre and radius, as the writers spell it.
        if (t == LexComma && count == 0 && value.m_Type == ValueType::Vector3f) {
            const Vector3f centre = Vec3(value);
            Next();
            ParenthesisReceiver radiusPart;
            result = ParseExpression(radiusPart);
            if (Failed(result))
                return result;
            const ScriptValue& radius = radiusPart.Value();
            if ((radius.m_Type != ValueType::I32 && radius.m_Type != ValueType::F32) ||
                Tok() != LexParenthesisR) {
                ReportError() << "Parenthesis: a sphere is ((x, y, z), radius).";
                return EFail;
            }
            Next();
            return receiver.FoundSpheref(Spheref(centre, radius.m_Type == ValueType::I32
                                                             ? static_cast<float>(radius.m_I32)
                                                             : radius.m_F32));
        }
        if (t != LexParenthesisR && t != LexComma) {
            ReportError() << "Parenthesis: undefined operator.";
            return EUnimplemented;
        }
        if (value.m_Type == ValueType::Array || value.m_Type == ValueType::Hash) {
            ReportError() << "Parenthesis: undefined construct.";
            return EFail;
        }
        if (value.m_Type != ValueType::I32 && value.m_Type != ValueType::F32) {
            ReportError() << "Parenthesis: invalid component type " << ValueTypeName(value.m_Type)
                          << " for vector/matrix.";
            return EFail;
        }
        if (t == LexComma && count == 15) {
            ReportError() << "Parenthesis: too many components for matrix.";
            return EFail;
        }
        components[count++] =
            value.m_Type == ValueType::I32 ? static_cast<float>(value.m_I32) : value.m_F32;
        Next();
        if (t == LexComma)
            continue;
        return BuildComponents(receiver, components, count);
    }
}

EResult Parser::BuildComponents(ValueReceiver& receiver, const float* components, int count) {
    switch (count) {
    case 2:
        return receiver.FoundVector2f(Vector2f(components[0], components[1]));
    case 3:
        return receiver.FoundVector3f(Vector3f(components[0], components[1], components[2]));
    case 4:
        return receiver.FoundVector4f(
            Vector4f(components[0], components[1], components[2], components[3]));
    case 16: {
        Matrix4f m;
        m.Set(components);
        return receiver.FoundMatrix4f(m);
    }
    default:
        break;
    }
    ReportError() << "Parenthesis: invalid number of components for vector/matrix.";
    return EFail;
}

// --- [SECTION] Expressions -------------------------------------------------------------------

EResult Parser::EvaluateFrom(ScriptValue& left, ValueReceiver& receiver) {
    // At the outermost level any operator continues the expression.
    const EResult result = Climb(left, 254);
    if (Failed(result))
        return result;
    return Deliver(receiver, left);
}

EResult Parser::Climb(ScriptValue& left, int maxPrecedence) {
    while (Lexer::OperatorPrecedence(Tok()) <= maxPrecedence) {
        const LexType op = Tok();
        const int precedence = Lexer::OperatorPrecedence(op);
        Next();
        CaptureReceiver right;
        EResult result = ParseValue(right);
        if (Failed(result))
            return result;
        if (right.m_Value.m_Type == ValueType::None) {
            ReportError() << "Eval: operand without a value.";
            return EFail;
        }
        // Operators that bind tighter take the right operand first.
        while (Lexer::OperatorPrecedence(Tok()) < precedence) {
            result = Climb(right.m_Value, Lexer::OperatorPrecedence(Tok()));
            if (Failed(result))
                return result;
        }
        result = Evaluate(left, op, right.m_Value);
        if (Failed(result))
            return result;
    }
    return SOK;
}

namespace {

bool IsComparison(LexType op) {
    return op >= LexOperatorLT && op <= LexOperatorNE;
}

template <class T>
bool Compare(LexType op, const T& a, const T& b) {
    switch (op) {
    case LexOperatorLT:
        return a < b;
    case LexOperatorGT:
        return a > b;
    case LexOperatorLE:
        return a <= b;
    case LexOperatorGE:
        return a >= b;
    case LexOperatorEQ:
        return a == b;
    default:
        return a != b;
    }
}

void SetBool(ScriptValue& out, bool value) {
    out.m_Type = ValueType::Bool;
    out.m_Bool = value;
}

} // namespace

EResult Parser::Evaluate(ScriptValue& left, LexType op, ScriptValue& right) {
    const ValueType a = left.m_Type;
    const ValueType b = right.m_Type;
    auto notSupported = [&](const char* pair) {
        ReportError() << "Eval: operator " << Lexer::OperatorSpelling(op) << pair
                      << " is not supported.";
        return EUnimplemented;
    };
    auto kindNotSupported = [&]() {
        ErrorLine line = ReportError();
        line << "Eval: operator ";
        line.Hex(static_cast<uint32_t>(op)) << " is not supported.";
        return EUnimplemented;
    };

    if (a == ValueType::Bool && b == ValueType::Bool) {
        const bool x = left.m_Bool;
        const bool y = right.m_Bool;
        switch (op) {
        case LexOperatorEQ:
            SetBool(left, x == y);
            return SOK;
        case LexOperatorNE:
            SetBool(left, x != y);
            return SOK;
        case LexOperatorBinaryAnd:
        case LexOperatorLogicAnd:
            SetBool(left, x && y);
            return SOK;
        case LexOperatorBinaryOr:
        case LexOperatorLogicOr:
            SetBool(left, x || y);
            return SOK;
        case LexOperatorBinaryXor:
        case LexOperatorLogicXor:
            SetBool(left, x != y);
            return SOK;
        default:
            return notSupported("(Bool,Bool)");
        }
    }

    if ((a == ValueType::I32 && b == ValueType::I32) ||
        (a == ValueType::U32 && b == ValueType::U32)) {
        const bool isSigned = a == ValueType::I32;
        // Unsigned 32-bit arithmetic wraps without undefined behaviour for both types.
        const uint32_t x = left.m_U32;
        const uint32_t y = right.m_U32;
        if (IsComparison(op)) {
            SetBool(left, isSigned ? Compare(op, left.m_I32, right.m_I32) : Compare(op, x, y));
            return SOK;
        }
        uint32_t r = 0;
        switch (op) {
        case LexOperatorAdd:
            r = x + y;
            break;
        case LexOperatorSub:
            r = x - y;
            break;
        case LexOperatorMul:
            r = x * y;
            break;
        case LexOperatorDiv:
        case LexOperatorMod:
            if (y == 0) {
                ReportError() << "Eval: division by zero.";
                return EFail;
            }
            if (isSigned && left.m_I32 == INT32_MIN && right.m_I32 == -1) {
                ReportError() << "Eval: overflow in division of -2147483648 by -1.";
                return EFail;
            }
            if (isSigned)
                r = static_cast<uint32_t>(op == LexOperatorDiv ? left.m_I32 / right.m_I32
                                                               : left.m_I32 % right.m_I32);
            else
                r = op == LexOperatorDiv ? x / y : x % y;
            break;
        case LexOperatorShiftL:
            r = x << (y & 31);
            break;
        case LexOperatorShiftR:
            r = isSigned ? static_cast<uint32_t>(left.m_I32 >> (y & 31)) : x >> (y & 31);
            break;
        case LexOperatorBinaryAnd:
            r = x & y;
            break;
        case LexOperatorBinaryOr:
            r = x | y;
            break;
        case LexOperatorBinaryXor:
            r = x ^ y;
            break;
        default:
            return notSupported(isSigned ? "(I32,I32)" : "(U32,U32)");
        }
        left.m_U32 = r;
        return SOK;
    }

    const bool aNumber = a == ValueType::I32 || a == ValueType::F32;
    const bool bNumber = b == ValueType::I32 || b == ValueType::F32;
    if (aNumber && bNumber) {
        const bool mixed = a != b;
        const float x = a == ValueType::I32 ? static_cast<float>(left.m_I32) : left.m_F32;
        const float y = b == ValueType::I32 ? static_cast<float>(right.m_I32) : right.m_F32;
        if (IsComparison(op)) {
            SetBool(left, Compare(op, x, y));
            return SOK;
        }
        float r = 0;
        switch (op) {
        case LexOperatorAdd:
            r = x + y;
            break;
        case LexOperatorSub:
            r = x - y;
            break;
        case LexOperatorMul:
            r = x * y;
            break;
        case LexOperatorDiv:
            r = x / y;
            break;
        case LexOperatorMod:
            r = std::fmod(x, y);
            break;
        default:
            return mixed ? kindNotSupported() : notSupported("(F32,F32)");
        }
        left.m_Type = ValueType::F32;
        left.m_F32 = r;
        return SOK;
    }

    if (a == ValueType::String && b == ValueType::String) {
        if (IsComparison(op)) {
            SetBool(left, Compare(op, String::Compare(left.m_String, right.m_String), 0));
            return SOK;
        }
        if (op == LexOperatorAdd) {
            left.m_String = left.m_String + right.m_String.Ref();
            return SOK;
        }
        return kindNotSupported();
    }

    ErrorLine line = ReportError();
    line << "Eval: operator " << Lexer::OperatorSpelling(op) << "(" << ValueTypeName(a) << ","
         << ValueTypeName(b) << ") is not supported.";
    return EUnimplemented;
}

} // namespace Quorlix::Internal
