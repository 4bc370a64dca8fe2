#pragma once
// PoseBlend (class "PoseBlend", -3902): blends weighted pose vectors into the ports of a
// connection group. Entry i of ValueArray (a VertexDataF32 whose DataArray holds one value per
// pose channel) is applied with the weight of BlendControl[i] and operator OperatorArray[i];
// PoseDefault gives the channel count and the rest pose. The blending itself comes later.

#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API PoseBlend : public Object {
public:
    /// PoseBlend.OperatorEnum.
    enum class Operator : uint32_t { Add, Blend, Min, Max, Mul };

    static PoseBlend* Create();
    static const TypeInfo* GetPoseBlendTypeInfo() noexcept;

    PoseBlend() noexcept = default;
    ~PoseBlend() override;

    /// Operator i; Add outside the array.
    Operator GetOperator(int i) const;
    /// Stores operator i, growing the array to i + 1 (new entries Add). Indices below 0, of
    /// 2^24 and above or growing by more than 65536 are refused with an error line.
    void SetOperator(int i, Operator op);
    int GetOperatorCount() const { return m_OperatorArray.Size(); }
    /// Grows (new entries Add) or shrinks the array; a count outside 0..2^24 is refused (logged).
    void SetOperatorCount(int n);

    Array<Obj<ScriptObject>> m_BlendControl; // BlendControl objects; nil stands for none
    Array<float> m_PoseDefault;
    Array<Obj<ScriptObject>> m_ValueArray; // VertexDataF32 objects; nil stands for none
    Obj<ConnectionGroup> m_ConnectionGroup;

private:
    Array<Operator> m_OperatorArray;
};

} // namespace Quorlix
