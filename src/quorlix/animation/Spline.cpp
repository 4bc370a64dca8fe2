#include "quorlix/animation/Spline.h"

#include "quorlix/animation/internal/GrowingArray.h"

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

SplineScalarf* SplineScalarf::Create() {
    return NewObject<SplineScalarf>();
}
const TypeInfo* SplineScalarf::GetSplineScalarfTypeInfo() noexcept {
    return &TypeOf<SplineScalarf>();
}
SplineScalarf::~SplineScalarf() = default;
int SplineScalarf::GetKeyCount() const {
    return m_Keys.Size();
}
float SplineScalarf::GetKeyTime(int i) const {
    return ColumnGet<&KeyScalarf::m_Time>(m_Keys, i);
}
void SplineScalarf::SetKeyTime(int i, float time) {
    ColumnSet<&KeyScalarf::m_Time>(m_Keys, i, time, "SplineScalarf.KeyTime");
}
void SplineScalarf::SetKeyCount(int n) {
    KeyCountSet(m_Keys, n, "SplineScalarf.KeyTime");
}
float SplineScalarf::GetKeyValue(int i) const {
    return ColumnGet<&KeyScalarf::m_Value>(m_Keys, i);
}
void SplineScalarf::SetKeyValue(int i, float value) {
    ColumnSet<&KeyScalarf::m_Value>(m_Keys, i, value, "SplineScalarf.KeyValue");
}
float SplineScalarf::GetKeyTangentIn(int i) const {
    return ColumnGet<&KeyScalarf::m_TangentIn>(m_Keys, i);
}
void SplineScalarf::SetKeyTangentIn(int i, float value) {
    ColumnSet<&KeyScalarf::m_TangentIn>(m_Keys, i, value, "SplineScalarf.KeyTangentIn");
}
float SplineScalarf::GetKeyTangentOut(int i) const {
    return ColumnGet<&KeyScalarf::m_TangentOut>(m_Keys, i);
}
void SplineScalarf::SetKeyTangentOut(int i, float value) {
    ColumnSet<&KeyScalarf::m_TangentOut>(m_Keys, i, value, "SplineScalarf.KeyTangentOut");
}

SplineQuaternionf* SplineQuaternionf::Create() {
    return NewObject<SplineQuaternionf>();
}
const TypeInfo* SplineQuaternionf::GetSplineQuaternionfTypeInfo() noexcept {
    return &TypeOf<SplineQuaternionf>();
}
SplineQuaternionf::~SplineQuaternionf() = default;
int SplineQuaternionf::GetKeyCount() const {
    return m_Keys.Size();
}
float SplineQuaternionf::GetKeyTime(int i) const {
    return ColumnGet<&KeyQuaternionf::m_Time>(m_Keys, i);
}
void SplineQuaternionf::SetKeyTime(int i, float time) {
    ColumnSet<&KeyQuaternionf::m_Time>(m_Keys, i, time, "SplineQuaternionf.KeyTime");
}
void SplineQuaternionf::SetKeyCount(int n) {
    KeyCountSet(m_Keys, n, "SplineQuaternionf.KeyTime");
}

SplineVector2f* SplineVector2f::Create() {
    return NewObject<SplineVector2f>();
}
const TypeInfo* SplineVector2f::GetSplineVector2fTypeInfo() noexcept {
    return &TypeOf<SplineVector2f>();
}
SplineVector2f::~SplineVector2f() = default;
int SplineVector2f::GetKeyCount() const {
    return m_Keys.Size();
}
float SplineVector2f::GetKeyTime(int i) const {
    return ColumnGet<&KeyVector2f::m_Time>(m_Keys, i);
}
void SplineVector2f::SetKeyTime(int i, float time) {
    ColumnSet<&KeyVector2f::m_Time>(m_Keys, i, time, "SplineVector2f.KeyTime");
}
void SplineVector2f::SetKeyCount(int n) {
    KeyCountSet(m_Keys, n, "SplineVector2f.KeyTime");
}
Vector2f SplineVector2f::GetKeyValue(int i) const {
    return ColumnGet<&KeyVector2f::m_Value>(m_Keys, i);
}
void SplineVector2f::SetKeyValue(int i, const Vector2f& value) {
    ColumnSet<&KeyVector2f::m_Value>(m_Keys, i, value, "SplineVector2f.KeyValue");
}
Vector2f SplineVector2f::GetKeyTangentIn(int i) const {
    return ColumnGet<&KeyVector2f::m_TangentIn>(m_Keys, i);
}
void SplineVector2f::SetKeyTangentIn(int i, const Vector2f& value) {
    ColumnSet<&KeyVector2f::m_TangentIn>(m_Keys, i, value, "SplineVector2f.KeyTangentIn");
}
Vector2f SplineVector2f::GetKeyTangentOut(int i) const {
    return ColumnGet<&KeyVector2f::m_TangentOut>(m_Keys, i);
}
void SplineVector2f::SetKeyTangentOut(int i, const Vector2f& value) {
    ColumnSet<&KeyVector2f::m_TangentOut>(m_Keys, i, value, "SplineVector2f.KeyTangentOut");
}

