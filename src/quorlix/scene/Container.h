#pragma once
// SContainer/TContainer: a leaf that carries a list of arbitrary objects along with the scene.

#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

/// Class SContainer (-3980).
class QUORLIX_API SContainer : public SLeaf {
public:
    static SContainer* Create();
    static const TypeInfo* GetSContainerTypeInfo() noexcept;

    SContainer() noexcept = default;
    ~SContainer() override;

    Array<Obj<ScriptObject>> m_Object; // member 1 "Object" (0x2600); never holds null
};

/// Class TContainer (-3979); a fresh one refers to a fresh SContainer.
class QUORLIX_API TContainer : public TLeaf {
public:
    static TContainer* Create();
    static const TypeInfo* GetTContainerTypeInfo() noexcept;

    TContainer() : TLeaf(SContainer::Create()) {}
    ~TContainer() override;

protected:
    explicit TContainer(SNode* s) : TLeaf(s) {}
};

} // namespace Quorlix
