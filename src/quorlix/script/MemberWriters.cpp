// The write and writeASM accessors of every member: generic by value type and form, they read
// the member through the object's own entry (so fields, properties and script-class members
// alike) and hand the value to the script stream or the compiled-form writer.

#include "quorlix/script/ScriptObject.h"
#include "quorlix/script/ScriptStream.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/script/internal/MemberAccessors.h"

namespace Quorlix::Internal {

namespace {

template <class V>
using ElementOf = typename ScriptValueTraits<V>::Element;

void WriteValue(ScriptStream& s, bool v) {
    s.WriteBool(v);
}
void WriteValue(ScriptStream& s, const String& v) {
    s.WriteString(v.GetCPtr(), v.Size());
}
void WriteValue(ScriptStream& s, int32_t v) {
    s.WriteI32(v);
}
void WriteValue(ScriptStream& s, int64_t v) {
    s.WriteI64(v);
}
void WriteValue(ScriptStream& s, uint32_t v) {
    s.WriteU32(v);
}
void WriteValue(ScriptStream& s, uint64_t v) {
    s.WriteU64(v);
}
void WriteValue(ScriptStream& s, float v) {
    s.WriteF32(v);
}
void WriteValue(ScriptStream& s, double v) {
    s.WriteF64(v);
}
void WriteValue(ScriptStream& s, const Vector2f& v) {
    s.WriteVector2f(v);
}
void WriteValue(ScriptStream& s, const Vector3f& v) {
    s.WriteVector3f(v);
}
void WriteValue(ScriptStream& s, const Vector4f& v) {
    s.WriteVector4f(v);
}
void WriteValue(ScriptStream& s, const Matrix4f& v) {
    s.WriteMatrix4f(v);
}
void WriteValue(ScriptStream& s, const Spheref& v) {
    s.WriteSpheref(v);
}
// The streams have no quaternion token: its four floats go as a Vector4f.
void WriteValue(ScriptStream& s, const Quaternionf& v) {
    static_assert(sizeof(Quaternionf) == sizeof(Vector4f));
    Vector4f floats;
    std::memcpy(static_cast<void*>(&floats), &v, sizeof(floats));
    s.WriteVector4f(floats);
}
// An object is its class and its number (`TTransform$3`); the nil object is the class Nil.
void WriteValue(ScriptStream& s, const ScriptObject* v) {
    if (v == nullptr || v->IsNil()) {
        s.WriteClassToken(BuiltinTypeID(k_ClassNil), nullptr);
        return;
    }
    s.WriteClassToken(v->GetObjectClassID(), v->GetClassRow());
    s.WriteObject(v);
}
void WriteValue(ScriptStream& s, const Obj<ScriptObject>& v) {
    WriteValue(s, static_cast<const ScriptObject*>(v.Get()));
}
// An enumerator is its enumeration and its name (`SLight.TypeEnum.Directional`).
void WriteValue(ScriptStream& s, const ClassType_Enum* v) {
    s.WriteClassMemberToken(v, nullptr);
}
// A member identifier is `@` and the qualified member name.
void WriteValue(ScriptStream& s, const ClassType_MemberID* v) {
    s.WriteToken(LexAt);
    s.WriteClassMemberToken(v, nullptr);
}

// Arrays the streams write whole; the other element types go element by element.
void WriteElements(ScriptStream& s, const Array<String>& a) {
    s.WriteArrayString(a);
}
void WriteElements(ScriptStream& s, const Array<Spheref>& a) {
    s.WriteArraySpheref(a);
}
void WriteElements(ScriptStream& s, const Array<Matrix4f>& a) {
    s.WriteArrayMatrix4f(a);
}
void WriteElements(ScriptStream& s, const Array<Vector4f>& a) {
    s.WriteArrayVector4f(a);
}
void WriteElements(ScriptStream& s, const Array<Vector3f>& a) {
    s.WriteArrayVector3f(a);
}
void WriteElements(ScriptStream& s, const Array<Vector2f>& a) {
    s.WriteArrayVector2f(a);
}
void WriteElements(ScriptStream& s, const Array<double>& a) {
    s.WriteArrayF64(a);
}
void WriteElements(ScriptStream& s, const Array<float>& a) {
    s.WriteArrayF32(a);
}
void WriteElements(ScriptStream& s, const Array<uint64_t>& a) {
    s.WriteArrayU64(a);
}
void WriteElements(ScriptStream& s, const Array<uint32_t>& a) {
    s.WriteArrayU32(a);
}
void WriteElements(ScriptStream& s, const Array<int64_t>& a) {
    s.WriteArrayI64(a);
}
void WriteElements(ScriptStream& s, const Array<int32_t>& a) {
    s.WriteArrayI32(a);
}
void WriteElements(ScriptStream& s, const Array<bool>& a) {
    s.WriteArrayBool(a);
}
void WriteElements(ScriptStream& s, const Array<Quaternionf>& a) {
    Array<Vector4f> floats;
    if (!a.IsEmpty()) {
        floats.Resize(a.Size());
        std::memcpy(static_cast<void*>(&floats[0]), &a[0], sizeof(Vector4f) * a.Size());
    }
    s.WriteArrayVector4f(floats);
}
template <class E>
void WriteElements(ScriptStream& s, const Array<E>& a, const char* typeName) {
    if (a.IsEmpty())
        s.WriteIdentifier(typeName);
    s.WriteToken(LexBracketL);
    for (int i = 0; i < a.Size(); ++i) {
        if (i > 0)
            s.WriteToken(LexComma);
        WriteValue(s, a[i]);
    }
    s.WriteToken(LexBracketR);
}

template <class V>
void WriteArray(ScriptStream& s, const Array<ElementOf<V>>& a) {
    if constexpr (requires { WriteElements(s, a); })
        WriteElements(s, a);
    else
        WriteElements(s, a, ScriptValueTraits<V>::k_Name);
}

// The member's value or its whole array, read through the object's own entry.
template <class V>
V ReadScalar(const ScriptObject* self, const ClassType_MemberID* m) {
    V value = ScriptNeutralValue<V>();
    self->Entry(m).Get(self, m, 0, &value);
    return value;
}

template <class V>
Array<ElementOf<V>> ReadArray(const ScriptObject* self, const ClassType_MemberID* m) {
    const MVTBL& entry = self->Entry(m);
    Array<ElementOf<V>> out;
    if ((entry.m_Flags & MemberIsArray) != 0) {
        entry.Get(self, m, 0, &out);
        return out;
    }
    const int n = entry.Size(self, m);
    if (n > 0)
        out.Resize(n);
    for (int i = 0; i < n; ++i) {
        V value = ScriptNeutralValue<V>();
        entry.Get(self, m, i, &value);
        out[i] = value;
    }
    return out;
}

template <class V>
void ScalarWrite(const ScriptObject* self, const ClassType_MemberID* m, ScriptStream& s) {
    WriteValue(s, ReadScalar<V>(self, m));
}

template <class V>
void ArrayWrite(const ScriptObject* self, const ClassType_MemberID* m, ScriptStream& s) {
    WriteArray<V>(s, ReadArray<V>(self, m));
}

template <class V>
void ScalarWriteASM(const ScriptObject* self, const ClassType_MemberID* m, VPUAsmWriter& w) {
    const V value = ReadScalar<V>(self, m);
    if constexpr (std::is_same_v<V, const ClassType_MemberID*>)
        w.SetMemberID(m, value);
    else
        w.Set(m, value);
}

template <class V>
void ArrayWriteASM(const ScriptObject* self, const ClassType_MemberID* m, VPUAsmWriter& w) {
    w.Set(m, ReadArray<V>(self, m));
}

template <class V>
struct InvalidASM {
    static void Write(const ScriptObject* self, const ClassType_MemberID* m, VPUAsmWriter&) {
        char what[64];
        std::snprintf(what, sizeof(what), "iInvalidWriteASM_%s", ScriptValueTraits<V>::k_Name);
        self->InvalidCall(m, what);
    }
};

} // namespace

bool GenericWriters(int typeClass, MemberForm form, WriteAccessor& write,
                    WriteASMAccessor& writeASM) {
    return WithValueType(typeClass, [&]<class V>() {
        if (form == MemberForm::Scalar) {
            write = &ScalarWrite<V>;
            writeASM = &ScalarWriteASM<V>;
        } else {
            write = &ArrayWrite<V>;
            writeASM = &ArrayWriteASM<V>;
        }
    });
}

bool InvalidWriterASM(int typeClass, WriteASMAccessor& writeASM) {
    return WithValueType(typeClass, [&]<class V>() { writeASM = &InvalidASM<V>::Write; });
}

} // namespace Quorlix::Internal
