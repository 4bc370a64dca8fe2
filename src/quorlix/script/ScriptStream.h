#pragma once
// The script writers' common interface. Object export and member writing go through it and never
// know the encoding: ScriptStreamAlpha writes ascii script text, ScriptStreamBinary the binary
// form (a kind byte per token, then a fixed little-endian payload).
//
// Every operation returns the pipe's write result (0 when nothing was written); the writers do
// not check it. Objects are numbered per writer in the order of their first reference, from 1.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/script/Lexer.h"

#include <cstdint>
#include <unordered_map>

namespace Quorlix {

static_assert(sizeof(Vector2f) == 8 && sizeof(Vector3f) == 12 && sizeof(Vector4f) == 16);
static_assert(sizeof(Matrix4f) == 64 && sizeof(Spheref) == 16 && sizeof(Quaternionf) == 16);

/// The numbers a writer gives the objects it references: 1 for the first, then in order of
/// first reference. Keyed on the full address; every numbered object is held counted, so an
/// address cannot be reused by another object while the writer lives.
class QUORLIX_API ScriptObjectNumbers {
public:
    /// The object's number; a new number when it was not numbered yet (`added` says so).
    uint32_t NumberOf(const ScriptObject* object, bool* added = nullptr);
    /// How many objects are numbered.
    uint32_t Count() const noexcept { return static_cast<uint32_t>(m_Objects.Size()); }

private:
    std::unordered_map<uintptr_t, uint32_t> m_Numbers;
    Array<Obj<ScriptObject>> m_Objects;
};

class QUORLIX_API ScriptStream {
public:
    ScriptStream() = default;
    virtual ~ScriptStream();
    ScriptStream(const ScriptStream&) = delete;
    ScriptStream& operator=(const ScriptStream&) = delete;

    // In slot order. Arrays are written whole; an empty array still says its element type.
    virtual int WriteArrayString(const Array<String>& value) = 0;
    virtual int WriteReserved1();
    virtual int WriteArraySpheref(const Array<Spheref>& value) = 0;
    virtual int WriteArrayMatrix4f(const Array<Matrix4f>& value) = 0;
    virtual int WriteArrayVector4f(const Array<Vector4f>& value) = 0;
    virtual int WriteArrayVector3f(const Array<Vector3f>& value) = 0;
    virtual int WriteArrayVector2f(const Array<Vector2f>& value) = 0;
    virtual int WriteArrayF64(const Array<double>& value) = 0;
    virtual int WriteArrayF32(const Array<float>& value) = 0;
    virtual int WriteArrayU64(const Array<uint64_t>& value) = 0;
    virtual int WriteArrayU32(const Array<uint32_t>& value) = 0;
    virtual int WriteArrayI64(const Array<int64_t>& value) = 0;
    virtual int WriteArrayI32(const Array<int32_t>& value) = 0;
    virtual int WriteArrayBool(const Array<bool>& value) = 0;
    virtual int WriteReserved14();
    virtual int WriteSpheref(const Spheref& value) = 0;
    virtual int WriteMatrix4f(const Matrix4f& value) = 0;
    virtual int WriteVector4f(const Vector4f& value) = 0;
    virtual int WriteVector3f(const Vector3f& value) = 0;
    virtual int WriteVector2f(const Vector2f& value) = 0;
    virtual int WriteF64(double value) = 0;
    virtual int WriteF32(float value) = 0;
    virtual int WriteU64(uint64_t value) = 0;
    virtual int WriteU32(uint32_t value) = 0;
    virtual int WriteI64(int64_t value) = 0;
    virtual int WriteI32(int32_t value) = 0;
    virtual int WriteBool(bool value) = 0;
    /// `length` bytes of `text` (a negative length counts as 0).
    virtual int WriteString(const char* text, int length) = 0;
    /// Class `c`; `row` (a dispatch row, or null for the master tables) gives its name.
    virtual int WriteClassToken(const ClassType_TypeID* c, MVTBL* const* row) = 0;
    /// Member `m`, named through `row` like WriteClassToken.
    virtual int WriteMemberToken(const ClassType_MemberID* m, MVTBL* const* row) = 0;
    /// Member `m` qualified by its class (an enumerator, a member identifier value).
    virtual int WriteClassMemberToken(const ClassType_MemberID* m, MVTBL* const* row) = 0;
    virtual int WriteIdentifier(const char* name) = 0;
    virtual int WriteDotIdentifier(const char* name) = 0;
    /// The object's number (see ScriptObjectNumbers).
    virtual int WriteObject(const ScriptObject* object) = 0;
    virtual int WriteColonIdentifier(const char* name) = 0;
    /// A token without a value: brackets, operators, `;`, `.`, blanks and line ends.
    virtual int WriteToken(LexType token) = 0;

    /// The number this writer gives `object`.
    uint32_t NumberOf(const ScriptObject* object) { return m_Numbers.NumberOf(object); }

private:
    ScriptObjectNumbers m_Numbers;
};

/// The name of class `c` through `row` (the master tables for a null row); null when none.
QUORLIX_API const char* ScriptClassName(const ClassType_TypeID* c, MVTBL* const* row) noexcept;
/// The name of member `m` through `row` like ScriptClassName; null when none.
QUORLIX_API const char* ScriptMemberName(const ClassType_MemberID* m, MVTBL* const* row) noexcept;

} // namespace Quorlix
