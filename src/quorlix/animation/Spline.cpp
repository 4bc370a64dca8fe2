#include "quorlix/animation/Spline.h"

#include "quorlix/animation/internal/GrowingArray.h"

#include <algorithm>
#include <array>
#include <cstddef>
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
int SplineKeys<Key>::GetKeyCount() const {
    return m_Keys.Size();
}
template <class Key>
float SplineKeys<Key>::GetKeyTime(int i) const {
    return ColumnGet<&Key::m_Time>(m_Keys, i);
}
template <class Key>
void SplineKeys<Key>::SetKeyTime(int i, float time) {
    ColumnSet<&Key::m_Time>(m_Keys, i, time, k_Where<Key, "KeyTime">.data());
}
template <class Key>
void SplineKeys<Key>::SetKeyCount(int n) {
    KeyCountSet(m_Keys, n, k_Where<Key, "KeyTime">.data());
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
    return ColumnGet<&Key::m_Value>(this->m_Keys, i);
}
template <class V, class Key>
void SplineValue<V, Key>::SetKeyValue(int i, In value) {
    ColumnSet<&Key::m_Value>(this->m_Keys, i, value, k_Where<Key, "KeyValue">.data());
}
template <class V, class Key>
V SplineValue<V, Key>::GetKeyTangentIn(int i) const {
    return ColumnGet<&Key::m_TangentIn>(this->m_Keys, i);
}
template <class V, class Key>
void SplineValue<V, Key>::SetKeyTangentIn(int i, In value) {
    ColumnSet<&Key::m_TangentIn>(this->m_Keys, i, value, k_Where<Key, "KeyTangentIn">.data());
}
template <class V, class Key>
V SplineValue<V, Key>::GetKeyTangentOut(int i) const {
    return ColumnGet<&Key::m_TangentOut>(this->m_Keys, i);
}
template <class V, class Key>
void SplineValue<V, Key>::SetKeyTangentOut(int i, In value) {
    ColumnSet<&Key::m_TangentOut>(this->m_Keys, i, value, k_Where<Key, "KeyTangentOut">.data());
}

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
const TypeInfo* SplineVector2f::GetSplineVector2fTypeInfo() noexcept {
    return &TypeOf<SplineVector2f>();
}
SplineVector3f* SplineVector3f::Create() {
    return NewObject<SplineVector3f>();
}
const TypeInfo* SplineVector3f::GetSplineVector3fTypeInfo() noexcept {
    return &TypeOf<SplineVector3f>();
}
SplineVector4f* SplineVector4f::Create() {
    return NewObject<SplineVector4f>();
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

} // namespace Quorlix
