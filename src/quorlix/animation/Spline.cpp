#include "quorlix/animation/Spline.h"

#include "quorlix/animation/internal/GrowingArray.h"

#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <string_view>
#include <type_traits>

namespace Quorlix {

namespace {

// One column of a key array: field F of every key.
template <auto F, class K>
auto ColumnGet(const Array<K>& keys, int i) {
    using V = std::remove_cvref_t<decltype(K{}.*F)>;
    return i >= 0 && i < keys.Size() ? keys[i].*F : V{};
}

template <auto F, class K, class V>
void ColumnSet(Array<K>& keys, int i, const V& value, const char* where) {
    if (Internal::GrowFor(keys, i, K{}, where))
        keys[i].*F = value;
}

template <class K>
void KeyCountSet(Array<K>& keys, int n, const char* where) {
    Internal::ResizeFilled(keys, n, K{}, where);
}

// The class of the splines whose keys are of class Key, as their error lines name it.
template <class Key>
constexpr std::string_view k_SplineClass = std::is_same_v<Key, KeyScalarf>    ? "SplineScalarf"
                                           : std::is_same_v<Key, KeyVector2f> ? "SplineVector2f"
                                           : std::is_same_v<Key, KeyVector3f> ? "SplineVector3f"
                                           : std::is_same_v<Key, KeyVector4f> ? "SplineVector4f"
                                                                              : "SplineQuaternionf";

// A member name as a template argument.
template <std::size_t N>
struct MemberName {
    constexpr MemberName(const char (&text)[N]) noexcept { std::copy_n(text, N, m_Text); }
    char m_Text[N];
};

// "<Class>.<Member>", the place an error line of a typed spline names, as a constant.
template <class Key, MemberName Member>
constexpr auto k_Where = [] {
    constexpr std::string_view name = k_SplineClass<Key>;
    std::array<char, name.size() + 1 + sizeof(Member.m_Text)> text{};
    std::copy_n(name.data(), name.size(), text.data());
    text[name.size()] = '.';
    std::copy_n(Member.m_Text, sizeof(Member.m_Text), text.data() + name.size() + 1);
    return text;
}();

// Components of a key value: the scalar itself, or the vector's coordinates.
template <class V>
constexpr int k_Components = std::is_same_v<V, float> ? 1 : static_cast<int>(sizeof(V) / 4);

template <class V>
float& Component(V& v, int c) {
    if constexpr (std::is_same_v<V, float>)
        return v;
    else
        return v[c];
}
template <class V>
float Component(const V& v, int c) {
    if constexpr (std::is_same_v<V, float>)
        return v;
    else
        return v[c];
}

// A tangent out at or above this marks a step.
constexpr float k_StepTangent = 1e30f;

// The position of `time` in the segment from t0 to t1, within [0, 1]. A NaN, and a segment
// without length (equal or disordered times), give 0, so no NaN reaches the blend.
float SegmentPosition(float t0, float t1, float time) {
    const float length = t1 - t0;
    if (!(length > 0))
        return 0;
    const float s = (time - t0) / length;
    return s >= 0 ? (s <= 1 ? s : 1) : 0;
}

// Strict weak order on key time with NaN after everything, so the sort stays within its range
// whatever a file put into the times.
template <class K>
bool TimeBefore(const K& a, const K& b) {
    if (std::isnan(b.m_Time))
        return !std::isnan(a.m_Time);
    return a.m_Time < b.m_Time;
}

// A unit copy of q; the identity when q has no usable length.
Quaternionf Normalized(const Quaternionf& q) {
    const float length = std::sqrt(q.Dot(q));
    if (!(length > 0) || !std::isfinite(length))
        return Quaternionf::Identity;
    const float k = 1.0f / length;
    return Quaternionf(q[0] * k, q[1] * k, q[2] * k, q[3] * k);
}

} // namespace

SplineBase* SplineBase::Create() {
    return NewObject<SplineBase>();
}
const TypeInfo* SplineBase::GetSplineBaseTypeInfo() noexcept {
    return &TypeOf<SplineBase>();
}
SplineBase::~SplineBase() = default;
int SplineBase::GetKeyCount() const {
    return m_Keys.Size();
}
float SplineBase::GetKeyTime(int i) const {
    return ColumnGet<&Key::m_Time>(m_Keys, i);
}
void SplineBase::SetKeyTime(int i, float time) {
    ColumnSet<&Key::m_Time>(m_Keys, i, time, "SplineBase.KeyTime");
}
void SplineBase::SetKeyCount(int n) {
    KeyCountSet(m_Keys, n, "SplineBase.KeyTime");
}

template <class Key>
SplineKeys<Key>::~SplineKeys() = default;
template <class Key>
void SplineKeys<Key>::Refresh() noexcept {
    m_Count = m_Keys.Size();
    m_FirstTime = m_Count > 0 ? m_Keys.Data()[0].m_Time : 0;
    m_LastTime = m_Count > 0 ? m_Keys.Data()[m_Count - 1].m_Time : 0;
}
template <class Key>
int SplineKeys<Key>::GetKeyCount() const {
    return m_Count;
}
template <class Key>
float SplineKeys<Key>::GetKeyTime(int i) const {
    return ColumnGet<&Key::m_Time>(m_Keys, i);
}
template <class Key>
void SplineKeys<Key>::SetKeyTime(int i, float time) {
    EditKeys([&](Array<Key>& keys) {
        ColumnSet<&Key::m_Time>(keys, i, time, k_Where<Key, "KeyTime">.data());
    });
}
template <class Key>
void SplineKeys<Key>::SetKeyCount(int n) {
    EditKeys([&](Array<Key>& keys) { KeyCountSet(keys, n, k_Where<Key, "KeyTime">.data()); });
}

template <class Key>
void SplineKeys<Key>::AddKey(const Key& key) {
    InsertKey(m_Keys.Size(), key);
}
template <class Key>
Key SplineKeys<Key>::GetKey(int i) const {
    return Internal::ElementOr(m_Keys, i, Key{});
}
template <class Key>
void SplineKeys<Key>::RemoveKey(int i) {
    if (i < 0 || i >= m_Keys.Size()) {
        Internal::LogScriptError(k_Where<Key, "RemoveKey">.data(), ": index ", i,
                                 " is out of range.");
        return;
    }
    EditKeys([&](Array<Key>& keys) { keys.Remove(i); });
}
template <class Key>
void SplineKeys<Key>::InsertKey(int i, const Key& key) {
    if (i < 0 || i > m_Keys.Size()) {
        Internal::LogScriptError(k_Where<Key, "InsertKey">.data(), ": index ", i,
                                 " is out of range.");
        return;
    }
    if (m_Keys.Size() >= Internal::k_MaxGrowingElements) {
        Internal::LogScriptError(k_Where<Key, "InsertKey">.data(), ": too many keys.");
        return;
    }
    EditKeys([&](Array<Key>& keys) { keys.Insert(i, key); });
}
template <class Key>
void SplineKeys<Key>::SetKey(int i, const Key& key) {
    if (i < 0 || i >= m_Keys.Size()) {
        Internal::LogScriptError(k_Where<Key, "SetKey">.data(), ": index ", i, " is out of range.");
        return;
    }
    EditKeys([&](Array<Key>& keys) { keys[i] = key; });
}
template <class Key>
void SplineKeys<Key>::SortKeys() {
    SortKeyRange(0, m_Keys.Size() - 1);
}
template <class Key>
void SplineKeys<Key>::SortKeyRange(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, m_Keys.Size() - 1);
    if (first >= last)
        return;
    // An introsort: O(n log n) also on keys that are already sorted, which a file usually has.
    EditKeys([&](Array<Key>& keys) {
        Key* data = &keys[0];
        std::sort(data + first, data + last + 1, TimeBefore<Key>);
    });
}
template <class Key>
int SplineKeys<Key>::GuessKey(float time) const noexcept {
    const float guess =
        (time - m_FirstTime) / (m_LastTime - m_FirstTime) * static_cast<float>(m_Count - 1);
    return guess >= 0 && guess < static_cast<float>(m_Count - 1) // false for NaN
               ? static_cast<int>(guess)
               : -1;
}
template <class Key>
int SplineKeys<Key>::FindKey(float time) const {
    const int n = m_Count;
    if (n <= 1)
        return 0;
    const Key* keys = m_Keys.Data();
    if (time <= m_FirstTime)
        return 0;
    if (time >= m_LastTime)
        return n - 1;
    // The answer is the last i in [low, high) with time(i) <= time. Keys are usually spaced
    // about evenly, so the first probe goes where that spacing puts the time: one or two cache
    // lines instead of the seven a binary search over 100 keys touches, which is what
    // evaluating many curves at once waits for. Galloping from there keeps the worst case
    // logarithmic; every probe stays inside [low, high), so unsorted or NaN times cannot lead
    // outside the keys.
    int low = 0;
    int high = n - 1;
    if (const int g = GuessKey(time); g >= 0) {
        if (keys[g].m_Time <= time) {
            if (g + 1 >= high || time < keys[g + 1].m_Time)
                return g;
            low = g + 1;
            for (int step = 1; low + step < high; step *= 2) {
                if (!(keys[low + step].m_Time <= time)) {
                    high = low + step;
                    break;
                }
                low += step;
            }
        } else {
            high = std::max(g, low + 1);
            for (int step = 1; high - step > low; step *= 2) {
                if (keys[high - step].m_Time <= time) {
                    low = high - step;
                    break;
                }
                high -= step;
            }
        }
    }
    // Without branches on the comparison, which a random time would mispredict.
    int count = high - low;
    while (count > 1) {
        const int half = count / 2;
        low = keys[low + half].m_Time <= time ? low + half : low;
        count -= half;
    }
    return low;
}

