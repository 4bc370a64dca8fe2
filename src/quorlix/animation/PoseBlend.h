#pragma once
// PoseBlend (class "PoseBlend", -3902): blends weighted pose vectors into the ports of a
// connection group. Entry i of ValueArray (a VertexDataF32 whose DataArray holds one value per
// pose channel) is applied with the weight of BlendControl[i] and operator OperatorArray[i];
// PoseDefault gives the channel count and the rest pose; channel k drives port k of the
// connection group.

#include "quorlix/animation/ConnectionGroup.h"
#include "quorlix/core/Array.h"
#include "quorlix/platform/Export.h"
#include "quorlix/scene/BlendControl.h"
#include "quorlix/scene/VertexData.h"
#include "quorlix/script/Object.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API PoseBlend : public Object {
public:
    /// PoseBlend.OperatorEnum; with weight w and pose value v, the accumulated channel a
    /// becomes: Add a + w·v; Blend (1 - w)·a + w·v; Min w·v + (1 - w)·a where a < v (toward
    /// the larger); Max the same where v < a (toward the smaller); Mul w·v·a where v <= 1e10.
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

    /// Weight control i; null outside the array or where none is set. Stored, grown and
    /// resized like the operators.
    BlendControl* GetBlendControl(int i) const;
    void SetBlendControl(int i, BlendControl* control);
    int GetBlendControlCount() const { return m_BlendControl.Size(); }
    void SetBlendControlCount(int n);

    /// Pose vector i; null outside the array or where none is set. Stored, grown and resized
    /// like the operators.
    VertexDataF32* GetValue(int i) const;
    void SetValue(int i, VertexDataF32* values);
    int GetValueCount() const { return m_ValueArray.Size(); }
    void SetValueCount(int n);

    /// Blends the poses into one value per channel and writes channel k to port k of the
    /// connection group:
    /// - Pose i counts only where ValueArray, BlendControl and OperatorArray all reach, and
    ///   only with a control whose |Weight| is at least 2^-10 (NaN never is) and a value array;
    ///   its operator works on the channels its DataArray has (see Operator). An operator
    ///   outside the enumeration logs the warning "PoseBlend: unsupported operator <n>.".
    /// - PoseDefault is added to every channel.
    /// - Ports are written from last to first, as far as the group's Object, Member and
    ///   MemberMask arrays and the channels all reach. Nil objects and index or array members
    ///   are skipped; an F32 member gets the channel, a Vector3f member the channel in the
    ///   components MemberMask selects (bit 1 x, 2 y, 4 z); other types log the warning
    ///   "PoseBlend: unsupported attribute type.". A member the object does not have logs the
    ///   error "PoseBlend: port <k> names a member its object does not have.".
    /// Without a connection group nothing is written.
    void AdvanceFrame();

    Array<float> m_PoseDefault;
    Obj<ConnectionGroup> m_ConnectionGroup;

private:
    Array<Operator> m_OperatorArray;
    Array<Obj<BlendControl>> m_BlendControl;
    Array<Obj<VertexDataF32>> m_ValueArray;
};

} // namespace Quorlix
