#include "quorlix/core/Memory.h"

#include <gtest/gtest.h>

using namespace Quorlix;

namespace {

// Each test registers records of its own types, so no other record shares their names.
struct SharedNumberProbe {};
struct OtherNumberProbe {};
struct LinkProbe {};

TypeInfo Unregistered() {
    return TypeInfo{nullptr, 0, nullptr, nullptr, 0, nullptr, nullptr};
}

template <class T>
void Register(const TypeInfo& record) {
    RegisterTypeInfo(record, &DestroyBlockElements<T>, static_cast<int>(sizeof(T)), &typeid(T));
}

} // namespace

TEST(TypeInfo, RecordsOfOneTypeShareNumberAndClassTable) {
    TypeInfo first = Unregistered();
    TypeInfo second = Unregistered();
    TypeInfo other = Unregistered();
    Register<SharedNumberProbe>(first);
    const unsigned numbers = GetTypeNumberCount();
    Register<SharedNumberProbe>(second);
    Register<OtherNumberProbe>(other);
    EXPECT_EQ(first.m_TypeNumber, numbers);
    EXPECT_EQ(second.m_TypeNumber, numbers);
    EXPECT_EQ(other.m_TypeNumber, numbers + 1);

    MVTBL* rows[1] = {nullptr};
    RegisterCVTBL(second, rows);
    EXPECT_EQ(first.m_ClassTable, rows);
    EXPECT_EQ(other.m_ClassTable, nullptr);
    void* object = Memory::NewObjectBlock(sizeof(SharedNumberProbe), 1, first, 0);
    EXPECT_EQ(HeaderOf(object)->m_ClassRow, rows);
    Memory::FreeBlock(object);
}

TEST(TypeInfo, RegistryLinksNewestFirst) {
    const int before = GetTypeInfoRegistrationCount();
    const TypeInfo* oldHead = GetTypeInfoRegistryHead();
    TypeInfo a = Unregistered();
    TypeInfo b = Unregistered();
    TypeInfo c = Unregistered();
    Register<LinkProbe>(a);
    Register<LinkProbe>(b);
    Register<LinkProbe>(c);
    Register<LinkProbe>(b); // already linked: changes nothing
    EXPECT_EQ(GetTypeInfoRegistrationCount(), before + 3);
    EXPECT_EQ(GetTypeInfoRegistryHead(), &c);
    EXPECT_EQ(c.m_Previous, nullptr);
    EXPECT_EQ(c.m_Next, &b);
    EXPECT_EQ(b.m_Next, &a);
    EXPECT_EQ(a.m_Previous, &b);
    EXPECT_EQ(a.m_Next, oldHead);

    UnregisterTypeInfo(b);
    EXPECT_EQ(c.m_Next, &a);
    EXPECT_EQ(a.m_Previous, &c);
    UnregisterTypeInfo(c);
    EXPECT_EQ(GetTypeInfoRegistryHead(), &a);
    EXPECT_EQ(a.m_Previous, nullptr);
    UnregisterTypeInfo(b); // no longer linked
    UnregisterTypeInfo(Unregistered());
    EXPECT_EQ(GetTypeInfoRegistrationCount(), before + 1);
}

TEST(TypeInfo, DestroyedCopiesLeaveTheOriginalLinked) {
    const int before = GetTypeInfoRegistrationCount();
    TypeInfo older = Unregistered();
    TypeInfo head = Unregistered();
    older = RegisterTypeInfo(older, &DestroyBlockElements<LinkProbe>, 1, &typeid(LinkProbe));
    head = RegisterTypeInfo(head, &DestroyBlockElements<LinkProbe>, 1, &typeid(LinkProbe));
    {
        TypeInfo copyOfHead = RegisterTypeInfo(head, nullptr, 0, nullptr);
        TypeInfo copyOfOlder = older;
    }
    EXPECT_EQ(GetTypeInfoRegistrationCount(), before + 2);
    EXPECT_EQ(GetTypeInfoRegistryHead(), &head);
    EXPECT_EQ(head.m_Next, &older);
    EXPECT_EQ(older.m_Previous, &head);
    EXPECT_EQ(head.m_Destroy, &DestroyBlockElements<LinkProbe>);
}
