#include "quorlix/script/ScriptStreamAlpha.h"

#include "quorlix/script/ScriptObject.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace Quorlix {

namespace {

// The shortest text that reads back to the same bits, with a point or an exponent so that it
// reads as a floating-point token ("1." rather than "1").
template <class F>
int FormatFloat(char* out, int size, F value) {
    if (std::isnan(value)) {
        std::memcpy(out, "nan", 3);
        return 3;
    }
    if (std::isinf(value)) {
        const char* text = value < 0 ? "-inf" : "inf";
        const int n = static_cast<int>(std::strlen(text));
        std::memcpy(out, text, static_cast<size_t>(n));
        return n;
    }
    const auto [end, ec] = std::to_chars(out, out + size - 2, value);
    int n = ec == std::errc() ? static_cast<int>(end - out) : 0;
    if (std::memchr(out, '.', static_cast<size_t>(n)) == nullptr &&
        std::memchr(out, 'e', static_cast<size_t>(n)) == nullptr)
        out[n++] = '.';
    return n;
}

const char* TokenText(LexType token) {
    switch (token) {
    case LexAt:
        return "@";
    case LexParenthesisL:
        return "(";
    case LexParenthesisR:
        return ")";
    case LexBracketL:
        return "[";
    case LexBracketR:
        return "]";
    case LexBraceL:
        return "{";
    case LexBraceR:
        return "}";
    case LexOperatorLT:
        return "<";
    case LexOperatorGT:
        return ">";
    case LexOperatorLE:
        return "<=";
    case LexOperatorGE:
        return ">=";
    case LexOperatorEQ:
        return "==";
    case LexOperatorNE:
        return "!=";
    case LexOperatorAdd:
        return "+";
    case LexOperatorSub:
        return "-";
    case LexOperatorMul:
        return "*";
    case LexOperatorDiv:
        return "/";
    case LexOperatorMod:
        return "%";
    case LexOperatorShiftL:
        return "<<";
    case LexOperatorShiftR:
        return ">>";
    case LexOperatorComplement:
        return "~";
    case LexOperatorBinaryAnd:
        return "&";
    case LexOperatorBinaryOr:
        return "|";
    case LexOperatorBinaryXor:
        return "^";
    case LexOperatorNot:
        return "!";
    case LexOperatorLogicAnd:
        return "&&";
    case LexOperatorLogicOr:
        return "||";
    case LexOperatorLogicXor:
        return "^^";
    case LexAssign:
        return "=";
    // Nothing writes a colon token; "." keeps such text readable as a member separator.
    case LexDot:
    case LexColon:
        return ".";
    case LexComma:
        return ",";
    case LexSemicolon:
        return ";";
    case LexQuestion:
        return "?";
    case LexBlank:
        return " ";
    case LexCRLF:
        return "\n";
    default:
        return "";
    }
}

} // namespace

ScriptStreamAlpha::ScriptStreamAlpha(StreamPipe* pipe) : m_Stream(pipe) {
    Text("//KS 0.3 F010219x\n", 18);
}

int ScriptStreamAlpha::Text(const char* text, int length) {
    return m_Stream.Write(text, length);
}

int ScriptStreamAlpha::Floats(const float* values, int n) {
    char text[40 * 16 + 4];
    int used = 0;
    text[used++] = '(';
    for (int i = 0; i < n; ++i) {
        if (i > 0)
            text[used++] = ',';
        used += FormatFloat(text + used, 40, values[i]);
    }
    text[used++] = ')';
    return Text(text, used);
}

template <class E, class F>
int ScriptStreamAlpha::Elements(const Array<E>& value, const char* typeName, F&& write) {
    int result = 0;
    // An empty array says its type, or the parser could not tell what it holds.
    if (value.IsEmpty())
        result += WriteIdentifier(typeName);
    result += Text("[", 1);
    for (int i = 0; i < value.Size(); ++i) {
        if (i > 0)
            result += Text(",", 1);
        result += write(value[i]);
    }
    return result + Text("]", 1);
}

int ScriptStreamAlpha::WriteArrayString(const Array<String>& value) {
    return Elements(value, "String",
                    [&](const String& s) { return WriteString(s.GetCPtr(), s.Size()); });
}
int ScriptStreamAlpha::WriteArraySpheref(const Array<Spheref>& value) {
    return Elements(value, "Spheref", [&](const Spheref& v) { return WriteSpheref(v); });
}
int ScriptStreamAlpha::WriteArrayMatrix4f(const Array<Matrix4f>& value) {
    return Elements(value, "Matrix4f", [&](const Matrix4f& v) { return WriteMatrix4f(v); });
}
int ScriptStreamAlpha::WriteArrayVector4f(const Array<Vector4f>& value) {
    return Elements(value, "Vector4f", [&](const Vector4f& v) { return WriteVector4f(v); });
}
int ScriptStreamAlpha::WriteArrayVector3f(const Array<Vector3f>& value) {
    return Elements(value, "Vector3f", [&](const Vector3f& v) { return WriteVector3f(v); });
}
int ScriptStreamAlpha::WriteArrayVector2f(const Array<Vector2f>& value) {
    return Elements(value, "Vector2f", [&](const Vector2f& v) { return WriteVector2f(v); });
}
int ScriptStreamAlpha::WriteArrayF64(const Array<double>& value) {
    return Elements(value, "F64", [&](double v) { return WriteF64(v); });
}
int ScriptStreamAlpha::WriteArrayF32(const Array<float>& value) {
    return Elements(value, "F32", [&](float v) { return WriteF32(v); });
}
int ScriptStreamAlpha::WriteArrayU64(const Array<uint64_t>& value) {
    return Elements(value, "U64", [&](uint64_t v) { return WriteU64(v); });
}
int ScriptStreamAlpha::WriteArrayU32(const Array<uint32_t>& value) {
    return Elements(value, "U32", [&](uint32_t v) { return WriteU32(v); });
}
int ScriptStreamAlpha::WriteArrayI64(const Array<int64_t>& value) {
    return Elements(value, "I64", [&](int64_t v) { return WriteI64(v); });
}
int ScriptStreamAlpha::WriteArrayI32(const Array<int32_t>& value) {
    return Elements(value, "I32", [&](int32_t v) { return WriteI32(v); });
}
int ScriptStreamAlpha::WriteArrayBool(const Array<bool>& value) {
    return Elements(value, "Bool", [&](bool v) { return WriteBool(v); });
}

