#pragma once
// Checks of registered classes against a registry transcribed as a table: name, identifier,
// base, members (index, name, value type, flags) and what a fresh object holds, and of
// enumerations (name, scope, enumerators with their values).

#include "quorlix/script/ScriptObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace QuorlixTest {

/// An Enum member's default: enumerator `m_Index` of enumeration `m_Class` (an index).
struct EnumeratorDefault {
    int m_Class;
    int m_Index;
};
/// An index member's default: `m_Count` elements, each `m_Each` (numbers only).
struct ElementsDefault {
    int m_Count;
    double m_Each;
};
/// monostate: the nil object for object members, no elements for index and array members.
using MemberDefault = std::variant<std::monostate, bool, int32_t, uint32_t, float, double,
                                   Quorlix::Vector2f, Quorlix::Vector3f, Quorlix::Vector4f,
                                   const char*, EnumeratorDefault, ElementsDefault>;

// Value types of member tables, short, as the tables below use them.
constexpr int k_Obj = Quorlix::k_ClassScriptObject;
constexpr int k_Enum = Quorlix::k_ClassEnum;
constexpr int k_Bool = Quorlix::k_ClassBool;
constexpr int k_Str = Quorlix::k_ClassString;
constexpr int k_I32 = Quorlix::k_ClassI32;
constexpr int k_U32 = Quorlix::k_ClassU32;
constexpr int k_F32 = Quorlix::k_ClassF32;
constexpr int k_F64 = Quorlix::k_ClassF64;
constexpr int k_V2 = Quorlix::k_ClassVector2f;
constexpr int k_V3 = Quorlix::k_ClassVector3f;
constexpr int k_V4 = Quorlix::k_ClassVector4f;

struct RegistryMember {
    int m_Index;
    const char* m_Name;
    int m_Type; // value type as a built-in class index
    unsigned m_Flags;
    MemberDefault m_Default = {};
};

struct RegistryClass {
    const char* m_Name;
    int m_Id;     // e.g. -3968
    int m_BaseId; // -4094 for ScriptObject
    std::vector<RegistryMember> m_Members;
};

struct RegistryEnumeration {
    const char* m_Name;
    int m_Id;
    const char* m_Scope;
    std::vector<const char*> m_Enumerators; // by index from 1, values index - 1
};

inline int IndexOfId(int id) {
    return id & 0xFFF;
}

/// The class's tables, name, base and members are those of `spec`; every member is found by
/// its name under its identifier.
inline void ExpectRegistered(const RegistryClass& spec) {
    using namespace Quorlix;
    SCOPED_TRACE(spec.m_Name);
    const int c = IndexOfId(spec.m_Id);
    const MVTBL* table = IsTableOf(c);
    ASSERT_NE(table, nullptr);
    const MVTBLHeader* header = TableHeader(table);
    EXPECT_STREQ(TypeIDToString(MakeTypeID(spec.m_Id)), spec.m_Name);
    EXPECT_EQ(header->m_Kind, Kind_Object);
    if (spec.m_BaseId == -4094)
        EXPECT_EQ(header->m_BaseID, nullptr);
    else
        EXPECT_EQ(ClassIndexOf(header->m_BaseID), IndexOfId(spec.m_BaseId));
    EXPECT_EQ(header->m_Count, static_cast<int>(spec.m_Members.size()) + 1);
    for (const RegistryMember& m : spec.m_Members) {
        SCOPED_TRACE(m.m_Name);
        ASSERT_LT(m.m_Index, header->m_Count);
        const MVTBL& entry = table[m.m_Index];
        EXPECT_STREQ(entry.m_Name, m.m_Name);
        EXPECT_EQ(ClassIndexOf(entry.m_Type), m.m_Type);
        EXPECT_EQ(entry.m_Flags, m.m_Flags);
        EXPECT_EQ(IDValue(FindClassMember(MakeTypeID(spec.m_Id), m.m_Name)),
                  IDValue(MemberIDOf(m.m_Index, c)));
    }
}

