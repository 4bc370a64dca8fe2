#pragma once
// SLensflare/TLensflare: sprites strung along the line from a light through the screen centre.
//
// VisibilityMode takes enumerators of SLensflare.VisibilityModeEnum (-3971), a class that is
// never registered, so there is no table to turn an enumerator into a value and back. The member
// therefore keeps the enumerator's identifier itself ((index << 24) | 0xFFF000 | class) and its
// row accepts any identifier of that class: files that carry one read back unchanged.

#include "quorlix/core/Array.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/scene/SpriteGeometry.h"
#include "quorlix/script/ClassBinding.h"

#include <cstdint>

namespace Quorlix {

/// Shared lens flare (class SLensflare, -3996).
class QUORLIX_API SLensflare : public SSpriteGeometry {
public:
    /// An enumerator of the unregistered enumeration -3971, kept as its identifier.
    struct VisibilityMode {
        uint32_t m_ID = 0;
        /// The identifier of enumerator `index` (1-based).
        static constexpr VisibilityMode Enumerator(int index) noexcept {
            return {static_cast<uint32_t>(index) << 24 | 0xFFF000u |
                    static_cast<uint32_t>(k_ClassSLensflareVisibilityModeEnum)};
        }
        bool operator==(const VisibilityMode&) const noexcept = default;
    };

    static SLensflare* Create();
    static const TypeInfo* GetSLensflareTypeInfo() noexcept;

    SLensflare() noexcept = default;
    ~SLensflare() override;

    VisibilityMode m_VisibilityMode = VisibilityMode::Enumerator(2);
    Array<Vector3f> m_DistanceArray; // per flare sprite, its place along the flare line
};

/// A placed lens flare (class TLensflare, -3995); a fresh one refers to a fresh SLensflare.
class QUORLIX_API TLensflare : public TSpriteGeometry {
public:
    static TLensflare* Create();
    static const TypeInfo* GetTLensflareTypeInfo() noexcept;

    TLensflare() : TSpriteGeometry(SLensflare::Create()) {}
    ~TLensflare() override;

protected:
    explicit TLensflare(SNode* s) : TSpriteGeometry(s) {}
};

namespace Bind {

/// Rows of VisibilityMode hand out the kept identifier and take any enumerator identifier of
/// the row's enumeration class (member index 1..255); others are refused with a logged error.
template <>
struct ValueOf<SLensflare::VisibilityMode> {
    using Script = const ClassType_Enum*;
    static constexpr int k_Class = k_ClassEnum;
    static constexpr bool k_InLine = false;
    static Script ToScript(const SLensflare::VisibilityMode& value, const MVTBL&) noexcept {
        return MakeMemberID<ClassType_Enum>(value.m_ID);
    }
    QUORLIX_API static SLensflare::VisibilityMode FromScript(Script value, const ScriptObject* self,
                                                             const ClassType_MemberID* m,
                                                             const MVTBL& entry, bool& ok);
};

} // namespace Bind
} // namespace Quorlix
