#pragma once
// Writes the compiled script form (VPUAsm.h): the header 'K' 'S' 'C' 1 at once, then one
// instruction per call. Objects are numbered in the order of their first create or reference,
// from 1; the number 0 with the class Nil stands for the nil object. Each instruction is one
// pipe write.

#include "quorlix/script/ScriptStream.h"
#include "quorlix/script/VPUAsm.h"

#include <vector>

namespace Quorlix {

class QUORLIX_API VPUAsmWriter {
public:
    explicit VPUAsmWriter(StreamPipe* pipe);
    VPUAsmWriter(const VPUAsmWriter&) = delete;
    VPUAsmWriter& operator=(const VPUAsmWriter&) = delete;

    /// brk_v: the end of the program.
    int End();
    /// create_tO_cOTu: the object (by class and number) becomes current, made when missing.
    int Create(const ScriptObject* object);
    /// select_tO_cOu: the object becomes current.
    int Select(const ScriptObject* object);
    /// Closes an export whose first object is `root`: selects it, so that it is the program's
    /// result, and ends the program.
    int Finish(const ScriptObject* root);

    // mfnset: member `m` of the current object, one operation per value type and form.
    int Set(const ClassType_MemberID* m, const ScriptObject* value);
    int Set(const ClassType_MemberID* m, const ClassType_Enum* value);
    int SetMemberID(const ClassType_MemberID* m, const ClassType_MemberID* value);
    int Set(const ClassType_MemberID* m, bool value);
    int Set(const ClassType_MemberID* m, const String& value);
    int Set(const ClassType_MemberID* m, int32_t value);
    int Set(const ClassType_MemberID* m, int64_t value);
    int Set(const ClassType_MemberID* m, uint32_t value);
    int Set(const ClassType_MemberID* m, uint64_t value);
    int Set(const ClassType_MemberID* m, float value);
    int Set(const ClassType_MemberID* m, double value);
    int Set(const ClassType_MemberID* m, const Vector2f& value);
    int Set(const ClassType_MemberID* m, const Vector3f& value);
    int Set(const ClassType_MemberID* m, const Vector4f& value);
    int Set(const ClassType_MemberID* m, const Matrix4f& value);
    int Set(const ClassType_MemberID* m, const Spheref& value);
    int Set(const ClassType_MemberID* m, const Quaternionf& value);
    int Set(const ClassType_MemberID* m, const Array<Obj<ScriptObject>>& value);
    int Set(const ClassType_MemberID* m, const Array<const ClassType_Enum*>& value);
    int Set(const ClassType_MemberID* m, const Array<const ClassType_MemberID*>& value);
    int Set(const ClassType_MemberID* m, const Array<bool>& value);
    int Set(const ClassType_MemberID* m, const Array<String>& value);
    int Set(const ClassType_MemberID* m, const Array<int32_t>& value);
    int Set(const ClassType_MemberID* m, const Array<int64_t>& value);
    int Set(const ClassType_MemberID* m, const Array<uint32_t>& value);
    int Set(const ClassType_MemberID* m, const Array<uint64_t>& value);
    int Set(const ClassType_MemberID* m, const Array<float>& value);
    int Set(const ClassType_MemberID* m, const Array<double>& value);
    int Set(const ClassType_MemberID* m, const Array<Vector2f>& value);
    int Set(const ClassType_MemberID* m, const Array<Vector3f>& value);
    int Set(const ClassType_MemberID* m, const Array<Vector4f>& value);
    int Set(const ClassType_MemberID* m, const Array<Matrix4f>& value);
    int Set(const ClassType_MemberID* m, const Array<Spheref>& value);
    int Set(const ClassType_MemberID* m, const Array<Quaternionf>& value);

    /// The object's number (0 for the nil object).
    uint32_t NumberOf(const ScriptObject* object);

private:
    int Words(const std::vector<uint32_t>& words);
    template <class V>
    int Plain(AsmOp op, const ClassType_MemberID* m, const V& value);
    template <class E>
    int PlainArray(AsmOp op, const ClassType_MemberID* m, const Array<E>& value);

    Obj<StreamPipe> m_Pipe;
    ScriptObjectNumbers m_Numbers;
};

} // namespace Quorlix
