#include "quorlix/script/ScriptStreamBinary.h"

#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <bit>
#include <cstring>
#include <vector>

namespace Quorlix {

static_assert(std::endian::native == std::endian::little,
              "the binary form is little-endian and written from memory as it is");

namespace {
constexpr int k_MaxName = 255;

// The name of class index `c` when a script declared it, else null.
const char* ScriptDeclaredName(int c) {
    const MVTBL* table = c > 0 && c < k_MasterMVTBLSize ? IsTableOf(c) : nullptr;
    if (table == nullptr || TableHeader(table)->m_Owner == nullptr)
        return nullptr;
    return ScriptClassName(MakeTypeID(c), nullptr);
}
} // namespace

ScriptStreamBinary::ScriptStreamBinary(StreamPipe* pipe) : m_Pipe(pipe) {
    static constexpr unsigned char k_Header[4] = {'K', 'S', 'B', 3};
    Bytes(k_Header, 4);
}

int ScriptStreamBinary::Bytes(const void* data, int n) {
    return m_Pipe != nullptr && n > 0 ? m_Pipe->Write(data, n) : 0;
}

int ScriptStreamBinary::Value(LexType kind, const void* data, int n) {
    unsigned char token[1 + 64];
    token[0] = static_cast<unsigned char>(kind);
    std::memcpy(token + 1, data, static_cast<size_t>(n));
    return Bytes(token, 1 + n);
}

int ScriptStreamBinary::Name(LexType kind, const char* name) {
    size_t length = name != nullptr ? std::strlen(name) : 0;
    if (length > k_MaxName) {
        Internal::LogScriptError("ScriptStreamBinary: name of ", static_cast<uint64_t>(length),
                                 " bytes cut to ", k_MaxName, " bytes.");
        length = k_MaxName;
    }
    unsigned char head[2] = {static_cast<unsigned char>(kind), static_cast<unsigned char>(length)};
    return Bytes(head, 2) + Bytes(name, static_cast<int>(length));
}

template <class E>
int ScriptStreamBinary::Plain(LexType kind, const Array<E>& value) {
    unsigned char head[5];
    head[0] = static_cast<unsigned char>(kind);
    const uint32_t count = static_cast<uint32_t>(value.Size());
    std::memcpy(head + 1, &count, 4);
    const int result = Bytes(head, 5);
    if (count == 0)
        return result;
    if constexpr (std::is_same_v<E, bool>) {
        // One byte per element whatever the C++ type's size.
        std::vector<unsigned char> bytes(count);
        for (uint32_t i = 0; i < count; ++i)
            bytes[i] = value[static_cast<int>(i)] ? 1 : 0;
        return result + Bytes(bytes.data(), static_cast<int>(count));
    } else {
        return result + Bytes(value.Data(), static_cast<int>(count * sizeof(E)));
    }
}

int ScriptStreamBinary::WriteArrayString(const Array<String>& value) {
    // Count and every length in front of its bytes, gathered into one write.
    size_t total = 5;
    for (const String& s : value)
        total += 4 + static_cast<size_t>(s.Size());
    std::vector<unsigned char> bytes(total);
    bytes[0] = LexArrayString;
    const uint32_t count = static_cast<uint32_t>(value.Size());
    std::memcpy(bytes.data() + 1, &count, 4);
    size_t at = 5;
    for (const String& s : value) {
        const uint32_t length = static_cast<uint32_t>(s.Size());
        std::memcpy(bytes.data() + at, &length, 4);
        if (length > 0)
            std::memcpy(bytes.data() + at + 4, s.GetCPtr(), length);
        at += 4 + length;
    }
    return Bytes(bytes.data(), static_cast<int>(total));
}
int ScriptStreamBinary::WriteArraySpheref(const Array<Spheref>& value) {
    return Plain(LexArraySpheref, value);
}
int ScriptStreamBinary::WriteArrayMatrix4f(const Array<Matrix4f>& value) {
    return Plain(LexArrayMatrix4f, value);
}
int ScriptStreamBinary::WriteArrayVector4f(const Array<Vector4f>& value) {
    return Plain(LexArrayVector4f, value);
}
int ScriptStreamBinary::WriteArrayVector3f(const Array<Vector3f>& value) {
    return Plain(LexArrayVector3f, value);
}
int ScriptStreamBinary::WriteArrayVector2f(const Array<Vector2f>& value) {
    return Plain(LexArrayVector2f, value);
}
int ScriptStreamBinary::WriteArrayF64(const Array<double>& value) {
    return Plain(LexArrayF64, value);
}
int ScriptStreamBinary::WriteArrayF32(const Array<float>& value) {
    return Plain(LexArrayF32, value);
}
int ScriptStreamBinary::WriteArrayU64(const Array<uint64_t>& value) {
    return Plain(LexArrayU64, value);
}
int ScriptStreamBinary::WriteArrayU32(const Array<uint32_t>& value) {
    return Plain(LexArrayU32, value);
}
int ScriptStreamBinary::WriteArrayI64(const Array<int64_t>& value) {
    return Plain(LexArrayI64, value);
}
int ScriptStreamBinary::WriteArrayI32(const Array<int32_t>& value) {
    return Plain(LexArrayI32, value);
}
int ScriptStreamBinary::WriteArrayBool(const Array<bool>& value) {
    return Plain(LexArrayBool, value);
}

int ScriptStreamBinary::WriteSpheref(const Spheref& value) {
    return Value(LexSpheref, &value, 16);
}
int ScriptStreamBinary::WriteMatrix4f(const Matrix4f& value) {
    return Value(LexMatrix4f, &value, 64);
}
int ScriptStreamBinary::WriteVector4f(const Vector4f& value) {
    return Value(LexVector4f, &value, 16);
}
int ScriptStreamBinary::WriteVector3f(const Vector3f& value) {
    return Value(LexVector3f, &value, 12);
}
int ScriptStreamBinary::WriteVector2f(const Vector2f& value) {
    return Value(LexVector2f, &value, 8);
}
int ScriptStreamBinary::WriteF64(double value) {
    return Value(LexF64, &value, 8);
}
int ScriptStreamBinary::WriteF32(float value) {
    return Value(LexF32, &value, 4);
}
int ScriptStreamBinary::WriteU64(uint64_t value) {
    return Value(LexU64, &value, 8);
}
int ScriptStreamBinary::WriteU32(uint32_t value) {
    return Value(LexU32, &value, 4);
}
int ScriptStreamBinary::WriteI64(int64_t value) {
    return Value(LexI64, &value, 8);
}
int ScriptStreamBinary::WriteI32(int32_t value) {
    return Value(LexI32, &value, 4);
}
int ScriptStreamBinary::WriteBool(bool value) {
    const unsigned char byte = value ? 1 : 0;
    return Value(LexBool, &byte, 1);
}

int ScriptStreamBinary::WriteString(const char* text, int length) {
    if (length < 0 || text == nullptr)
        length = 0;
    const uint32_t n = static_cast<uint32_t>(length);
    return Value(LexString, &n, 4) + Bytes(text, length);
}

int ScriptStreamBinary::WriteClassToken(const ClassType_TypeID* c, MVTBL* const*) {
    if (const char* name = ScriptDeclaredName(ClassIndexOf(c)))
        return Name(LexIdentifier, name);
    const uint16_t index = static_cast<uint16_t>(ClassIndexOf(c));
    return Value(LexClassToken, &index, 2);
}
int ScriptStreamBinary::WriteMemberToken(const ClassType_MemberID* m, MVTBL* const*) {
    if (ScriptDeclaredName(ClassIndexOf(m)) != nullptr) {
        const char* name = ScriptMemberName(m, nullptr);
        return Name(LexDotIdentifier, name != nullptr ? name : "");
    }
    const unsigned char bytes[3] = {static_cast<unsigned char>(MemberIndexOf(m)),
                                    static_cast<unsigned char>(ClassIndexOf(m) & 0xFF),
                                    static_cast<unsigned char>(ClassIndexOf(m) >> 8)};
    return Value(LexMemberToken, bytes, 3);
}
int ScriptStreamBinary::WriteClassMemberToken(const ClassType_MemberID* m, MVTBL* const*) {
    if (const char* cls = ScriptDeclaredName(ClassIndexOf(m))) {
        const char* name = ScriptMemberName(m, nullptr);
        return Name(LexIdentifier, cls) + Name(LexDotIdentifier, name != nullptr ? name : "");
    }
    const unsigned char bytes[3] = {static_cast<unsigned char>(MemberIndexOf(m)),
                                    static_cast<unsigned char>(ClassIndexOf(m) & 0xFF),
                                    static_cast<unsigned char>(ClassIndexOf(m) >> 8)};
    return Value(LexClassMemberToken, bytes, 3);
}

int ScriptStreamBinary::WriteIdentifier(const char* name) {
    return Name(LexIdentifier, name);
}
int ScriptStreamBinary::WriteDotIdentifier(const char* name) {
    return Name(LexDotIdentifier, name);
}
int ScriptStreamBinary::WriteColonIdentifier(const char* name) {
    return Name(LexColonIdentifier, name);
}

int ScriptStreamBinary::WriteObject(const ScriptObject* object) {
    const uint32_t number = NumberOf(object);
    return Value(LexId, &number, 4);
}

int ScriptStreamBinary::WriteToken(LexType token) {
    if (token == LexBlank || token == LexCRLF)
        return 0;
    const unsigned char kind = static_cast<unsigned char>(token);
    return Bytes(&kind, 1);
}

} // namespace Quorlix