template <class V, class Key>
int SplineValue<V, Key>::GetKeyCount() const {
    return SplineKeys<Key>::GetKeyCount();
}
template <class V, class Key>
void SplineValue<V, Key>::SetKeyCount(int n) {
    SplineKeys<Key>::SetKeyCount(n);
}
template <class V, class Key>
V SplineValue<V, Key>::GetKeyValue(int i) const {
    return ColumnGet<&Key::m_Value>(this->GetKeys(), i);
}
template <class V, class Key>
void SplineValue<V, Key>::SetKeyValue(int i, In value) {
    this->EditKeys([&](Array<Key>& keys) {
        ColumnSet<&Key::m_Value>(keys, i, value, k_Where<Key, "KeyValue">.data());
    });
}
template <class V, class Key>
V SplineValue<V, Key>::GetKeyTangentIn(int i) const {
    return ColumnGet<&Key::m_TangentIn>(this->GetKeys(), i);
}
template <class V, class Key>
void SplineValue<V, Key>::SetKeyTangentIn(int i, In value) {
    this->EditKeys([&](Array<Key>& keys) {
        ColumnSet<&Key::m_TangentIn>(keys, i, value, k_Where<Key, "KeyTangentIn">.data());
    });
}
template <class V, class Key>
V SplineValue<V, Key>::GetKeyTangentOut(int i) const {
    return ColumnGet<&Key::m_TangentOut>(this->GetKeys(), i);
}
template <class V, class Key>
void SplineValue<V, Key>::SetKeyTangentOut(int i, In value) {
    this->EditKeys([&](Array<Key>& keys) {
        ColumnSet<&Key::m_TangentOut>(keys, i, value, k_Where<Key, "KeyTangentOut">.data());
    });
}

