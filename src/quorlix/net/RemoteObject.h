#pragma once
// Mirrors member changes of named objects between two processes as script text. The sender
// selects an object by name and sends member values; they go to the send stream as
// `:name . { .Member value; ... };` blocks. The receiver executes what arrives on its receive
// pipe in its engine, so the objects of the same names there take the same values.
//
// Receiving is restricted: the peer is not trusted. Only member assignments of objects already
// named in the engine's current namespace are carried out (member values may be anonymous
// objects); every other statement is refused one at a time with "RemoteObject::Receive: refused
// statement: <kind>." and the next one runs (see ParseRestricted). One Receive reads at most
// k_MaxReceive bytes; what lies beyond is not executed, and the script is cut after the last
// complete line within the limit.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptTypes.h"

#include <cstdint>

namespace Quorlix {

class ScriptEngine;
class ScriptObject;
class ScriptStream;
class StreamPipe;

class QUORLIX_API RemoteObject {
public:
    /// Bytes one Receive reads at most.
    static constexpr int k_MaxReceive = 16 << 20;

    static RemoteObject* Create();
    RemoteObject() = default;
    ~RemoteObject();
    RemoteObject(const RemoteObject&) = delete;
    RemoteObject& operator=(const RemoteObject&) = delete;

    // The setters take a count on the new object before they drop the old one.
    void SetSendStream(ScriptStream* stream);
    ScriptStream* GetSendStream() const noexcept { return m_SendStream.Get(); }
    void SetReceivePipe(StreamPipe* pipe);
    StreamPipe* GetReceivePipe() const noexcept { return m_ReceivePipe.Get(); }
    void SetEngine(ScriptEngine* engine);
    ScriptEngine* GetEngine() const noexcept { return m_Engine.Get(); }

    /// Closes an open block and opens one for the object named `objectName`; the sends that
    /// follow assign its members.
    void Select(const StringRef& objectName);
    /// Closes an open block; nothing when none is open.
    void Flush();

    // One member assignment each: the member's name, a blank, the value, `;` and a line end.
    // Nothing without a send stream; a null member is skipped.
    /// The object's class, a blank and a whole body `.{ ... }` of its members that differ from
    /// a fresh object (the receiver makes an equal object); the nil object or null as the class
    /// Nil.
    void Send(const ClassMember_Object* member, ScriptObject* value);
    /// `@` and the qualified member name; null as `@Nil` is not written: the send is skipped.
    void Send(const ClassMember_MemberID* member, const ClassType_MemberID* value);
    /// The qualified enumerator name (null skips the send).
    void Send(const ClassMember_Enum* member, const ClassType_Enum* value);
    void Send(const ClassMember_Bool* member, bool value);
    void Send(const ClassMember_String* member, const StringRef& value);
    void Send(const ClassMember_I32* member, int32_t value);
    void Send(const ClassMember_I64* member, int64_t value);
    void Send(const ClassMember_U32* member, uint32_t value);
    void Send(const ClassMember_U64* member, uint64_t value);
    void Send(const ClassMember_F32* member, float value);
    void Send(const ClassMember_F64* member, double value);
    void Send(const ClassMember_Vector2f* member, const Vector2f& value);
    void Send(const ClassMember_Vector3f* member, const Vector3f& value);
    void Send(const ClassMember_Vector4f* member, const Vector4f& value);
    void Send(const ClassMember_Matrix4f* member, const Matrix4f& value);
    /// Its four floats as a Vector4f (the script has no quaternion literal).
    void Send(const ClassMember_Quaternionf* member, const Quaternionf& value);
    void Send(const ClassMember_Spheref* member, const Spheref& value);

    /// Executes what the receive pipe delivers (up to its end, at most k_MaxReceive bytes) in
    /// the engine, restricted as above. The error count of the engine counts the refusals.
    void Receive();

private:
    /// Writes the member name and a blank; false (nothing written) without a stream or member.
    bool Begin(const void* member);
    void End();

    Obj<ScriptStream> m_SendStream;
    Obj<StreamPipe> m_ReceivePipe;
    Obj<ScriptEngine> m_Engine;
    bool m_BlockOpen = false;
};

} // namespace Quorlix