template <class V>
void ExpectFreshValue(const Quorlix::ScriptObject& object, int c, const RegistryMember& m) {
    using namespace Quorlix;
    using Element = typename ScriptValueTraits<V>::Element;
    if ((m.m_Flags & MemberIsArray) != 0) {
        Array<Element> array;
        EXPECT_TRUE(object.GetArray<V>(MemberIDOf<ClassMember>(m.m_Index, c), array));
        EXPECT_EQ(array.Size(), 0);
    } else if ((m.m_Flags & MemberIsIndex) != 0) {
        const auto* id = MemberIDOf<ClassMemberOf<V, true>>(m.m_Index, c);
        const auto* each = std::get_if<ElementsDefault>(&m.m_Default);
        ASSERT_EQ(object.Size(id), each != nullptr ? each->m_Count : 0);
        if constexpr (std::is_arithmetic_v<V>) {
            for (int i = 0; each != nullptr && i < each->m_Count; ++i)
                EXPECT_EQ(object.Get(id, i), static_cast<V>(each->m_Each));
        }
    } else {
        const V value = object.Get(MemberIDOf<ClassMemberOf<V, false>>(m.m_Index, c));
        if constexpr (std::is_same_v<V, ScriptObject*>) {
            EXPECT_TRUE(value->IsNil());
        } else if constexpr (std::is_same_v<V, const ClassType_Enum*>) {
            const auto* e = std::get_if<EnumeratorDefault>(&m.m_Default);
            ASSERT_NE(e, nullptr) << "the table states no enumerator";
            EXPECT_EQ(IDValue(value), IDValue(MemberIDOf(e->m_Index, e->m_Class)));
        } else if constexpr (std::is_same_v<V, String>) {
            const auto* text = std::get_if<const char*>(&m.m_Default);
            ASSERT_NE(text, nullptr) << "the table states no text";
            EXPECT_STREQ(value.GetCPtr(), *text);
        } else if constexpr (std::is_same_v<V, const ClassType_MemberID*>) {
            EXPECT_EQ(value, nullptr);
        } else {
            const auto* want = std::get_if<V>(&m.m_Default);
            ASSERT_NE(want, nullptr) << "the table states a default of another type";
            EXPECT_EQ(value, *want);
        }
    }
}

/// A fresh object of the class (made through the registry) holds the defaults of `spec`.
inline void ExpectDefaults(const RegistryClass& spec) {
    using namespace Quorlix;
    SCOPED_TRACE(spec.m_Name);
    const int c = IndexOfId(spec.m_Id);
    Obj<ScriptObject> object = ScriptObject::Create(MakeTypeID(spec.m_Id));
    ASSERT_FALSE(object->IsNil());
    EXPECT_STREQ(object->GetObjectClassName(), spec.m_Name);
    using Check = void (*)(const ScriptObject&, int, const RegistryMember&);
    static const std::pair<int, Check> k_Checks[] = {
        {k_ClassScriptObject, &ExpectFreshValue<ScriptObject*>},
        {k_ClassEnum, &ExpectFreshValue<const ClassType_Enum*>},
        {k_ClassMemberID, &ExpectFreshValue<const ClassType_MemberID*>},
        {k_ClassBool, &ExpectFreshValue<bool>},
        {k_ClassString, &ExpectFreshValue<String>},
        {k_ClassI32, &ExpectFreshValue<int32_t>},
        {k_ClassU32, &ExpectFreshValue<uint32_t>},
        {k_ClassF32, &ExpectFreshValue<float>},
        {k_ClassF64, &ExpectFreshValue<double>},
        {k_ClassVector2f, &ExpectFreshValue<Vector2f>},
        {k_ClassVector3f, &ExpectFreshValue<Vector3f>},
        {k_ClassVector4f, &ExpectFreshValue<Vector4f>}};
    for (const RegistryMember& m : spec.m_Members) {
        SCOPED_TRACE(m.m_Name);
        const auto check = std::find_if(std::begin(k_Checks), std::end(k_Checks),
                                        [&](const auto& entry) { return entry.first == m.m_Type; });
        if (check == std::end(k_Checks))
            ADD_FAILURE() << "no check for value type " << m.m_Type;
        else
            check->second(*object, c, m);
    }
}

/// The enumeration is registered under its name and scope, on ScriptObject, with its
/// enumerators in index order, each worth index - 1.
inline void ExpectEnumeration(const RegistryEnumeration& spec) {
    using namespace Quorlix;
    SCOPED_TRACE(spec.m_Name);
    const MVTBL* table = IsTableOf(IndexOfId(spec.m_Id));
    ASSERT_NE(table, nullptr);
    const MVTBLHeader* header = TableHeader(table);
    EXPECT_STREQ(TypeIDToString(MakeTypeID(spec.m_Id)), spec.m_Name);
    EXPECT_STREQ(TypeIDToScope(MakeTypeID(spec.m_Id)), spec.m_Scope);
    EXPECT_EQ(header->m_Kind, Kind_Enum);
    EXPECT_EQ(header->m_BaseID, nullptr);
    ASSERT_EQ(header->m_Count, static_cast<int>(spec.m_Enumerators.size()) + 1);
    for (int k = 1; k < header->m_Count; ++k) {
        EXPECT_STREQ(table[k].m_Name, spec.m_Enumerators[static_cast<size_t>(k - 1)]);
        EXPECT_EQ(table[k].m_OffsetOrValue, static_cast<uint32_t>(k - 1));
    }
}

} // namespace QuorlixTest