template <class V, class Key>
void SplineValue<V, Key>::Evaluate(float time, V& out) const {
    const int n = this->GetKeyCount();
    if (n == 0) {
        out = V{};
        return;
    }
    const Key* keys = this->GetKeys().Data();
    const int i = this->FindKey(time);
    const Key& a = keys[i];
    if (i == n - 1) {
        out = a.m_Value;
        return;
    }
    const Key& b = keys[i + 1];
    const float s = SegmentPosition(a.m_Time, b.m_Time, time);
    const float s2 = s * s;
    const float s3 = s2 * s;
    const float h00 = 2 * s3 - 3 * s2 + 1;
    const float h10 = s3 - 2 * s2 + s;
    const float h01 = 3 * s2 - 2 * s3;
    const float h11 = s3 - s2;
    for (int c = 0; c < k_Components<V>; ++c) {
        const float value = Component(a.m_Value, c);
        Component(out, c) = Component(a.m_TangentOut, c) >= k_StepTangent
                                ? value
                                : h00 * value + h10 * Component(a.m_TangentOut, c) +
                                      h01 * Component(b.m_Value, c) +
                                      h11 * Component(b.m_TangentIn, c);
    }
}
template <class V, class Key>
void SplineValue<V, Key>::ComputeTangentsSmooth() {
    const int n = this->GetKeyCount();
    if (n == 0)
        return;
    this->EditKeys([n](Array<Key>& array) {
        Key* keys = &array[0];
        // Each key reads only values and times, which stay, so one pass in place is exact.
        for (int i = 0; i < n; ++i) {
            const Key& p = keys[std::max(i - 1, 0)];
            const Key& q = keys[std::min(i + 1, n - 1)];
            const float span = q.m_Time - p.m_Time;
            float r = span != 0 ? (keys[i].m_Time - p.m_Time) / span : 0.5f;
            if (!std::isfinite(r))
                r = 0.5f;
            for (int c = 0; c < k_Components<V>; ++c) {
                const float d = Component(q.m_Value, c) - Component(p.m_Value, c);
                Component(keys[i].m_TangentIn, c) = (1 - r) * d;
                Component(keys[i].m_TangentOut, c) = r * d;
            }
        }
    });
}
template <class V, class Key>
void SplineValue<V, Key>::ComputeTangentsDifference() {
    const int n = this->GetKeyCount();
    if (n == 0)
        return;
    this->EditKeys([n](Array<Key>& array) {
        Key* keys = &array[0];
        for (int i = 0; i < n; ++i) {
            const V& p = keys[std::max(i - 1, 0)].m_Value;
            const V& q = keys[std::min(i + 1, n - 1)].m_Value;
            const V& v = keys[i].m_Value;
            for (int c = 0; c < k_Components<V>; ++c) {
                Component(keys[i].m_TangentIn, c) = Component(q, c) - Component(v, c);
                Component(keys[i].m_TangentOut, c) = Component(v, c) - Component(p, c);
            }
        }
    });
}

