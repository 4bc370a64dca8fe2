#include "quorlix/scene/Lensflare.h"

#include "quorlix/scene/internal/GeometryClassDefinition.h"

namespace Quorlix {

QUORLIX_GEOMETRY_NATIVE_CLASS(SLensflare)
QUORLIX_GEOMETRY_NATIVE_CLASS(TLensflare)

namespace Bind {

SLensflare::VisibilityMode
ValueOf<SLensflare::VisibilityMode>::FromScript(Script value, const ScriptObject* self,
                                                const ClassType_MemberID* m, const MVTBL& entry,
                                                bool& ok) {
    const int index = MemberIndexOf(value);
    if (value == nullptr || index < 1) {
        RefuseSet(self, m, "not an enumerator");
        ok = false;
        return {};
    }
    if (ClassIndexOf(value) != static_cast<int>(entry.m_OffsetOrValue)) {
        RefuseSet(self, m, "enumerator of another enumeration refused");
        ok = false;
        return {};
    }
    // Kept in the built-in form whichever form the identifier came in.
    return {static_cast<uint32_t>(index) << 24 | 0xFFF000u |
            static_cast<uint32_t>(ClassIndexOf(value))};
}

} // namespace Bind
} // namespace Quorlix
