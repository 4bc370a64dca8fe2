#pragma once
// Level-of-detail groups: a branch that shows one of its children, chosen by distance against
// the thresholds of its S object.

#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

class QUORLIX_API SLODGroup : public SBranch {
public:
    static SLODGroup* Create();
    static const TypeInfo* GetSLODGroupTypeInfo() noexcept;
    SLODGroup() noexcept = default;
    ~SLODGroup() override;

    /// Distances at which the next child takes over, ascending.
    const Array<float>& GetThresholdArray() const noexcept { return m_ThresholdArray; }

private:
    friend void BindSceneNodeClasses();
    Array<float> m_ThresholdArray;
};

class QUORLIX_API TLODGroup : public TBranch {
public:
    static TLODGroup* Create();
    static const TypeInfo* GetTLODGroupTypeInfo() noexcept;
    TLODGroup();
    ~TLODGroup() override;
};

} // namespace Quorlix
