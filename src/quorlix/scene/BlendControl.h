#pragma once
// BlendControl: one weight of a skin's blend (a blend shape or texture-coordinate blend).

#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

namespace Quorlix {

/// Class BlendControl (-3954).
class QUORLIX_API BlendControl : public Object {
public:
    static BlendControl* Create();
    static const TypeInfo* GetBlendControlTypeInfo() noexcept;

    BlendControl() noexcept = default;
    ~BlendControl() override;

    float m_Weight = 1.0f; // a fresh control applies its blend fully
};

} // namespace Quorlix
