#include "quorlix/script/VPUAsmWriter.h"

#include "quorlix/script/ScriptObject.h"

#include <cstring>
#include <vector>

namespace Quorlix {

namespace {

uint32_t Op(AsmOp op) {
    return static_cast<uint32_t>(op);
}

// Bytes appended as whole words, the last one padded with zeros.
void AppendBytes(std::vector<uint32_t>& words, const void* data, size_t n) {
    const size_t at = words.size();
    words.resize(at + (n + 3) / 4, 0);
    if (n > 0)
        std::memcpy(words.data() + at, data, n);
}

uint32_t ClassWord(const ScriptObject* object) {
    return IDValue(object->GetObjectClassID());
}

} // namespace

VPUAsmWriter::VPUAsmWriter(StreamPipe* pipe) : m_Pipe(pipe) {
    static constexpr unsigned char k_Header[4] = {'K', 'S', 'C', 1};
    if (m_Pipe != nullptr)
        m_Pipe->Write(k_Header, 4);
}

int VPUAsmWriter::Words(const std::vector<uint32_t>& words) {
    return m_Pipe != nullptr ? m_Pipe->Write(words.data(), static_cast<int>(words.size() * 4)) : 0;
}

uint32_t VPUAsmWriter::NumberOf(const ScriptObject* object) {
    return object == nullptr || object->IsNil() ? 0 : m_Numbers.NumberOf(object);
}

int VPUAsmWriter::End() {
    return Words({Op(AsmOp::brk_v)});
}

int VPUAsmWriter::Create(const ScriptObject* object) {
    return Words({Op(AsmOp::create_tO_cOTu), ClassWord(object), NumberOf(object)});
}

int VPUAsmWriter::Select(const ScriptObject* object) {
    return Words({Op(AsmOp::select_tO_cOu), NumberOf(object)});
}

int VPUAsmWriter::Finish(const ScriptObject* root) {
    return Select(root) + End();
}

template <class V>
int VPUAsmWriter::Plain(AsmOp op, const ClassType_MemberID* m, const V& value) {
    std::vector<uint32_t> words{Op(op), IDValue(m)};
    AppendBytes(words, &value, sizeof(V));
    return Words(words);
}

template <class E>
int VPUAsmWriter::PlainArray(AsmOp op, const ClassType_MemberID* m, const Array<E>& value) {
    std::vector<uint32_t> words{Op(op), IDValue(m), static_cast<uint32_t>(value.Size())};
    if constexpr (std::is_same_v<E, bool>) {
        std::vector<unsigned char> bytes(static_cast<size_t>(value.Size()));
        for (int i = 0; i < value.Size(); ++i)
            bytes[static_cast<size_t>(i)] = value[i] ? 1 : 0;
        AppendBytes(words, bytes.data(), bytes.size());
    } else if constexpr (std::is_pointer_v<E>) {
        for (const E& e : value)
            words.push_back(IDValue(e));
    } else {
        AppendBytes(words, value.Data(), sizeof(E) * static_cast<size_t>(value.Size()));
    }
    return Words(words);
}

int VPUAsmWriter::Set(const ClassType_MemberID* m, const ScriptObject* value) {
    const ScriptObject* object = value != nullptr ? value : &G_NilObject;
    return Words({Op(AsmOp::mfnset_tO_cT_cOTu), IDValue(m), ClassWord(object), NumberOf(object)});
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const ClassType_Enum* value) {
    return Words({Op(AsmOp::mfnset_tO_cT_cE), IDValue(m), IDValue(value)});
}
int VPUAsmWriter::SetMemberID(const ClassType_MemberID* m, const ClassType_MemberID* value) {
    return Words({Op(AsmOp::mfnset_tO_cT_cM), IDValue(m), IDValue(value)});
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, bool value) {
    return Words({Op(AsmOp::mfnset_tO_cT_cb), IDValue(m), value ? 1u : 0u});
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const String& value) {
    std::vector<uint32_t> words{Op(AsmOp::mfnset_tO_cT_cs), IDValue(m),
                                static_cast<uint32_t>(value.Size())};
    AppendBytes(words, value.GetCPtr(), static_cast<size_t>(value.Size()));
    return Words(words);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, int32_t value) {
    return Plain(AsmOp::mfnset_tO_cT_ci, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, int64_t value) {
    return Plain(AsmOp::mfnset_tO_cT_cI, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, uint32_t value) {
    return Plain(AsmOp::mfnset_tO_cT_cu, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, uint64_t value) {
    return Plain(AsmOp::mfnset_tO_cT_cU, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, float value) {
    return Plain(AsmOp::mfnset_tO_cT_cf, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, double value) {
    return Plain(AsmOp::mfnset_tO_cT_cF, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Vector2f& value) {
    return Plain(AsmOp::mfnset_tO_cT_cv2f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Vector3f& value) {
    return Plain(AsmOp::mfnset_tO_cT_cv3f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Vector4f& value) {
    return Plain(AsmOp::mfnset_tO_cT_cv4f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Matrix4f& value) {
    return Plain(AsmOp::mfnset_tO_cT_cm4f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Spheref& value) {
    return Plain(AsmOp::mfnset_tO_cT_cspf, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Quaternionf& value) {
    return Plain(AsmOp::mfnset_tO_cT_cqf, m, value);
}

int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<Obj<ScriptObject>>& value) {
    std::vector<uint32_t> words{Op(AsmOp::mfnset_tO_cT_cAOTu), IDValue(m),
                                static_cast<uint32_t>(value.Size())};
    for (const Obj<ScriptObject>& element : value) {
        const ScriptObject* object = element.Get() != nullptr ? element.Get() : &G_NilObject;
        words.push_back(ClassWord(object));
        words.push_back(NumberOf(object));
    }
    return Words(words);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<const ClassType_Enum*>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAE, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<const ClassType_MemberID*>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAM, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<bool>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAb, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<String>& value) {
    std::vector<uint32_t> words{Op(AsmOp::mfnset_tO_cT_cAs), IDValue(m),
                                static_cast<uint32_t>(value.Size())};
    for (const String& s : value) {
        words.push_back(static_cast<uint32_t>(s.Size()));
        AppendBytes(words, s.GetCPtr(), static_cast<size_t>(s.Size()));
    }
    return Words(words);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<int32_t>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAi, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<int64_t>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAI, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<uint32_t>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAu, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<uint64_t>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAU, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<float>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAf, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<double>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAF, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<Vector2f>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAv2f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<Vector3f>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAv3f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<Vector4f>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAv4f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<Matrix4f>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAm4f, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<Spheref>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAspf, m, value);
}
int VPUAsmWriter::Set(const ClassType_MemberID* m, const Array<Quaternionf>& value) {
    return PlainArray(AsmOp::mfnset_tO_cT_cAqf, m, value);
}

} // namespace Quorlix