SplineVector3f* SplineVector3f::Create() {
    return NewObject<SplineVector3f>();
}
const TypeInfo* SplineVector3f::GetSplineVector3fTypeInfo() noexcept {
    return &TypeOf<SplineVector3f>();
}
SplineVector3f::~SplineVector3f() = default;
int SplineVector3f::GetKeyCount() const {
    return m_Keys.Size();
}
float SplineVector3f::GetKeyTime(int i) const {
    return ColumnGet<&KeyVector3f::m_Time>(m_Keys, i);
}
void SplineVector3f::SetKeyTime(int i, float time) {
    ColumnSet<&KeyVector3f::m_Time>(m_Keys, i, time, "SplineVector3f.KeyTime");
}
void SplineVector3f::SetKeyCount(int n) {
    KeyCountSet(m_Keys, n, "SplineVector3f.KeyTime");
}
Vector3f SplineVector3f::GetKeyValue(int i) const {
    return ColumnGet<&KeyVector3f::m_Value>(m_Keys, i);
}
void SplineVector3f::SetKeyValue(int i, const Vector3f& value) {
    ColumnSet<&KeyVector3f::m_Value>(m_Keys, i, value, "SplineVector3f.KeyValue");
}
Vector3f SplineVector3f::GetKeyTangentIn(int i) const {
    return ColumnGet<&KeyVector3f::m_TangentIn>(m_Keys, i);
}
void SplineVector3f::SetKeyTangentIn(int i, const Vector3f& value) {
    ColumnSet<&KeyVector3f::m_TangentIn>(m_Keys, i, value, "SplineVector3f.KeyTangentIn");
}
Vector3f SplineVector3f::GetKeyTangentOut(int i) const {
    return ColumnGet<&KeyVector3f::m_TangentOut>(m_Keys, i);
}
void SplineVector3f::SetKeyTangentOut(int i, const Vector3f& value) {
    ColumnSet<&KeyVector3f::m_TangentOut>(m_Keys, i, value, "SplineVector3f.KeyTangentOut");
}

SplineVector4f* SplineVector4f::Create() {
    return NewObject<SplineVector4f>();
}
const TypeInfo* SplineVector4f::GetSplineVector4fTypeInfo() noexcept {
    return &TypeOf<SplineVector4f>();
}
SplineVector4f::~SplineVector4f() = default;
int SplineVector4f::GetKeyCount() const {
    return m_Keys.Size();
}
float SplineVector4f::GetKeyTime(int i) const {
    return ColumnGet<&KeyVector4f::m_Time>(m_Keys, i);
}
void SplineVector4f::SetKeyTime(int i, float time) {
    ColumnSet<&KeyVector4f::m_Time>(m_Keys, i, time, "SplineVector4f.KeyTime");
}
void SplineVector4f::SetKeyCount(int n) {
    KeyCountSet(m_Keys, n, "SplineVector4f.KeyTime");
}
Vector4f SplineVector4f::GetKeyValue(int i) const {
    return ColumnGet<&KeyVector4f::m_Value>(m_Keys, i);
}
void SplineVector4f::SetKeyValue(int i, const Vector4f& value) {
    ColumnSet<&KeyVector4f::m_Value>(m_Keys, i, value, "SplineVector4f.KeyValue");
}
Vector4f SplineVector4f::GetKeyTangentIn(int i) const {
    return ColumnGet<&KeyVector4f::m_TangentIn>(m_Keys, i);
}
void SplineVector4f::SetKeyTangentIn(int i, const Vector4f& value) {
    ColumnSet<&KeyVector4f::m_TangentIn>(m_Keys, i, value, "SplineVector4f.KeyTangentIn");
}
Vector4f SplineVector4f::GetKeyTangentOut(int i) const {
    return ColumnGet<&KeyVector4f::m_TangentOut>(m_Keys, i);
}
void SplineVector4f::SetKeyTangentOut(int i, const Vector4f& value) {
    ColumnSet<&KeyVector4f::m_TangentOut>(m_Keys, i, value, "SplineVector4f.KeyTangentOut");
}

} // namespace Quorlix
