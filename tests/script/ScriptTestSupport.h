#pragma once
// Helpers of the object-model tests: the class tables of an initialised library, classes
// defined from member lists, and identifiers as the log prints them.

#include "quorlix/library/Library.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/ScriptObject.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

namespace QuorlixTest {

/// Fixture whose suite runs with the library initialised (the class tables exist).
class ScriptTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Quorlix::DLLInitialize(0); }
    static void TearDownTestSuite() { Quorlix::DLLDeInitialize(0); }
};

struct MemberSpec {
    const char* m_Name;
    int m_Type; // built-in class index
    unsigned m_Flags = 0;
    const void* m_Default = nullptr;
};

/// A script class named `name` on `base` with `members`, ended (its hash built).
inline Quorlix::Obj<Quorlix::ScriptClass> DefineClass(const char* name,
                                                      const Quorlix::ClassType_TypeID* base,
                                                      std::initializer_list<MemberSpec> members) {
    using namespace Quorlix;
    Obj<ScriptClass> cls = ScriptClass::Create();
    EXPECT_NE(cls->DefClassObject(name, base), nullptr) << name;
    for (const MemberSpec& m : members)
        EXPECT_NE(cls->DefMemberVar(m.m_Name, BuiltinTypeID(m.m_Type), m.m_Flags, m.m_Default),
                  nullptr)
            << m.m_Name;
    cls->EndClass();
    return cls;
}

/// An array of `values`.
template <class T>
Quorlix::Array<T> ArrayOf(std::initializer_list<T> values) {
    Quorlix::Array<T> out;
    for (const T& v : values)
        out.Add(v);
    return out;
}

/// Sets every object member of `objects` (their classes and bases) to nil or empty, so that
/// links between them, cycles included, no longer keep them alive. Counted references do not
/// collect cycles: tests that build them break them before the objects are released.
inline void BreakLinks(const Quorlix::Array<Quorlix::Obj<Quorlix::ScriptObject>>& objects) {
    using namespace Quorlix;
    for (const Obj<ScriptObject>& o : objects) {
        for (const MVTBL* table = o->GetClassTable(); table != nullptr;) {
            const MVTBLHeader* header = TableHeader(table);
            for (int k = 1; k < header->m_Count; ++k) {
                if (table[k].m_Name == nullptr || TypeIDToKind(table[k].m_Type) != Kind_Object)
                    continue;
                const ClassType_MemberID* m = MemberIDOf(k, ClassIndexOf(header->m_ClassID));
                if ((table[k].m_Flags & (MemberIsIndex | MemberIsArray)) != 0) {
                    o->SetArray<ScriptObject*>(static_cast<const ClassMember*>(m),
                                               Array<Obj<ScriptObject>>());
                } else {
                    ScriptObject* nil = &G_NilObject;
                    o->Entry(m).Set(o.Get(), m, 0, &nil);
                }
            }
            table =
                header->m_BaseID != nullptr ? IsTableOf(ClassIndexOf(header->m_BaseID)) : nullptr;
        }
    }
}

/// An identifier the way the log's pointer notation prints it.
inline std::string Hex(const void* id) {
    char text[32];
    std::snprintf(text, sizeof(text), "%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(id)));
    return text;
}

} // namespace QuorlixTest
