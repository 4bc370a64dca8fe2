#include "quorlix/net/RemoteObject.h"

#include "quorlix/core/Memory.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/script/Parser.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/ScriptStream.h"
#include "quorlix/stream/StreamPipe.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstring>
#include <vector>

namespace Quorlix {

RemoteObject* RemoteObject::Create() {
    return NewObject<RemoteObject>();
}

RemoteObject::~RemoteObject() = default;

void RemoteObject::SetSendStream(ScriptStream* stream) {
    m_SendStream = stream;
}
void RemoteObject::SetReceivePipe(StreamPipe* pipe) {
    m_ReceivePipe = pipe;
}
void RemoteObject::SetEngine(ScriptEngine* engine) {
    m_Engine = engine;
}

void RemoteObject::Select(const StringRef& objectName) {
    if (m_SendStream == nullptr)
        return;
    Flush();
    // A colon name: the receiver looks it up in its namespace and never takes it for a class.
    m_SendStream->WriteColonIdentifier(objectName.GetCPtr());
    m_SendStream->WriteToken(LexBlank);
    m_SendStream->WriteToken(LexDot);
    m_SendStream->WriteToken(LexBraceL);
    m_SendStream->WriteToken(LexCRLF);
    m_BlockOpen = true;
}

void RemoteObject::Flush() {
    if (m_SendStream == nullptr || !m_BlockOpen)
        return;
    m_SendStream->WriteToken(LexBraceR);
    m_SendStream->WriteToken(LexSemicolon);
    m_SendStream->WriteToken(LexCRLF);
    m_BlockOpen = false;
}

bool RemoteObject::Begin(const void* member) {
    if (m_SendStream == nullptr || member == nullptr)
        return false;
    const auto* m = static_cast<const ClassType_MemberID*>(member);
    m_SendStream->WriteMemberToken(m, ClassRowOf(static_cast<int>(ClassIndexOf(m))));
    m_SendStream->WriteToken(LexBlank);
    return true;
}

void RemoteObject::End() {
    m_SendStream->WriteToken(LexSemicolon);
    m_SendStream->WriteToken(LexCRLF);
}

void RemoteObject::Send(const ClassMember_Object* member, ScriptObject* value) {
    if (!Begin(member))
        return;
    if (value == nullptr || value->IsNil()) {
        m_SendStream->WriteClassToken(BuiltinTypeID(k_ClassNil), nullptr);
    } else {
        m_SendStream->WriteClassToken(value->GetObjectClassID(), value->GetClassRow());
        m_SendStream->WriteToken(LexBlank);
        // Always the whole body: a bare class name reads back as an identifier, not an object.
        value->WriteNonDefaultBody(*m_SendStream);
    }
    End();
}

void RemoteObject::Send(const ClassMember_MemberID* member, const ClassType_MemberID* value) {
    if (value == nullptr || !Begin(member))
        return;
    m_SendStream->WriteToken(LexAt);
    // Qualified by its class: a bare member name has no meaning outside an object body.
    m_SendStream->WriteClassMemberToken(value, nullptr);
    End();
}

void RemoteObject::Send(const ClassMember_Enum* member, const ClassType_Enum* value) {
    if (value == nullptr || !Begin(member))
        return;
    // Qualified by its enumeration, the only form a value position reads.
    m_SendStream->WriteClassMemberToken(value, nullptr);
    End();
}

#define QUORLIX_REMOTE_SEND(Member, Type, Call)                                                    \
    void RemoteObject::Send(const Member* member, Type value) {                                    \
        if (!Begin(member))                                                                        \
            return;                                                                                \
        m_SendStream->Call(value);                                                                 \
        End();                                                                                     \
    }
QUORLIX_REMOTE_SEND(ClassMember_Bool, bool, WriteBool)
QUORLIX_REMOTE_SEND(ClassMember_I32, int32_t, WriteI32)
QUORLIX_REMOTE_SEND(ClassMember_I64, int64_t, WriteI64)
QUORLIX_REMOTE_SEND(ClassMember_U32, uint32_t, WriteU32)
QUORLIX_REMOTE_SEND(ClassMember_U64, uint64_t, WriteU64)
QUORLIX_REMOTE_SEND(ClassMember_F32, float, WriteF32)
QUORLIX_REMOTE_SEND(ClassMember_F64, double, WriteF64)
QUORLIX_REMOTE_SEND(ClassMember_Vector2f, const Vector2f&, WriteVector2f)
QUORLIX_REMOTE_SEND(ClassMember_Vector3f, const Vector3f&, WriteVector3f)
QUORLIX_REMOTE_SEND(ClassMember_Vector4f, const Vector4f&, WriteVector4f)
QUORLIX_REMOTE_SEND(ClassMember_Matrix4f, const Matrix4f&, WriteMatrix4f)
QUORLIX_REMOTE_SEND(ClassMember_Spheref, const Spheref&, WriteSpheref)
#undef QUORLIX_REMOTE_SEND

void RemoteObject::Send(const ClassMember_String* member, const StringRef& value) {
    if (!Begin(member))
        return;
    m_SendStream->WriteString(value.GetCPtr(), value.Size());
    End();
}

void RemoteObject::Send(const ClassMember_Quaternionf* member, const Quaternionf& value) {
    if (!Begin(member))
        return;
    static_assert(sizeof(Quaternionf) == sizeof(Vector4f));
    Vector4f floats;
    std::memcpy(static_cast<void*>(&floats), &value, sizeof(floats));
    m_SendStream->WriteVector4f(floats);
    End();
}

void RemoteObject::Receive() {
    if (m_Engine == nullptr || m_ReceivePipe == nullptr)
        return;
    // Read whole (bounded) before anything runs, so a script over the limit is cut where a
    // line ends and no statement is carried out half.
    std::vector<unsigned char> bytes;
    bytes.reserve(64 << 10);
    unsigned char buffer[16 << 10];
    for (int n; bytes.size() <= static_cast<size_t>(k_MaxReceive) &&
                (n = m_ReceivePipe->Read(buffer, static_cast<int>(sizeof(buffer)))) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() > static_cast<size_t>(k_MaxReceive)) {
        size_t end = static_cast<size_t>(k_MaxReceive);
        while (end > 0 && bytes[end - 1] != '\n')
            --end;
        bytes.resize(end);
        Xerr.pLockError() << "RemoteObject::Receive: script larger than " << k_MaxReceive
                          << " bytes cut off after " << static_cast<int>(end) << " bytes.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    const Obj<StreamPipe> script(
        StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size())));
    (void)m_Engine->Execute(script.Get(), String("UnknownRemote"), ParseRestricted);
}

} // namespace Quorlix
