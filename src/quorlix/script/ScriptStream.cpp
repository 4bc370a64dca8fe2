#include "quorlix/script/ScriptStream.h"

#include "quorlix/script/ScriptObject.h"

namespace Quorlix {

uint32_t ScriptObjectNumbers::NumberOf(const ScriptObject* object, bool* added) {
    const auto [it, inserted] = m_Numbers.try_emplace(reinterpret_cast<uintptr_t>(object),
                                                      static_cast<uint32_t>(m_Objects.Size()) + 1u);
    if (inserted)
        m_Objects.Add(Obj<ScriptObject>(const_cast<ScriptObject*>(object)));
    if (added != nullptr)
        *added = inserted;
    return it->second;
}

ScriptStream::~ScriptStream() = default;

int ScriptStream::WriteReserved1() {
    return 0;
}

int ScriptStream::WriteReserved14() {
    return 0;
}

const char* ScriptClassName(const ClassType_TypeID* c, MVTBL* const* row) noexcept {
    const int index = ClassIndexOf(c);
    if (index <= 0 || index >= k_MasterMVTBLSize)
        return nullptr;
    const MVTBL* table = row != nullptr ? row[index] : IsTableOf(index);
    return table != nullptr ? TableHeader(table)->m_Name : nullptr;
}

const char* ScriptMemberName(const ClassType_MemberID* m, MVTBL* const* row) noexcept {
    const int index = ClassIndexOf(m);
    const int k = MemberIndexOf(m);
    if (index <= 0 || index >= k_MasterMVTBLSize || k < 1)
        return nullptr;
    const MVTBL* table = row != nullptr ? row[index] : IsTableOf(index);
    if (table == nullptr || k >= TableHeader(table)->m_Count)
        return nullptr;
    return table[k].m_Name;
}

} // namespace Quorlix
