#pragma once
// Keys and splines. A spline is a time-ordered array of keys of its key class; scripts see the
// keys column by column as index members (element i of KeyTime is the time of key i, of
// KeyValue its value, ...). Writing element i at or past the key count first grows the keys to
// i + 1, the new keys all zero, so a script may fill the columns in any order. Indices below 0,
// of 2^24 and above, or growing the keys by more than 65536 at once are refused with an error
// line.
//
// SplineBase (-3947) holds time-only keys when made as itself; SplineScalarf (-3946) and
// SplineVector2f/3f/4f (-3945..-3943) hold keys with value and tangents and interpolate with
// cubic Hermite segments; SplineQuaternionf (-3942) holds rotations, interpolated by the shortest
// slerp, and shows their (x, y, z, w) to scripts as the Vector4f column KeyValue.
//
// Evaluation assumes the keys in ascending time order (SortKeys establishes it); unsorted keys
// or NaN times give some key's neighbourhood, never a read outside the keys. A spline without
// keys evaluates to zero (the identity rotation) and FindKey answers 0. The const operations
// only read, so several threads may evaluate one spline while nothing changes its keys.

#include "quorlix/core/Array.h"
#include "quorlix/math/Quaternionf.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptTypes.h"

#include <type_traits>

namespace Quorlix {

// Key values: plain copyable values whose default is all zero (a quaternion key: the identity).
struct QUORLIX_API Key {
    float m_Time = 0;
};
struct QUORLIX_API KeyScalarf {
    float m_Time = 0;
    float m_Value = 0;
    float m_TangentIn = 0;
    float m_TangentOut = 0;
};
struct QUORLIX_API KeyVector2f {
    float m_Time = 0;
    Vector2f m_Value{0, 0};
    Vector2f m_TangentIn{0, 0};
    Vector2f m_TangentOut{0, 0};
};
struct QUORLIX_API KeyVector3f {
    float m_Time = 0;
    Vector3f m_Value{0, 0, 0};
    Vector3f m_TangentIn{0, 0, 0};
    Vector3f m_TangentOut{0, 0, 0};
};
struct QUORLIX_API KeyVector4f {
    float m_Time = 0;
    Vector4f m_Value{0, 0, 0, 0};
    Vector4f m_TangentIn{0, 0, 0, 0};
    Vector4f m_TangentOut{0, 0, 0, 0};
};
struct QUORLIX_API KeyQuaternionf {
    float m_Time = 0;
    Quaternionf m_Value{0, 0, 0, 1};
};

class QUORLIX_API SplineBase : public Object {
public:
    /// A new spline of time-only keys, without keys (count 0).
    static SplineBase* Create();
    static const TypeInfo* GetSplineBaseTypeInfo() noexcept;

    SplineBase() noexcept = default;
    ~SplineBase() override;

    virtual int GetKeyCount() const;
    /// Time of key i; 0 outside the keys.
    virtual float GetKeyTime(int i) const;
    /// Sets the time of key i, growing the keys as the header describes.
    virtual void SetKeyTime(int i, float time);
    /// Grows (new keys zero) or shrinks the keys to `n`; a count outside 0..2^24 is refused
    /// with an error line.
    virtual void SetKeyCount(int n);

private:
    // Used only by a spline made as SplineBase itself; the typed splines override the key
    // functions and keep keys of their own key class.
    Array<Key> m_Keys;
};

/// The keys of a typed spline, of key class Key (time first, default all zero), with the
/// KeyTime column. Instantiated in Spline.cpp for the key classes below, one spline class each.
template <class Key>
class QUORLIX_API SplineKeys : public SplineBase {
public:
    using KeyType = Key;

    SplineKeys() noexcept = default;
    ~SplineKeys() override;

    int GetKeyCount() const override;
    float GetKeyTime(int i) const override;
    void SetKeyTime(int i, float time) override;
    void SetKeyCount(int n) override;

    const Array<Key>& GetKeys() const noexcept { return m_Keys; }

    /// Appends `key`; refused with an error line at 2^24 keys.
    void AddKey(const Key& key);
    /// A copy of key i; a default key (all zero, the identity rotation) outside the keys.
    Key GetKey(int i) const;
    /// Removes key i, closing the gap. An index outside the keys is refused with an error line.
    void RemoveKey(int i);
    /// Inserts `key` as key i, shifting the later keys up; i may be the count (appending).
    /// Other indices, and inserting into 2^24 keys, are refused with an error line.
    void InsertKey(int i, const Key& key);
    /// Replaces key i; an index outside the keys is refused with an error line.
    void SetKey(int i, const Key& key);
    /// Orders all keys by ascending time (NaN times last); equal times keep no particular order.
    void SortKeys();
    /// Orders keys first..last (inclusive) by time; the range is clamped to the keys.
    void SortKeyRange(int first, int last);
    /// The index i of the segment that holds `time`: 0 at or before the first key, count - 1
    /// at or after the last, else the i with time(i) <= time < time(i + 1) for sorted keys.
    /// 0 without keys.
    int FindKey(float time) const;

protected:
    /// Runs `edit` on the keys, then refreshes what the key search keeps of them. Every change
    /// of the keys goes through here.
    template <class Edit>
    void EditKeys(Edit&& edit) {
        edit(m_Keys);
        Refresh();
    }

private:
    void Refresh() noexcept;
    /// Where even spacing of the keys puts `time`: an index in [0, count - 1), or -1 when the
    /// time lies outside the keys' inner range (or is NaN). Reads no key.
    int GuessKey(float time) const noexcept;

