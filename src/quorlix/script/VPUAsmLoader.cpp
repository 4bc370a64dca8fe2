#include "quorlix/script/VPUAsmLoader.h"

#include "quorlix/script/ClassBinding.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptNamespace.h"
#include "quorlix/script/VPUAsm.h"
#include "quorlix/script/internal/ClassTableEpoch.h"
#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <array>
#include <bit>
#include <cstring>
#include <vector>

namespace Quorlix {

namespace {

// Reads of a pipe that cannot tell its size go in pieces of this size.
constexpr int k_Piece = 64 * 1024;

const ClassType_TypeID* ClassOfIndex(int c) noexcept {
    return c < k_MasterMVTBLBuiltinSize ? BuiltinTypeID(c) : MakeTypeID(c);
}

// Runs one program; every operand read goes through Need first.
class Machine {
public:
    // `bytes` holds the program's `dataBytes` rounded up to whole words (the pad bytes zero),
    // in the machine's byte order, at any alignment.
    Machine(ScriptNamespace* ns, const unsigned char* bytes, size_t dataBytes)
        : m_Namespace(ns), m_Bytes(bytes), m_DataBytes(dataBytes), m_DataWords((dataBytes + 3) / 4),
          m_CheckedEpoch(Internal::ClassTableEpoch()) {}

    EResult Run(Obj<ScriptObject>& result);

private:
    EResult Fail(const char* reason, EResult code = EFail) {
        Internal::LogScriptError("VPUAsmLoader::Execute: ", reason, " (instruction at word ",
                                 static_cast<int64_t>(m_Start), ")");
        return code;
    }
    // Whether `n` operand words follow the position inside the data.
    bool Need(uint64_t n) const noexcept { return n <= m_DataWords - m_Pos; }
    const unsigned char* At(size_t word) const noexcept { return m_Bytes + 4 * word; }
    uint32_t WordAt(size_t word) const noexcept {
        uint32_t value;
        std::memcpy(&value, At(word), 4);
        return value;
    }
    uint32_t Word() noexcept { return WordAt(m_Pos++); }
    template <class T>
    T Take() noexcept {
        static_assert(sizeof(T) % 4 == 0);
        // Eight-byte operands sit at four-byte offsets.
        T value;
        std::memcpy(static_cast<void*>(&value), At(m_Pos), sizeof(T));
        m_Pos += sizeof(T) / 4;
        return value;
    }

    EResult Object(uint32_t classWord, uint32_t number, ScriptObject*& out,
                   bool* created = nullptr);
    ScriptObject* TakeHeld(uint32_t classWord, uint32_t number, const ClassType_MemberID* m,
                           const MVTBL& entry);
    EResult Reference(uint32_t classWord, uint32_t number, const MVTBL& entry, ScriptObject*& out);
    EResult Member(const ClassType_MemberID*& m, const MVTBL*& entry);
    bool EnumeratorFits(const MVTBL& entry, uint32_t value) noexcept;
    EResult SetMember(uint32_t op);
    template <class V>
    EResult SetScalar(const ClassType_MemberID* m, const MVTBL& entry, int words);
    template <class V>
    EResult SetPlainArray(const ClassType_MemberID* m, const MVTBL& entry, uint32_t count);
    EResult TypeError(const MVTBL& entry, const char* found);