namespace {

// A vector spline from one scalar spline per component, over the keys all of them hold.
template <class S>
S* CreateFromComponents(std::initializer_list<const SplineScalarf*> components) {
    S* spline = NewObject<S>();
    int n = Internal::k_MaxGrowingElements;
    bool differ = false;
    for (const SplineScalarf* c : components) {
        const int count = c != nullptr ? c->GetKeyCount() : 0;
        differ = differ || (c != *components.begin() && count != n);
        n = std::min(n, count);
    }
    if (differ)
        Internal::LogScriptError(k_SplineClass<typename S::KeyType>.data(),
                                 ".Create: component splines "
                                 "hold different key counts; using ",
                                 n, ".");
    typename S::KeyType key;
    for (int i = 0; i < n; ++i) {
        int c = 0;
        for (const SplineScalarf* component : components) {
            const KeyScalarf& k = component->GetKeys()[i];
            if (c == 0)
                key.m_Time = k.m_Time;
            key.m_Value[c] = k.m_Value;
            key.m_TangentIn[c] = k.m_TangentIn;
            key.m_TangentOut[c] = k.m_TangentOut;
            ++c;
        }
        spline->AddKey(key);
    }
    return spline;
}

} // namespace

template class SplineKeys<KeyScalarf>;
template class SplineKeys<KeyVector2f>;
template class SplineKeys<KeyVector3f>;
template class SplineKeys<KeyVector4f>;
template class SplineKeys<KeyQuaternionf>;
template class SplineValue<float, KeyScalarf>;
template class SplineValue<Vector2f, KeyVector2f>;
template class SplineValue<Vector3f, KeyVector3f>;
template class SplineValue<Vector4f, KeyVector4f>;

SplineScalarf* SplineScalarf::Create() {
    return NewObject<SplineScalarf>();
}
const TypeInfo* SplineScalarf::GetSplineScalarfTypeInfo() noexcept {
    return &TypeOf<SplineScalarf>();
}
SplineVector2f* SplineVector2f::Create() {
    return NewObject<SplineVector2f>();
}
SplineVector2f* SplineVector2f::Create(SplineScalarf* x, SplineScalarf* y) {
    return CreateFromComponents<SplineVector2f>({x, y});
}
const TypeInfo* SplineVector2f::GetSplineVector2fTypeInfo() noexcept {
    return &TypeOf<SplineVector2f>();
}
SplineVector3f* SplineVector3f::Create() {
    return NewObject<SplineVector3f>();
}
SplineVector3f* SplineVector3f::Create(SplineScalarf* x, SplineScalarf* y, SplineScalarf* z) {
    return CreateFromComponents<SplineVector3f>({x, y, z});
}
const TypeInfo* SplineVector3f::GetSplineVector3fTypeInfo() noexcept {
    return &TypeOf<SplineVector3f>();
}
SplineVector4f* SplineVector4f::Create() {
    return NewObject<SplineVector4f>();
}
SplineVector4f* SplineVector4f::Create(SplineScalarf* x, SplineScalarf* y, SplineScalarf* z,
                                       SplineScalarf* w) {
    return CreateFromComponents<SplineVector4f>({x, y, z, w});
}
const TypeInfo* SplineVector4f::GetSplineVector4fTypeInfo() noexcept {
    return &TypeOf<SplineVector4f>();
}
SplineQuaternionf* SplineQuaternionf::Create() {
    return NewObject<SplineQuaternionf>();
}
const TypeInfo* SplineQuaternionf::GetSplineQuaternionfTypeInfo() noexcept {
    return &TypeOf<SplineQuaternionf>();
}