int ScriptStreamAlpha::WriteSpheref(const Spheref& value) {
    static_assert(sizeof(Spheref) == 4 * sizeof(float));
    float f[4];
    std::memcpy(f, &value, sizeof(f));
    char text[4 * 40 + 8];
    int used = 0;
    text[used++] = '(';
    text[used++] = '(';
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            text[used++] = ',';
        used += FormatFloat(text + used, 40, f[i]);
    }
    text[used++] = ')';
    text[used++] = ',';
    used += FormatFloat(text + used, 40, f[3]);
    text[used++] = ')';
    return Text(text, used);
}
int ScriptStreamAlpha::WriteMatrix4f(const Matrix4f& value) {
    return Floats(reinterpret_cast<const float*>(&value), 16);
}
int ScriptStreamAlpha::WriteVector4f(const Vector4f& value) {
    return Floats(reinterpret_cast<const float*>(&value), 4);
}
int ScriptStreamAlpha::WriteVector3f(const Vector3f& value) {
    return Floats(reinterpret_cast<const float*>(&value), 3);
}
int ScriptStreamAlpha::WriteVector2f(const Vector2f& value) {
    return Floats(reinterpret_cast<const float*>(&value), 2);
}

int ScriptStreamAlpha::WriteF64(double value) {
    char text[48];
    int n = FormatFloat(text, 46, value);
    text[n++] = 'F';
    return Text(text, n);
}
int ScriptStreamAlpha::WriteF32(float value) {
    char text[40];
    return Text(text, FormatFloat(text, 40, value));
}

namespace {
template <class I>
int Integer(char* text, I value, char suffix) {
    const auto [end, ec] = std::to_chars(text, text + 24, value);
    int n = ec == std::errc() ? static_cast<int>(end - text) : 0;
    if (suffix != 0)
        text[n++] = suffix;
    return n;
}
} // namespace

int ScriptStreamAlpha::WriteU64(uint64_t value) {
    char text[32];
    return Text(text, Integer(text, value, 'U'));
}
int ScriptStreamAlpha::WriteU32(uint32_t value) {
    char text[32];
    return Text(text, Integer(text, value, 'u'));
}
int ScriptStreamAlpha::WriteI64(int64_t value) {
    char text[32];
    return Text(text, Integer(text, value, 'I'));
}
int ScriptStreamAlpha::WriteI32(int32_t value) {
    char text[32];
    return Text(text, Integer(text, value, 0));
}
int ScriptStreamAlpha::WriteBool(bool value) {
    return value ? Text("True", 4) : Text("False", 5);
}

int ScriptStreamAlpha::WriteString(const char* text, int length) {
    m_Stream.pQuotedC(text != nullptr ? text : "", length > 0 ? length : 0, '"');
    return length > 0 ? length + 2 : 2;
}

int ScriptStreamAlpha::WriteClassToken(const ClassType_TypeID* c, MVTBL* const* row) {
    const char* name = ScriptClassName(c, row);
    return WriteIdentifier(name != nullptr ? name : "Nil");
}
int ScriptStreamAlpha::WriteMemberToken(const ClassType_MemberID* m, MVTBL* const* row) {
    const char* name = ScriptMemberName(m, row);
    return WriteDotIdentifier(name != nullptr ? name : "");
}
int ScriptStreamAlpha::WriteClassMemberToken(const ClassType_MemberID* m, MVTBL* const* row) {
    return WriteClassToken(MakeTypeID(static_cast<int32_t>(ClassIndexOf(m))), row) +
           WriteMemberToken(m, row);
}

int ScriptStreamAlpha::WriteIdentifier(const char* name) {
    return Text(name, static_cast<int>(std::strlen(name)));
}
int ScriptStreamAlpha::WriteDotIdentifier(const char* name) {
    return Text(".", 1) + WriteIdentifier(name);
}
int ScriptStreamAlpha::WriteColonIdentifier(const char* name) {
    return Text(":", 1) + WriteIdentifier(name);
}

int ScriptStreamAlpha::WriteObject(const ScriptObject* object) {
    char text[16];
    text[0] = '$';
    const auto [end, ec] = std::to_chars(text + 1, text + sizeof(text), NumberOf(object), 16);
    return Text(text, ec == std::errc() ? static_cast<int>(end - text) : 1);
}

int ScriptStreamAlpha::WriteToken(LexType token) {
    const char* text = TokenText(token);
    return Text(text, static_cast<int>(std::strlen(text)));
}

} // namespace Quorlix