    ScriptNamespace* m_Namespace;
    const unsigned char* m_Bytes;
    size_t m_DataBytes;
    size_t m_DataWords; // words of the program; the end of the data ends it as opcode 0 does
    size_t m_Pos = 0;
    size_t m_Start = 0;
    // Objects are held by plain pointers: each one the machine reaches is the object of a
    // record of the namespace (found by its number, or numbered as it is created), and a
    // program only adds records. Counting them here would cost atomic operations per object.
    ScriptObject* m_Current = &G_NilObject;
    bool m_CurrentCreated = false; // by the create instruction that made it current
    // Member operands that passed Member's checks, by class row and operand: a program sets
    // the same few members of every object of a class, and the answer stands until the class
    // tables change.
    struct CheckedMember {
        MVTBL* const* m_Row = nullptr; // null: empty
        uint32_t m_Word = 0;
        T_Kind m_Kind = Kind_None;
        const MVTBL* m_Entry = nullptr;
    };
    std::array<CheckedMember, 256> m_Checked{};
    // Enumerators that passed IsEnumeratorFor, by the member's type and the value; the same
    // few values recur object after object.
    struct CheckedEnumerator {
        const ClassType_TypeID* m_Type = nullptr; // null: empty
        uint32_t m_Value = 0;
    };
    std::array<CheckedEnumerator, 64> m_CheckedEnumerators{};
    uint32_t m_CheckedEnumeratorsEpoch = 0;
    uint32_t m_CheckedEpoch;
    T_Kind m_EntryKind = Kind_None; // of the type of the entry Member found last
};

EResult Machine::TypeError(const MVTBL& entry, const char* found) {
    const char* expected = TypeIDToString(entry.m_Type);
    Internal::LogScriptError("VPUAsmLoader::Execute: member ", entry.m_Name, " of type ",
                             expected != nullptr ? expected : "???",
                             (entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0 ? " array" : "",
                             " cannot take a value of type ", found, " (instruction at word ",
                             static_cast<int64_t>(m_Start), ")");
    return EInvalidArgument;
}

// The value of an object operand for member `entry`: number 0 is the nil object (how writers
// give an empty link), any other number the object of Object(), which must suit the member.
EResult Machine::Reference(uint32_t classWord, uint32_t number, const MVTBL& entry,
                           ScriptObject*& out) {
    if (number == 0) {
        out = &G_NilObject;
        return SOK;
    }
    if (const EResult r = Object(classWord, number, out); Failed(r))
        return r;
    if (ClassIndexOf(entry.m_Type) != k_ClassScriptObject && !out->IsA(entry.m_Type))
        return TypeError(entry, out->GetObjectClassName());
    return SOK;
}

// The object `number` of the namespace, else a new object of the class defined under it.
EResult Machine::Object(uint32_t classWord, uint32_t number, ScriptObject*& out, bool* created) {
    const ClassType_TypeID* cls = MakeTypeID(static_cast<int32_t>(classWord));
    if (number == 0)
        return Fail("object number 0");
    ScriptNamespace::IdReservation place;
    ScriptObject* found = m_Namespace->FindObjectIDOrReserve(number, place);
    if (!found->IsNil()) {
        out = found;
        return SOK;
    }
    if (!IsValidClassID(cls))
        return Fail("invalid class identifier", EInvalidArgument);
    ScriptObject* made = ScriptObject::Create(ClassOfIndex(ClassIndexOf(cls)));
    if (made->IsNil())
        return Fail("class cannot be instantiated", EInvalidArgument);
    out = made;
    m_Namespace->DefReservedObjectID(made, place);
    if (created != nullptr)
        *created = true;
    return SOK;
}

// For object member `m` of the current object: the object it holds from its creation, now
// numbered `number`, when that stands for the new object of the class `classWord` names that
// Object() would make (see ClassBinding::m_HeldFresh); null otherwise. Saves making an object
// only to drop the one it replaces, twice per scene node.
ScriptObject* Machine::TakeHeld(uint32_t classWord, uint32_t number, const ClassType_MemberID* m,
                                const MVTBL& entry) {
    if (!m_CurrentCreated || number == 0)
        return nullptr;
    const ClassBinding* binding = FindClassBinding(ClassOfIndex(ClassIndexOf(m)));
    if (binding == nullptr || binding->m_HeldFresh != MemberIndexOf(m))
        return nullptr;
    ScriptNamespace::IdReservation place;
    if (!m_Namespace->FindObjectIDOrReserve(number, place)->IsNil() || place.m_Namespace == nullptr)
        return nullptr;
    const ClassType_TypeID* cls = MakeTypeID(static_cast<int32_t>(classWord));
    if (!IsValidClassID(cls))
        return nullptr;
    // Exactly the class, one Reference would accept, and held by nothing else (so neither
    // numbered nor linked yet).
    ScriptObject* held = m_Current->Get(MakeMemberID<ClassMember_Object>(IDValue(m)));
    if (held == nullptr || held->IsNil() ||
        ClassIndexOf(held->GetObjectClassID()) != ClassIndexOf(cls) || BlockRefCount(held) != 1 ||
        (ClassIndexOf(entry.m_Type) != k_ClassScriptObject && !held->IsA(entry.m_Type)))
        return nullptr;
    m_Namespace->DefReservedObjectID(held, place);
    return held;
}

// The member operand, checked against the current object's class.
EResult Machine::Member(const ClassType_MemberID*& m, const MVTBL*& entry) {
    if (m_Current->IsNil())
        return Fail("member set without a current object");
    const uint32_t word = Word();
    m = MakeMemberID(word);
    if (const uint32_t epoch = Internal::ClassTableEpoch(); epoch != m_CheckedEpoch) {
        m_Checked.fill(CheckedMember{});
        m_CheckedEpoch = epoch;
    }
    MVTBL* const* row = m_Current->GetClassRow();
    // The row takes part in the hash: members of a common base class have the same word in
    // every class, and would otherwise evict each other object by object.
    const auto rowBits = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(row) >> 4);
    CheckedMember& checked = m_Checked[((word ^ rowBits) * 0x9E3779B1u) >> 24];
    if (checked.m_Row == row && checked.m_Word == word && row != nullptr) {
        entry = checked.m_Entry;
        m_EntryKind = checked.m_Kind;
        return SOK;
    }
    if (!IsValidMemberID(m_Current->GetObjectClassID(), m) ||
        TypeIDToKind(ClassOfIndex(ClassIndexOf(m))) == Kind_Enum)
        return Fail("invalid member identifier", EInvalidArgument);
    entry = &m_Current->Entry(m);
    m_EntryKind = TypeIDToKind(entry->m_Type);
    checked = CheckedMember{row, word, m_EntryKind, entry};
    return SOK;
}

bool IsArrayEntry(const MVTBL& entry) noexcept {
    return (entry.m_Flags & (MemberIsIndex | MemberIsArray)) != 0;
}

// Whether `entry` holds plain values of class `c` (scalar or array as asked).
// `kind` is that of the entry's type.
bool HoldsValue(const MVTBL& entry, T_Kind kind, int c, bool array) noexcept {
    return IsArrayEntry(entry) == array && ClassIndexOf(entry.m_Type) == c && kind != Kind_Enum &&
           kind != Kind_Object;
}

// An enumerator identifier that an enumeration member of `entry`'s type may hold.
bool IsEnumeratorFor(const MVTBL& entry, uint32_t value) noexcept {
    const int c = ClassIndexOf(MakeMemberID(value));
    const ClassType_TypeID* cls = ClassOfIndex(c);
    if (TypeIDToKind(cls) != Kind_Enum || !IsValidMemberID(cls, MakeMemberID(value)))
        return false;
    const int wanted = ClassIndexOf(entry.m_Type);
    return wanted == k_ClassEnum || wanted == c;
}

// A member identifier a MemberID member may hold.
bool IsMemberValue(uint32_t value) noexcept {
    const ClassType_MemberID* m = MakeMemberID(value);
    return IsValidMemberID(ClassOfIndex(ClassIndexOf(m)), m);
}

// IsEnumeratorFor, remembered until the class tables change.
bool Machine::EnumeratorFits(const MVTBL& entry, uint32_t value) noexcept {
    if (m_CheckedEnumeratorsEpoch != m_CheckedEpoch) {
        m_CheckedEnumerators.fill(CheckedEnumerator{});
        m_CheckedEnumeratorsEpoch = m_CheckedEpoch; // Member has just brought it up to date
    }
    const auto typeBits = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(entry.m_Type));
    CheckedEnumerator& checked = m_CheckedEnumerators[((value ^ typeBits) * 0x9E3779B1u) >> 26];
    if (checked.m_Type == entry.m_Type && checked.m_Value == value && entry.m_Type != nullptr)
        return true;
    if (!IsEnumeratorFor(entry, value))
        return false;
    checked = CheckedEnumerator{entry.m_Type, value};
    return true;
}

template <class V>
EResult Machine::SetScalar(const ClassType_MemberID* m, const MVTBL& entry, int words) {
    if (!Need(static_cast<uint64_t>(words)))
        return Fail("truncated instruction");
    if (!HoldsValue(entry, m_EntryKind, ScriptValueTraits<V>::k_Class, false))
        return TypeError(entry, ScriptValueTraits<V>::k_Name);
    const V value = Take<V>();
    m_Current->Set(MakeMemberID<ClassMemberOf<V, false>>(IDValue(m)), value);
    return SOK;
}

template <class V>
EResult Machine::SetPlainArray(const ClassType_MemberID* m, const MVTBL& entry, uint32_t count) {
    using Element = typename ScriptValueTraits<V>::Element;
    static_assert(sizeof(Element) % 4 == 0);
    if (!Need(static_cast<uint64_t>(count) * (sizeof(Element) / 4)))
        return Fail("truncated instruction");
    if (!HoldsValue(entry, m_EntryKind, ScriptValueTraits<V>::k_Class, true))
        return TypeError(entry, ScriptValueTraits<V>::k_Name);
    Array<Element> elements;
    elements.Resize(static_cast<int>(count));
    if (count > 0)
        std::memcpy(static_cast<void*>(&elements[0]), At(m_Pos), count * sizeof(Element));
    m_Pos += count * (sizeof(Element) / 4);
    (void)m_Current->SetArray<V>(static_cast<const ClassMember*>(m), elements);
    return SOK;
}

EResult Machine::SetMember(uint32_t op) {
    if (!Need(1))
        return Fail("truncated instruction");
    const ClassType_MemberID* m = nullptr;
    const MVTBL* entryPtr = nullptr;
    if (const EResult r = Member(m, entryPtr); Failed(r))
        return r;
    const MVTBL& entry = *entryPtr;
    const uint32_t id = IDValue(m);
    switch (static_cast<AsmOp>(op)) {
    case AsmOp::mfnset_tO_cT_cOTu: {
        if (!Need(2))
            return Fail("truncated instruction");
        if (IsArrayEntry(entry) || m_EntryKind != Kind_Object)
            return TypeError(entry, "Object");
        const uint32_t classWord = Word();
        const uint32_t number = Word();
        ScriptObject* target = TakeHeld(classWord, number, m, entry);
        if (target == nullptr) {
            if (const EResult r = Reference(classWord, number, entry, target); Failed(r))
                return r;
        }
        m_Current->Set(MakeMemberID<ClassMember_Object>(id), target);
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cE: {
        if (!Need(1))
            return Fail("truncated instruction");
        if (IsArrayEntry(entry) || m_EntryKind != Kind_Enum)
            return TypeError(entry, "Enum");
        const uint32_t value = Word();
        if (!EnumeratorFits(entry, value))
            return Fail("invalid enumeration value", EInvalidArgument);
        m_Current->Set(MakeMemberID<ClassMember_Enum>(id), MakeMemberID<ClassType_Enum>(value));
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cM: {
        if (!Need(1))
            return Fail("truncated instruction");
        if (!HoldsValue(entry, m_EntryKind, k_ClassMemberID, false))
            return TypeError(entry, "MemberID");
        const uint32_t value = Word();
        if (!IsMemberValue(value))
            return Fail("invalid member identifier value", EInvalidArgument);
        m_Current->Set(MakeMemberID<ClassMember_MemberID>(id), MakeMemberID(value));
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cb: {
        if (!Need(1))
            return Fail("truncated instruction");
        if (!HoldsValue(entry, m_EntryKind, k_ClassBool, false))
            return TypeError(entry, "Bool");
        m_Current->Set(MakeMemberID<ClassMember_Bool>(id), Word() != 0);
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cs: {
        if (!Need(1))
            return Fail("truncated instruction");
        const uint32_t length = Word();
        const uint64_t words = (static_cast<uint64_t>(length) + 3) / 4;
        if (!Need(words))
            return Fail("truncated instruction");
        if (!HoldsValue(entry, m_EntryKind, k_ClassString, false))
            return TypeError(entry, "String");
        const String text(reinterpret_cast<const char*>(At(m_Pos)), static_cast<int>(length));
        m_Pos += words;
        m_Current->Set(MakeMemberID<ClassMember_String>(id), text);
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_ci:
        return SetScalar<int32_t>(m, entry, 1);
    case AsmOp::mfnset_tO_cT_cI:
        return SetScalar<int64_t>(m, entry, 2);
    case AsmOp::mfnset_tO_cT_cu:
        return SetScalar<uint32_t>(m, entry, 1);
    case AsmOp::mfnset_tO_cT_cU:
        return SetScalar<uint64_t>(m, entry, 2);
    case AsmOp::mfnset_tO_cT_cf:
        return SetScalar<float>(m, entry, 1);
    case AsmOp::mfnset_tO_cT_cF:
        return SetScalar<double>(m, entry, 2);
    case AsmOp::mfnset_tO_cT_cv2f:
        return SetScalar<Vector2f>(m, entry, 2);
    case AsmOp::mfnset_tO_cT_cv3f:
        return SetScalar<Vector3f>(m, entry, 3);
    case AsmOp::mfnset_tO_cT_cv4f:
        return SetScalar<Vector4f>(m, entry, 4);
    case AsmOp::mfnset_tO_cT_cm4f:
        return SetScalar<Matrix4f>(m, entry, 16);
    case AsmOp::mfnset_tO_cT_cspf:
        return SetScalar<Spheref>(m, entry, 4);
    case AsmOp::mfnset_tO_cT_cqf:
        return SetScalar<Quaternionf>(m, entry, 4);
    default:
        break;
    }
    // Arrays: a count, then the elements.
    if (!Need(1))
        return Fail("truncated instruction");
    const uint32_t count = Word();
    // No element takes less than a byte: a count past the remaining bytes is a lie.
    if (static_cast<uint64_t>(count) > (m_DataWords - m_Pos) * 4)
        return Fail("truncated instruction");
    switch (static_cast<AsmOp>(op)) {
    case AsmOp::mfnset_tO_cT_cAOTu: {
        if (!Need(static_cast<uint64_t>(count) * 2))
            return Fail("truncated instruction");
        if (!IsArrayEntry(entry) || m_EntryKind != Kind_Object)
            return TypeError(entry, "Object");
        Array<Obj<ScriptObject>> elements;
        elements.Reserve(static_cast<int>(count));
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t classWord = Word();
            const uint32_t number = Word();
            ScriptObject* target = nullptr;
            if (const EResult r = Reference(classWord, number, entry, target); Failed(r))
                return r;
            elements.Add(Obj<ScriptObject>(target));
        }
        (void)m_Current->SetArray<ScriptObject*>(static_cast<const ClassMember*>(m), elements);
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cAE:
    case AsmOp::mfnset_tO_cT_cAM: {
        const bool isEnum = static_cast<AsmOp>(op) == AsmOp::mfnset_tO_cT_cAE;
        if (!Need(count))
            return Fail("truncated instruction");
        if (isEnum ? (!IsArrayEntry(entry) || m_EntryKind != Kind_Enum)
                   : !HoldsValue(entry, m_EntryKind, k_ClassMemberID, true))
            return TypeError(entry, isEnum ? "Enum" : "MemberID");
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t value = WordAt(m_Pos + i);
            if (isEnum ? !EnumeratorFits(entry, value) : !IsMemberValue(value))
                return Fail(isEnum ? "invalid enumeration value"
                                   : "invalid member identifier value",
                            EInvalidArgument);
        }
        if (isEnum) {
            Array<const ClassType_Enum*> elements;
            elements.Reserve(static_cast<int>(count));
            for (uint32_t i = 0; i < count; ++i)
                elements.Add(MakeMemberID<ClassType_Enum>(Word()));
            (void)m_Current->SetArray<const ClassType_Enum*>(static_cast<const ClassMember*>(m),
                                                             elements);
        } else {
            Array<const ClassType_MemberID*> elements;
            elements.Reserve(static_cast<int>(count));
            for (uint32_t i = 0; i < count; ++i)
                elements.Add(MakeMemberID(Word()));
            (void)m_Current->SetArray<const ClassType_MemberID*>(static_cast<const ClassMember*>(m),
                                                                 elements);
        }
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cAb: {
        const uint64_t words = (static_cast<uint64_t>(count) + 3) / 4;
        if (!Need(words))
            return Fail("truncated instruction");
        if (!HoldsValue(entry, m_EntryKind, k_ClassBool, true))
            return TypeError(entry, "Bool");
        const unsigned char* bytes = At(m_Pos);
        Array<bool> elements;
        elements.Reserve(static_cast<int>(count));
        for (uint32_t i = 0; i < count; ++i)
            elements.Add(bytes[i] != 0);
        m_Pos += words;
        (void)m_Current->SetArray<bool>(static_cast<const ClassMember*>(m), elements);
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cAs: {
        if (!HoldsValue(entry, m_EntryKind, k_ClassString, true))
            return TypeError(entry, "String");
        Array<String> elements;
        for (uint32_t i = 0; i < count; ++i) {
            if (!Need(1))
                return Fail("truncated instruction");
            const uint32_t length = Word();
            const uint64_t words = (static_cast<uint64_t>(length) + 3) / 4;
            if (!Need(words))
                return Fail("truncated instruction");
            elements.Add(
                String(reinterpret_cast<const char*>(At(m_Pos)), static_cast<int>(length)));
            m_Pos += words;
        }
        (void)m_Current->SetArray<String>(static_cast<const ClassMember*>(m), elements);
        return SOK;
    }
    case AsmOp::mfnset_tO_cT_cAi:
        return SetPlainArray<int32_t>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAI:
        return SetPlainArray<int64_t>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAu:
        return SetPlainArray<uint32_t>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAU:
        return SetPlainArray<uint64_t>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAf:
        return SetPlainArray<float>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAF:
        return SetPlainArray<double>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAv2f:
        return SetPlainArray<Vector2f>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAv3f:
        return SetPlainArray<Vector3f>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAv4f:
        return SetPlainArray<Vector4f>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAm4f:
        return SetPlainArray<Matrix4f>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAspf:
        return SetPlainArray<Spheref>(m, entry, count);
    case AsmOp::mfnset_tO_cT_cAqf:
        return SetPlainArray<Quaternionf>(m, entry, count);
    default:
        break;
    }
    return Fail("illegal opcode", EUnimplemented); // not reached: Run dispatches only the table
}

bool IsMemberSet(uint32_t op) noexcept {
    return op == 290 || op == 293 || op == 294 || (op >= 296 && op <= 309) || op == 322 ||
           op == 325 || op == 326 || (op >= 328 && op <= 341);
}

EResult Machine::Run(Obj<ScriptObject>& result) {
    for (;;) {
        m_Start = m_Pos;
        // Operands are read only after Need: the opcode is the one word read unchecked.
        const uint32_t op = m_Pos < m_DataWords ? Word() : 0;
        if (static_cast<AsmOp>(op) == AsmOp::brk_v) {
            // Opcode 0 ends the program wherever it stands; data behind it (programs written
            // back to back) is not run, which a reader should learn of.
            const size_t end = m_Pos * 4;
            if (end < m_DataBytes)
                Internal::LogScriptWarn(
                    "VPUAsmLoader::Execute: ", static_cast<int64_t>(m_DataBytes - end),
                    " bytes after the end of the program ignored");
            result = m_Current;
            return SOK;
        }
        EResult r = SOK;
        if (static_cast<AsmOp>(op) == AsmOp::create_tO_cOTu) {
            if (!Need(2))
                return Fail("truncated instruction");
            const uint32_t classWord = Word();
            const uint32_t number = Word();
            ScriptObject* object = nullptr;
            bool created = false;
            r = Object(classWord, number, object, &created);
            if (Succeeded(r)) {
                m_Current = object;
                m_CurrentCreated = created;
            }
        } else if (static_cast<AsmOp>(op) == AsmOp::select_tO_cOu) {
            if (!Need(1))
                return Fail("truncated instruction");
            const uint32_t number = Word();
            ScriptObject* object = number != 0 ? m_Namespace->FindObjectID(number) : &G_NilObject;
            if (object->IsNil())
                return Fail(number == 0 ? "object number 0" : "select of an undefined object");
            m_Current = object;
            m_CurrentCreated = false;
        } else if (IsMemberSet(op)) {
            r = SetMember(op);
        } else {
            Internal::LogScriptError("VPUAsmLoader::Execute: illegal opcode: ", op);
            return EUnimplemented;
        }
        if (Failed(r))
            return r;
    }
}

} // namespace

VPUAsmLoader::VPUAsmLoader(StreamPipe* pipe) : m_Pipe(pipe) {}

EResult VPUAsmLoader::Execute(ScriptNamespace* ns, Obj<ScriptObject>& result) {
    if (ScriptNamespace::IsNil(ns) || !m_Pipe) {
        Internal::LogScriptError("VPUAsmLoader::Execute: no namespace or no pipe");
        return EInvalidArgument;
    }
    // Refused before reading when the pipe can tell its size; counted while reading otherwise.
    int64_t known = 0;
    const int64_t here = m_Pipe->Seek(0, SeekCurrent);
    if (here >= 0) {
        const int64_t end = m_Pipe->Seek(0, SeekEnd);
        (void)m_Pipe->Seek(here, SeekBegin);
        known = end - here;
        if (known >= k_MaxProgramBytes) {
            Internal::LogScriptError("VPUAsmLoader::Execute: program of ", end - here,
                                     " bytes refused (1 GiB or more)");
            return EOverflow;
        }
    }
    // A memory block of whole words runs where it is, without a copy of tens of megabytes.
    if constexpr (std::endian::native == std::endian::little) {
        if (auto* const memory = dynamic_cast<StreamPipeMemory*>(m_Pipe.Get())) {
            memory->Lock();
            const int position = memory->GetPosition();
            const int size = memory->GetSize() - position;
            const unsigned char* data = memory->GetData() + position;
            if (size >= 0 && size % 4 == 0) {
                Machine machine(ns, data, static_cast<size_t>(size));
                const EResult r = machine.Run(result);
                (void)memory->Seek(0, SeekEnd); // read to the end, as a copy would have
                memory->Unlock();
                return r;
            }
            memory->Unlock();
        }
    }
    // The words are read in place (the file is little-endian), with room for the zero word
    // that ends every program: a pipe that knows its size in one read, the rest (all of it
    // for other pipes) in pieces, so that storage grows only as bytes arrive.
    std::vector<uint32_t> words;
    size_t size = 0;
    const auto bytes = [&words] { return reinterpret_cast<unsigned char*>(words.data()); };
    if (known > 0) {
        words.resize(static_cast<size_t>(known + 3) / 4 + 1);
        const int n = ReadFully(*m_Pipe, bytes(), static_cast<int>(known));
        size = static_cast<size_t>(n > 0 ? n : 0);
    }
    std::vector<unsigned char> piece;
    for (;;) {
        piece.resize(k_Piece);
        const int n = m_Pipe->Read(piece.data(), k_Piece);
        if (n <= 0)
            break;
        if (static_cast<int64_t>(size) + n >= k_MaxProgramBytes) {
            Internal::LogScriptError("VPUAsmLoader::Execute: program of 1 GiB or more refused");
            return EOverflow;
        }
        words.resize((size + static_cast<size_t>(n) + 3) / 4 + 1);
        std::memcpy(bytes() + size, piece.data(), static_cast<size_t>(n));
        size += static_cast<size_t>(n);
    }
    const size_t dataWords = (size + 3) / 4;
    words.resize(dataWords + 1);
    // The pad bytes of the last word and the end word are zero whatever the pipe left there.
    std::memset(reinterpret_cast<unsigned char*>(words.data()) + size, 0,
                (dataWords + 1) * 4 - size);
    if constexpr (std::endian::native == std::endian::big) {
        for (uint32_t& word : words)
            word = (word >> 24) | (word >> 8 & 0xFF00u) | (word << 8 & 0xFF0000u) | (word << 24);
    }
    Machine machine(ns, bytes(), size);
    return machine.Run(result);
}

} // namespace Quorlix
