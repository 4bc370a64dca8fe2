// The object walks that write an object's members to a script stream or a compiled-form writer.

#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/ScriptStream.h"
#include "quorlix/script/VPUAsmWriter.h"

namespace Quorlix {

namespace {

// Whether an enumerator or member identifier has a written form: a name in a registered class.
bool Named(const ClassType_MemberID* e) {
    return e != nullptr && ScriptClassName(MakeTypeID(ClassIndexOf(e)), nullptr) != nullptr &&
           ScriptMemberName(e, nullptr) != nullptr;
}

// Whether an identifier-valued member holds only identifiers with a written form. A member
// that holds none, or one of an enumeration that is not registered, is skipped: a fresh object
// holds none, and an unregistered enumeration has no names to write.
bool HasWrittenForm(const ScriptObject* self, const ClassType_MemberID* m, const MVTBL& entry) {
    const int type = ClassIndexOf(entry.m_Type);
    const bool identifier = type == k_ClassMemberID || TypeIDToKind(entry.m_Type) == Kind_Enum;
    if (!identifier)
        return true;
    const MVTBL& access = self->Entry(m);
    if ((entry.m_Flags & MemberIsArray) != 0) {
        Array<const ClassType_MemberID*> elements;
        access.Get(self, m, 0, &elements);
        for (const ClassType_MemberID* e : elements) {
            if (!Named(e))
                return false;
        }
        return true;
    }
    if ((entry.m_Flags & MemberIsIndex) != 0) {
        const int n = access.Size(self, m);
        for (int i = 0; i < n; ++i) {
            const ClassType_MemberID* e = nullptr;
            access.Get(self, m, i, &e);
            if (!Named(e))
                return false;
        }
        return true;
    }
    const ClassType_MemberID* e = nullptr;
    access.Get(self, m, 0, &e);
    return Named(e);
}

// Calls visit(m, entry) for every written member: the object's class first, then its bases,
// each in table order. With `fresh`, only members that differ from it.
template <class F>
void ForEachWritten(const ScriptObject* self, const ScriptObject* fresh, F&& visit) {
    const MVTBL* table = self->GetClassTable();
    for (int depth = 0; table != nullptr && depth < k_MasterMVTBLSize; ++depth) {
        const MVTBLHeader* header = TableHeader(table);
        const int c = ClassIndexOf(header->m_ClassID);
        for (int k = 1; k < header->m_Count; ++k) {
            const MVTBL& entry = table[k];
            if (entry.m_Name == nullptr ||
                (entry.m_Flags & (MemberNotWritten | MemberIsSomeEnum)) != 0)
                continue;
            const ClassType_MemberID* m = MemberIDOf(k, c);
            if (fresh != nullptr && self->Compare(m, fresh))
                continue;
            if (!HasWrittenForm(self, m, entry))
                continue;
            visit(m);
        }
        if (header->m_BaseID == nullptr)
            break;
        table = IsTableOf(ClassIndexOf(header->m_BaseID));
    }
}

void WriteMember(const ScriptObject* self, const ClassType_MemberID* m, ScriptStream& stream) {
    stream.WriteMemberToken(m, self->GetClassRow());
    stream.WriteToken(LexBlank);
    self->Write(m, stream);
    stream.WriteToken(LexSemicolon);
    stream.WriteToken(LexCRLF);
}

void OpenBody(ScriptStream& stream) {
    stream.WriteToken(LexDot);
    stream.WriteToken(LexBraceL);
    stream.WriteToken(LexCRLF);
}

} // namespace

void ScriptObject::Write(const ClassType_MemberID* m, ScriptStream& stream) const {
    Entry(m).m_Write(this, m, stream);
}

void ScriptObject::WriteASM(const ClassType_MemberID* m, VPUAsmWriter& writer) const {
    Entry(m).m_WriteASM(this, m, writer);
}

void ScriptObject::Write(ScriptStream& stream) const {
    bool open = false;
    ForEachWritten(this, nullptr, [&](const ClassType_MemberID* m) {
        if (!open)
            OpenBody(stream);
        open = true;
        WriteMember(this, m, stream);
    });
    if (open)
        stream.WriteToken(LexBraceR);
}

void ScriptObject::WriteNonDefault(ScriptStream& stream) const {
    const Obj<ScriptObject> fresh(ScriptObject::Create(GetObjectClassID()));
    const ClassType_MemberID* first = nullptr;
    int count = 0;
    ForEachWritten(this, fresh.Get(), [&](const ClassType_MemberID* m) {
        ++count;
        if (count == 1) {
            first = m; // alone it is written in the short form
            return;
        }
        if (count == 2) {
            OpenBody(stream);
            WriteMember(this, first, stream);
        }
        WriteMember(this, m, stream);
    });
    if (count == 1) {
        stream.WriteMemberToken(first, GetClassRow());
        stream.WriteToken(LexBlank);
        Write(first, stream);
    } else if (count > 1) {
        stream.WriteToken(LexBraceR);
    }
}

void ScriptObject::WriteNonDefaultBody(ScriptStream& stream) const {
    const Obj<ScriptObject> fresh(ScriptObject::Create(GetObjectClassID()));
    OpenBody(stream);
    ForEachWritten(this, fresh.Get(),
                   [&](const ClassType_MemberID* m) { WriteMember(this, m, stream); });
    stream.WriteToken(LexBraceR);
}

void ScriptObject::WriteASM(VPUAsmWriter& writer) const {
    ForEachWritten(this, nullptr, [&](const ClassType_MemberID* m) { WriteASM(m, writer); });
}

void ScriptObject::WriteASMNonDefault(VPUAsmWriter& writer) const {
    const Obj<ScriptObject> fresh(ScriptObject::Create(GetObjectClassID()));
    ForEachWritten(this, fresh.Get(), [&](const ClassType_MemberID* m) { WriteASM(m, writer); });
}

} // namespace Quorlix
