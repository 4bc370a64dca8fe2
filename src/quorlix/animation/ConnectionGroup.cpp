#include "quorlix/animation/ConnectionGroup.h"

#include "quorlix/animation/AnimationLibrary.h"
#include "quorlix/animation/internal/GrowingArray.h"
#include "quorlix/animation/internal/Saturate.h"

#include <algorithm>
#include <utility>

namespace Quorlix {

ConnectionGroup* ConnectionGroup::Create() {
    return NewObject<ConnectionGroup>();
}
const TypeInfo* ConnectionGroup::GetConnectionGroupTypeInfo() noexcept {
    return &TypeOf<ConnectionGroup>();
}
ConnectionGroup::~ConnectionGroup() = default;

ScriptObject* ConnectionGroup::GetObject(int i) const {
    ScriptObject* object = i >= 0 && i < m_Object.Size() ? m_Object[i].Get() : nullptr;
    return object != nullptr ? object : &G_NilObject;
}
void ConnectionGroup::SetObject(int i, ScriptObject* object) {
    constexpr const char* k_Where = "ConnectionGroup.Object";
    if (!Internal::GrowFor(m_Object, i, Obj<ScriptObject>(&G_NilObject), k_Where))
        return;
    // The index passed the checks once: growing the others to it cannot be refused.
    Internal::GrowFor(m_Member, i, static_cast<const ClassType_MemberID*>(nullptr), k_Where);
    Internal::GrowFor(m_MemberIndex, i, int32_t{0}, k_Where);
    Internal::GrowFor(m_MemberMask, i, uint32_t{0}, k_Where);
    m_Object[i] = object != nullptr ? object : &G_NilObject;
}
void ConnectionGroup::SetObjectCount(int n) {
    constexpr const char* k_Where = "ConnectionGroup.Object";
    if (!Internal::ResizeFilled(m_Object, n, Obj<ScriptObject>(&G_NilObject), k_Where))
        return;
    if (m_Member.Size() < n)
        Internal::ResizeFilled(m_Member, n, static_cast<const ClassType_MemberID*>(nullptr),
                               k_Where);
    if (m_MemberIndex.Size() < n)
        Internal::ResizeFilled(m_MemberIndex, n, int32_t{0}, k_Where);
    if (m_MemberMask.Size() < n)
        Internal::ResizeFilled(m_MemberMask, n, uint32_t{0}, k_Where);
}

int ConnectionGroup::GetPortCount() const noexcept {
    return std::min({m_Object.Size(), m_Member.Size(), m_MemberIndex.Size(), m_MemberMask.Size()});
}

void ConnectionGroup::ResetOutput() {
    const int ports = GetPortCount();
    if (m_Output.Size() != ports)
        m_Output.Resize(ports);
    for (int p = 0; p < ports; ++p)
        m_Output[p].Resize(0);
}

void ConnectionGroup::AddOutput(int track, const AnimationLibrary* library, double time,
                                float amplitude) {
    if (library == nullptr || !(time >= 0) || library->m_StartTime + time > library->m_EndTime)
        return;
    if (track < 0 || track >= k_TrackCount) {
        Internal::LogScriptError("ConnectionGroup: track ", track, " is outside 0..",
                                 k_TrackCount - 1, ".");
        return;
    }
    // Ports follow the arrays; the buffer follows the last ResetOutput.
    const int ports = std::min(GetPortCount(), m_Output.Size());
    const double t = library->m_StartTime + time;
    const Array<int32_t>& groupPorts = library->GetGroupPorts();
    const int curves = library->GetCurveCount();
    for (int i = 0; i < curves; ++i) {
        const int p = i < groupPorts.Size() ? groupPorts[i] : -1;
        if (p < 0 || p >= ports) {
            Internal::LogScriptError("ConnectionGroup: animation library specifies invalid port.");
            continue;
        }
        Array<Vector4f>& tracks = m_Output[p];
        while (tracks.Size() <= track)
            tracks.Add(Vector4f::Zero);
        Vector4f value;
        library->EvaluateCurve(i, t, value);
        tracks[track] = value * amplitude;
    }
}

namespace {

// Value `v` to member `m` (flags `flags`) of `object`, at `element` for index and array members.
template <class V>
void WriteMember(ScriptObject* object, const ClassType_MemberID* m, unsigned flags, int element,
                 const V& v) {
    const uint32_t id = IDValue(m);
    if ((flags & MemberIsArray) != 0) {
        const auto* whole = MakeMemberID<ClassMember>(id);
        Array<V> values;
        if (object->GetArray<V>(whole, values) &&
            Internal::GrowFor(values, element, ScriptNeutralValue<V>(),
                              "ConnectionGroup.CommitOutput")) {
            values[element] = v;
            object->SetArray<V>(whole, values);
        }
    } else if ((flags & MemberIsIndex) != 0) {
        // The index accessors grow and refuse within the object model's limits.
        object->Set(MakeMemberID<ClassMemberOf<V, true>>(id), element, v);
    } else {
        object->Set(MakeMemberID<ClassMemberOf<V, false>>(id), v);
    }
}

// "AnimationController: member #<id> <what>" at error level.
void LogUnsupported(const ClassType_MemberID* m, const char* what) {
    Stream& stream = Xerr.pLockError();
    stream << "AnimationController: member #";
    stream.pMemPtr(m);
    stream << what;
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

} // namespace

void ConnectionGroup::CommitOutput() {
    // A setter may reach back into this group: the bounds are read again for every port.
    for (int p = 0; p < std::min(GetPortCount(), m_Output.Size()); ++p) {
        const Array<Vector4f>& tracks = std::as_const(m_Output)[p];
        if (tracks.IsEmpty())
            continue;
        Vector4f sum = Vector4f::Zero;
        for (const Vector4f& value : tracks)
            sum += value;

        // The member's entry in the object's row, refusing what the row cannot answer.
        // Not held: no setter of a member reaches back into this group's objects.
        ScriptObject* object = std::as_const(m_Object)[p].Get();
        if (object == nullptr)
            object = &G_NilObject; // stored directly into the public array
        const ClassType_MemberID* m = m_Member[p];
        MVTBL* const* row = object->GetClassRow();
        const int c = ClassIndexOf(m);
        const MVTBL* table = row != nullptr && c > 0 && c < k_MasterMVTBLSize ? row[c] : nullptr;
        if (table == nullptr || TableHeader(table)->m_IsTable != 1) {
            LogUnsupported(m, " class seems unsupported.");
            continue;
        }
        const int k = MemberIndexOf(m);
        if (k <= 0 || k >= TableHeader(table)->m_Count || table[k].m_Name == nullptr ||
            table[k].m_Set == nullptr) {
            LogUnsupported(m, " function seems unsupported.");
            continue;
        }
        const unsigned flags = table[k].m_Flags;
        const int element = m_MemberIndex[p];
        switch (ClassIndexOf(table[k].m_Type)) {
        case k_ClassI32:
            WriteMember(object, m, flags, element, Internal::RoundToI32(sum[0]));
            break;
        case k_ClassF32:
            WriteMember(object, m, flags, element, sum[0]);
            break;
        case k_ClassVector2f:
            WriteMember(object, m, flags, element, Vector2f(sum[0], sum[1]));
            break;
        case k_ClassVector3f:
            WriteMember(object, m, flags, element, Vector3f(sum[0], sum[1], sum[2]));
            break;
        case k_ClassVector4f:
            WriteMember(object, m, flags, element, sum);
            break;
        default:
            break; // other types are not animated
        }
    }
}

} // namespace Quorlix