    Array<Key> m_Keys;
    // The count and the first and last key times, kept beside the array pointer: a search then
    // reads the object and the one key it probes, not the two ends of the keys first.
    int m_Count = 0;
    float m_FirstTime = 0;
    float m_LastTime = 0;
};

/// Keys with a value and in and out tangents of type V: the columns KeyValue, KeyTangentIn and
/// KeyTangentOut, zero outside the keys; writes grow the keys as the header describes.
template <class V, class Key>
class QUORLIX_API SplineValue : public SplineKeys<Key> {
public:
    /// Numbers by value, vectors by const reference (what the class bindings expect of setters).
    using In = std::conditional_t<std::is_scalar_v<V>, V, const V&>;

    // The key count again, as a member of this class: a class binding takes the count and
    // resize functions of an index member from the class of its getter.
    int GetKeyCount() const override;
    void SetKeyCount(int n) override;

    V GetKeyValue(int i) const;
    void SetKeyValue(int i, In value);
    V GetKeyTangentIn(int i) const;
    void SetKeyTangentIn(int i, In value);
    V GetKeyTangentOut(int i) const;
    void SetKeyTangentOut(int i, In value);

    /// The value at `time`: the Hermite blend of the segment's two values with the out tangent
    /// of its first key and the in tangent of its second, as stored (not scaled by the
    /// segment's length). A component whose out tangent is 1e30 or more holds the first key's
    /// value over the segment (a step). Before the first key and after the last the end values
    /// hold; zero without keys.
    void Evaluate(float time, V& out) const;
    /// Tangents from the neighbours p = i - 1 and q = i + 1 (clamped to the keys): with
    /// d = value(q) - value(p) and r = (time(i) - time(p)) / (time(q) - time(p)), tangent in
    /// (1 - r) d and tangent out r d; r is 0.5 where time(q) == time(p). Times and values stay.
    void ComputeTangentsSmooth();
    /// Tangent in value(q) - value(i), tangent out value(i) - value(p), p and q as above.
    void ComputeTangentsDifference();
};

extern template class SplineKeys<KeyScalarf>;
extern template class SplineKeys<KeyVector2f>;
extern template class SplineKeys<KeyVector3f>;
extern template class SplineKeys<KeyVector4f>;
extern template class SplineKeys<KeyQuaternionf>;
extern template class SplineValue<float, KeyScalarf>;
extern template class SplineValue<Vector2f, KeyVector2f>;
extern template class SplineValue<Vector3f, KeyVector3f>;
extern template class SplineValue<Vector4f, KeyVector4f>;

class QUORLIX_API SplineScalarf : public SplineValue<float, KeyScalarf> {
public:
    static SplineScalarf* Create();
    static const TypeInfo* GetSplineScalarfTypeInfo() noexcept;
};

class QUORLIX_API SplineVector2f : public SplineValue<Vector2f, KeyVector2f> {
public:
    static SplineVector2f* Create();
    /// Key i takes key i's time from `x` and value and tangents component by component from key
    /// i of each component spline. Only as many keys as every component holds are made (a null
    /// component holds none); differing counts are logged.
    static SplineVector2f* Create(SplineScalarf* x, SplineScalarf* y);
    static const TypeInfo* GetSplineVector2fTypeInfo() noexcept;
};

class QUORLIX_API SplineVector3f : public SplineValue<Vector3f, KeyVector3f> {
public:
    static SplineVector3f* Create();
    /// Key i takes key i's time from `x` and value and tangents component by component from key
    /// i of each component spline. Only as many keys as every component holds are made (a null
    /// component holds none); differing counts are logged.
    static SplineVector3f* Create(SplineScalarf* x, SplineScalarf* y, SplineScalarf* z);
    static const TypeInfo* GetSplineVector3fTypeInfo() noexcept;
};

class QUORLIX_API SplineVector4f : public SplineValue<Vector4f, KeyVector4f> {
public:
    static SplineVector4f* Create();
    /// Key i takes key i's time from `x` and value and tangents component by component from key
    /// i of each component spline. Only as many keys as every component holds are made (a null
    /// component holds none); differing counts are logged.
    static SplineVector4f* Create(SplineScalarf* x, SplineScalarf* y, SplineScalarf* z,
                                  SplineScalarf* w);
    static const TypeInfo* GetSplineVector4fTypeInfo() noexcept;
};

/// Rotation keys; keys grown through a column hold the identity rotation.
class QUORLIX_API SplineQuaternionf : public SplineKeys<KeyQuaternionf> {
public:
    static SplineQuaternionf* Create();
    static const TypeInfo* GetSplineQuaternionfTypeInfo() noexcept;

    // The count again, as a member of this class (for the KeyValue row).
    int GetKeyCount() const override;
    void SetKeyCount(int n) override;
    /// Key i's rotation as (x, y, z, w); zero outside the keys. Stored as given: evaluation
    /// normalises.
    Vector4f GetKeyValue(int i) const;
    void SetKeyValue(int i, const Vector4f& value);

    /// The rotation at `time`: the shortest-arc slerp between the normalised rotations of the
    /// segment's keys (a rotation that cannot be normalised counts as the identity), so the
    /// first key's normalised rotation before the first key; the last key's rotation as stored
    /// at and after the last key; the identity without keys.
    Quaternionf Evaluate(float time) const;
    /// Evaluates and hands the rotation to `object`'s setter of the Quaternionf member `m`.
    /// A member of another type or form, or a null object, is refused with an error line; an
    /// object without the member logs through the object model.
    void EvaluateToMember(float time, ScriptObject* object, const ClassType_MemberID* m) const;
    /// The same for element `element` of a Quaternionf index or array member, which grows
    /// within the object model's limits.
    void EvaluateToMemberElement(float time, ScriptObject* object, const ClassType_MemberID* m,
                                 int element) const;
};

} // namespace Quorlix