int SplineQuaternionf::GetKeyCount() const {
    return SplineKeys<KeyQuaternionf>::GetKeyCount();
}
void SplineQuaternionf::SetKeyCount(int n) {
    SplineKeys<KeyQuaternionf>::SetKeyCount(n);
}
Vector4f SplineQuaternionf::GetKeyValue(int i) const {
    if (i < 0 || i >= GetKeyCount())
        return Vector4f(0, 0, 0, 0);
    const Quaternionf& q = GetKeys()[i].m_Value;
    return Vector4f(q[0], q[1], q[2], q[3]);
}
void SplineQuaternionf::SetKeyValue(int i, const Vector4f& value) {
    EditKeys([&](Array<KeyQuaternionf>& keys) {
        ColumnSet<&KeyQuaternionf::m_Value>(keys, i,
                                            Quaternionf(value[0], value[1], value[2], value[3]),
                                            "SplineQuaternionf.KeyValue");
    });
}
Quaternionf SplineQuaternionf::Evaluate(float time) const {
    const int n = GetKeyCount();
    if (n == 0)
        return Quaternionf::Identity;
    const KeyQuaternionf* keys = GetKeys().Data();
    const int i = FindKey(time);
    if (i == n - 1)
        return keys[i].m_Value;
    const float s = SegmentPosition(keys[i].m_Time, keys[i + 1].m_Time, time);
    Quaternionf q;
    q.AssignSlerp(Normalized(keys[i].m_Value), Normalized(keys[i + 1].m_Value), s,
                  Quaternionf::SlerpShortest);
    return q;
}

namespace {

// Whether `m` names a Quaternionf member of one of the forms in `forms` (0 for scalar), whose
// flags it then stores in `flags`; logs the refusal naming `where`.
bool IsQuaternionMember(const ScriptObject* object, const ClassType_MemberID* m, unsigned forms,
                        const char* where, unsigned& flags) {
    if (object == nullptr) {
        Internal::LogScriptError(where, ": no object.");
        return false;
    }
    const MVTBL* table = IsTableOf(ClassIndexOf(m));
    const int k = MemberIndexOf(m);
    if (table == nullptr || k <= 0 || k >= TableHeader(table)->m_Count ||
        table[k].m_Name == nullptr || ClassIndexOf(table[k].m_Type) != k_ClassQuaternionf ||
        (forms == 0 ? (table[k].m_Flags & (MemberIsIndex | MemberIsArray)) != 0
                    : (table[k].m_Flags & forms) == 0)) {
        Internal::LogScriptError(where, ": member is not a Quaternionf ",
                                 forms == 0 ? "value." : "array.");
        return false;
    }
    flags = table[k].m_Flags;
    return true;
}

} // namespace

void SplineQuaternionf::EvaluateToMember(float time, ScriptObject* object,
                                         const ClassType_MemberID* m) const {
    unsigned flags = 0;
    if (!IsQuaternionMember(object, m, 0, "SplineQuaternionf.EvaluateToMember", flags))
        return;
    const Quaternionf q = Evaluate(time);
    object->Set(static_cast<const ClassMemberOf<Quaternionf, false>*>(m), q);
}
void SplineQuaternionf::EvaluateToMemberElement(float time, ScriptObject* object,
                                                const ClassType_MemberID* m, int element) const {
    constexpr const char* k_Name = "SplineQuaternionf.EvaluateToMemberElement";
    unsigned flags = 0;
    if (!IsQuaternionMember(object, m, MemberIsIndex | MemberIsArray, k_Name, flags))
        return;
    const Quaternionf q = Evaluate(time);
    if ((flags & MemberIsIndex) != 0) {
        // The index accessors grow and refuse within the object model's limits.
        object->Set(static_cast<const ClassMemberOf<Quaternionf, true>*>(m), element, q);
        return;
    }
    Array<Quaternionf> values;
    if (!object->GetArray<Quaternionf>(static_cast<const ClassMember*>(m), values))
        return;
    if (Internal::GrowFor(values, element, Quaternionf::Identity, k_Name)) {
        values[element] = q;
        object->SetArray<Quaternionf>(static_cast<const ClassMember*>(m), values);
    }
}

} // namespace Quorlix
