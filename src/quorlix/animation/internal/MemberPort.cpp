#include "quorlix/animation/internal/MemberPort.h"

namespace Quorlix::Internal {

MemberPortLookup FindPortMember(const ScriptObject* object, const ClassType_MemberID* m,
                                const MVTBL*& entry) noexcept {
    MVTBL* const* row = object->GetClassRow();
    // Accessors dispatch on the low 32 bits alone; checking the same bits keeps the lookup and
    // the call in agreement.
    const int c = ClassIndexOf(m);
    if (row == nullptr || c <= 0 || c >= k_MasterMVTBLSize)
        return MemberPortLookup::ClassUnsupported;
    const MVTBL* table = row[c];
    const MVTBLHeader* header = TableHeader(table);
    if (header->m_IsTable != 1)
        return MemberPortLookup::ClassUnsupported;
    const int k = MemberIndexOf(m);
    if (k <= 0 || k >= header->m_Count || table[k].m_Name == nullptr ||
        (table[k].m_Flags & MemberIsSomeEnum) != 0)
        return MemberPortLookup::FunctionUnsupported;
    entry = &table[k];
    return MemberPortLookup::Found;
}

} // namespace Quorlix::Internal
