#pragma once
// The ascii script writer: text that the parser reads back. The header line "//KS 0.3 F010219x"
// is written at once. Numbers carry their type (5, 5u, 5I, 5U, 1.5, 1.5F); floats are written
// with the fewest digits that read back to the same bits, always with a point or an exponent;
// infinities and NaN as `inf`, `-inf` and `nan` (`infF`, `-infF`, `nanF` for F64), which the
// parser reads as floats in value position (a NaN's sign and payload are not kept).
// Quaternions go as their four floats, quaternion arrays as Vector4f arrays.
// Objects are `$` and their number in hexadecimal; member writers put the class name in front
// (`TTransform$3`), which the value parser reads as "this object, made now if it is new".

#include "quorlix/script/ScriptStream.h"
#include "quorlix/stream/Stream.h"

namespace Quorlix {

class QUORLIX_API ScriptStreamAlpha final : public ScriptStream {
public:
    explicit ScriptStreamAlpha(StreamPipe* pipe);

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
    int Text(const char* text, int length);
    template <class E, class F>
    int Elements(const Array<E>& value, const char* typeName, F&& write);
    int Floats(const float* values, int n);

    Stream m_Stream;
};

} // namespace Quorlix
