#pragma once
// Keys and splines. A spline is a time-ordered array of keys of its key class; scripts see the
// keys column by column as index members (element i of KeyTime is the time of key i, of
// KeyValue its value, ...). Writing element i at or past the key count first grows the keys to
// i + 1, the new keys all zero, so a script may fill the columns in any order. Indices below 0,
// of 2^24 and above, or growing the keys by more than 65536 at once are refused with an error
// line. Evaluation, sorting and tangent generation come with the animation scheduler.
//
// SplineBase (-3947) holds time-only keys when made as itself; SplineScalarf (-3946) and
// SplineVector2f/3f/4f (-3945..-3943) hold keys with value and tangents; SplineQuaternionf
// (-3942) holds rotations and has no script members besides KeyTime.

#include "quorlix/core/Array.h"
#include "quorlix/math/Quaternionf.h"
#include "quorlix/math/Vector2f.h"
#include "quorlix/math/Vector3f.h"
#include "quorlix/math/Vector4f.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

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
    SplineKeys() noexcept = default;
    ~SplineKeys() override;

    int GetKeyCount() const override;
    float GetKeyTime(int i) const override;
    void SetKeyTime(int i, float time) override;
    void SetKeyCount(int n) override;

    const Array<Key>& GetKeys() const noexcept { return m_Keys; }

protected:
    Array<Key> m_Keys;
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
    static const TypeInfo* GetSplineVector2fTypeInfo() noexcept;
};

class QUORLIX_API SplineVector3f : public SplineValue<Vector3f, KeyVector3f> {
public:
    static SplineVector3f* Create();
    static const TypeInfo* GetSplineVector3fTypeInfo() noexcept;
};

class QUORLIX_API SplineVector4f : public SplineValue<Vector4f, KeyVector4f> {
public:
    static SplineVector4f* Create();
    static const TypeInfo* GetSplineVector4fTypeInfo() noexcept;
};

/// Keys grown through KeyTime hold the identity rotation.
class QUORLIX_API SplineQuaternionf : public SplineKeys<KeyQuaternionf> {
public:
    static SplineQuaternionf* Create();
    static const TypeInfo* GetSplineQuaternionfTypeInfo() noexcept;
};

} // namespace Quorlix
