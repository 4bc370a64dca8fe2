#pragma once
// The binary script writer: the header 'K' 'S' 'B' 3 at once, then per token its kind byte
// (the LexType value) and a fixed little-endian payload, each in single pipe writes; an array
// is its count and then all of its elements in one write. Blank and line-end tokens are not
// written. Names are one length byte and the bytes: a longer name is logged and cut to 255.
// Classes are their 12-bit index (2 bytes), members their index byte and class index (2 bytes).
// Script-declared classes and their members are written by name instead (an identifier, a dot
// identifier): the index a script class gets depends on what else the process declared, so a
// reader declares the class again and finds it by name.

#include "quorlix/script/ScriptStream.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

class QUORLIX_API ScriptStreamBinary final : public ScriptStream {
public:
    explicit ScriptStreamBinary(StreamPipe* pipe);

    int WriteArrayString(const Array<String>& value) override;
    int WriteArraySpheref(const Array<Spheref>& value) override;
    int WriteArrayMatrix4f(const Array<Matrix4f>& value) override;
    int WriteArrayVector4f(const Array<Vector4f>& value) override;
    int WriteArrayVector3f(const Array<Vector3f>& value) override;
    int WriteArrayVector2f(const Array<Vector2f>& value) override;
    int WriteArrayF64(const Array<double>& value) override;
    int WriteArrayF32(const Array<float>& value) override;
    int WriteArrayU64(const Array<uint64_t>& value) override;
    int WriteArrayU32(const Array<uint32_t>& value) override;
    int WriteArrayI64(const Array<int64_t>& value) override;
    int WriteArrayI32(const Array<int32_t>& value) override;
    int WriteArrayBool(const Array<bool>& value) override;
    int WriteSpheref(const Spheref& value) override;
    int WriteMatrix4f(const Matrix4f& value) override;
    int WriteVector4f(const Vector4f& value) override;
    int WriteVector3f(const Vector3f& value) override;
    int WriteVector2f(const Vector2f& value) override;
    int WriteF64(double value) override;
    int WriteF32(float value) override;
    int WriteU64(uint64_t value) override;
    int WriteU32(uint32_t value) override;
    int WriteI64(int64_t value) override;
    int WriteI32(int32_t value) override;
    int WriteBool(bool value) override;
    int WriteString(const char* text, int length) override;
    int WriteClassToken(const ClassType_TypeID* c, MVTBL* const* row) override;
    int WriteMemberToken(const ClassType_MemberID* m, MVTBL* const* row) override;
    int WriteClassMemberToken(const ClassType_MemberID* m, MVTBL* const* row) override;
    int WriteIdentifier(const char* name) override;
    int WriteDotIdentifier(const char* name) override;
    int WriteObject(const ScriptObject* object) override;
    int WriteColonIdentifier(const char* name) override;
    int WriteToken(LexType token) override;

private:
    int Bytes(const void* data, int n);
    int Value(LexType kind, const void* data, int n);
    int Name(LexType kind, const char* name);
    template <class E>
    int Plain(LexType kind, const Array<E>& value);

    Obj<StreamPipe> m_Pipe;
};

} // namespace Quorlix
