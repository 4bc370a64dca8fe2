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

class QUORLIX_API SplineScalarf : public SplineBase {
public:
    static SplineScalarf* Create();
    static const TypeInfo* GetSplineScalarfTypeInfo() noexcept;

    SplineScalarf() noexcept = default;
    ~SplineScalarf() override;

    int GetKeyCount() const override;
    float GetKeyTime(int i) const override;
    void SetKeyTime(int i, float time) override;
    void SetKeyCount(int n) override;
    // Columns: 0 outside the keys; writes grow the keys.
    float GetKeyValue(int i) const;
    void SetKeyValue(int i, float value);
    float GetKeyTangentIn(int i) const;
    void SetKeyTangentIn(int i, float value);
    float GetKeyTangentOut(int i) const;
    void SetKeyTangentOut(int i, float value);

    const Array<KeyScalarf>& GetKeys() const noexcept { return m_Keys; }

private:
    Array<KeyScalarf> m_Keys;
};

class QUORLIX_API SplineVector2f : public SplineBase {
public:
    static SplineVector2f* Create();
    static const TypeInfo* GetSplineVector2fTypeInfo() noexcept;

    SplineVector2f() noexcept = default;
    ~SplineVector2f() override;

    int GetKeyCount() const override;
    float GetKeyTime(int i) const override;
    void SetKeyTime(int i, float time) override;
    void SetKeyCount(int n) override;
    // Columns: zero outside the keys; writes grow the keys.
    Vector2f GetKeyValue(int i) const;
    void SetKeyValue(int i, const Vector2f& value);
    Vector2f GetKeyTangentIn(int i) const;
    void SetKeyTangentIn(int i, const Vector2f& value);
    Vector2f GetKeyTangentOut(int i) const;
    void SetKeyTangentOut(int i, const Vector2f& value);

    const Array<KeyVector2f>& GetKeys() const noexcept { return m_Keys; }

private:
    Array<KeyVector2f> m_Keys;
};

class QUORLIX_API SplineVector3f : public SplineBase {
public:
    static SplineVector3f* Create();
    static const TypeInfo* GetSplineVector3fTypeInfo() noexcept;

    SplineVector3f() noexcept = default;
    ~SplineVector3f() override;

    int GetKeyCount() const override;
    float GetKeyTime(int i) const override;
    void SetKeyTime(int i, float time) override;
    void SetKeyCount(int n) override;
    // Columns: zero outside the keys; writes grow the keys.
    Vector3f GetKeyValue(int i) const;
    void SetKeyValue(int i, const Vector3f& value);
    Vector3f GetKeyTangentIn(int i) const;
    void SetKeyTangentIn(int i, const Vector3f& value);
    Vector3f GetKeyTangentOut(int i) const;
    void SetKeyTangentOut(int i, const Vector3f& value);

    const Array<KeyVector3f>& GetKeys() const noexcept { return m_Keys; }

private:
    Array<KeyVector3f> m_Keys;
};

class QUORLIX_API SplineVector4f : public SplineBase {
public:
    static SplineVector4f* Create();
    static const TypeInfo* GetSplineVector4fTypeInfo() noexcept;

    SplineVector4f() noexcept = default;
    ~SplineVector4f() override;

    int GetKeyCount() const override;
    float GetKeyTime(int i) const override;
    void SetKeyTime(int i, float time) override;
    void SetKeyCount(int n) override;
    // Columns: zero outside the keys; writes grow the keys.
    Vector4f GetKeyValue(int i) const;
    void SetKeyValue(int i, const Vector4f& value);
    Vector4f GetKeyTangentIn(int i) const;
    void SetKeyTangentIn(int i, const Vector4f& value);
    Vector4f GetKeyTangentOut(int i) const;
    void SetKeyTangentOut(int i, const Vector4f& value);

    const Array<KeyVector4f>& GetKeys() const noexcept { return m_Keys; }

private:
    Array<KeyVector4f> m_Keys;
};

class QUORLIX_API SplineQuaternionf : public SplineBase {
public:
    static SplineQuaternionf* Create();
    static const TypeInfo* GetSplineQuaternionfTypeInfo() noexcept;

    SplineQuaternionf() noexcept = default;
    ~SplineQuaternionf() override;

    /// Keys grown through KeyTime hold the identity rotation.
    int GetKeyCount() const override;
    float GetKeyTime(int i) const override;
    void SetKeyTime(int i, float time) override;
    void SetKeyCount(int n) override;

    const Array<KeyQuaternionf>& GetKeys() const noexcept { return m_Keys; }

private:
    Array<KeyQuaternionf> m_Keys;
};

} // namespace Quorlix
