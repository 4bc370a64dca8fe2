// Identifier encodings, the built-in numbering, member storage sizes and the boxed values.

#include "ScriptTestSupport.h"
#include "quorlix/script/ScriptObject.h"
#include "support/LogCapture.h"

#include <bit>

using namespace Quorlix;
using QuorlixTest::LogCapture;

namespace {

class ScriptTypes : public QuorlixTest::ScriptTest {};

TEST_F(ScriptTypes, IdentifiersDecodeTheSameInBothForms) {
    for (uint32_t value : {0x01FFF008u, 0x01000008u}) {
        const ClassType_MemberID* m = MakeMemberID(value);
        EXPECT_EQ(ClassIndexOf(m), k_ClassBool);
        EXPECT_EQ(MemberIndexOf(m), 1);
    }
    EXPECT_EQ(reinterpret_cast<intptr_t>(BuiltinTypeID(k_ClassObject)), -4032);
    EXPECT_EQ(ClassIndexOf(BuiltinTypeID(k_ClassObject)), k_ClassObject);
    EXPECT_EQ(IDValue(MemberIDOf(1, k_ClassObject)), 0x01FFF040u);
    EXPECT_TRUE(SameClass(MakeTypeID(300), reinterpret_cast<const void*>(uintptr_t{0x12C})));
}

// Every built-in class is found by its name in the class walk; here what is not a class.
TEST_F(ScriptTypes, LookupsAnswerNullForWhatIsNotABuiltinClass) {
    // Quaternionf is a member type without a class; names compare case-sensitively.
    EXPECT_EQ(TypeIDToString(BuiltinTypeID(k_ClassQuaternionf)), nullptr);
    EXPECT_EQ(TypeIDToKind(BuiltinTypeID(k_ClassQuaternionf)), Kind_None);
    EXPECT_EQ(FindBuiltinClassID("i32"), nullptr);
    EXPECT_EQ(TypeIDToString(nullptr), nullptr);
    EXPECT_EQ(TypeIDToKind(MakeTypeID(0xFFF)), Kind_None);

    auto door = QuorlixTest::DefineClass("Door", nullptr, {});
    EXPECT_STREQ(TypeIDToString(door->GetClassID()), "Door");
    EXPECT_EQ(FindBuiltinClassID("Door"), nullptr);

    const ClassType_MemberID* zxy = FindClassMember(BuiltinTypeID(56), "ZXY");
    ASSERT_NE(zxy, nullptr);
    EXPECT_EQ(MemberIndexOf(zxy), 3);
    EXPECT_EQ(IsTableOf(56)[3].m_OffsetOrValue, 2u);
}

TEST_F(ScriptTypes, MemberStorageUsesEightByteHandles) {
    const struct {
        unsigned m_Flags;
        int m_Type;
        int m_Size;
        int m_Align;
    } cases[] = {
        {0x400, k_ClassBool, 8, 8},
        {0x400, k_ClassMatrix4f, 8, 8},
        {0, k_ClassScriptObject, 8, 8},
        {0, k_ClassNil, 8, 8},
        {0, k_ClassString, 8, 8},
        {0, k_ClassEnum, 4, 4},
        {0, k_ClassMemberID, 4, 4},
        {0, k_ClassBool, 4, 4},
        {0, k_ClassI32, 4, 4},
        {0, k_ClassU64, 8, 8},
        {0, k_ClassVector2f, 8, 8},
        {0, k_ClassVector3f, 12, 4},
        {0, k_ClassQuaternionf, 16, 4},
        {0, k_ClassMatrix4f, 64, 4},
        {0, 17, 16, 4},
        {0, 23, 128, 4},
        {0, 25, 24, 4},
        {0, 30, 0, 4},
        {0, 37, 0, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScriptVarSize(c.m_Flags, BuiltinTypeID(c.m_Type)), c.m_Size) << c.m_Type;
        EXPECT_EQ(ScriptVarAlignment(c.m_Flags, BuiltinTypeID(c.m_Type)), c.m_Align) << c.m_Type;
    }
    LogCapture log;
    EXPECT_EQ(ScriptVarSize(0, BuiltinTypeID(7)), 0);
    EXPECT_EQ(ScriptVarSize(0, BuiltinTypeID(k_ClassObject)), 0);
    EXPECT_EQ(log.Messages(),
              std::vector<std::string>(
                  2, "[Error]ScriptVarSize: failed to determine size for unknown type."));
}

TEST_F(ScriptTypes, ValueClassesBoxOneValueMember) {
    Obj<ScriptObject> number = ScriptObject::Create(BuiltinTypeID(k_ClassI32));
    const auto* value = MemberIDOf<ClassMember_I32>(1, k_ClassI32);
    EXPECT_EQ(number->Get(value), 0);
    EXPECT_EQ(FindClassMember(BuiltinTypeID(k_ClassI32), "Value"), value);
    // A boxed value is a whole object: a weak target fits in its block.
    EXPECT_NE(number->GetWeakObjTarget(), &G_NilWeakObjTarget);

    Obj<ScriptObject> sphere = ScriptObject::Create(BuiltinTypeID(k_ClassSpheref));
    const Spheref empty = sphere->Get(MemberIDOf<ClassMember_Spheref>(1, k_ClassSpheref));
    EXPECT_EQ(std::bit_cast<uint32_t>(empty.GetRadius()), 0xA4E69595u);
    Obj<ScriptObject> matrix = ScriptObject::Create(BuiltinTypeID(k_ClassMatrix4f));
    EXPECT_EQ(matrix->Get(MemberIDOf<ClassMember_Matrix4f>(1, k_ClassMatrix4f)),
              Matrix4f::Identity);
    EXPECT_TRUE(ScriptObject::Create(BuiltinTypeID(k_ClassNil))->IsNil());
    EXPECT_TRUE(ScriptObject::Create(BuiltinTypeID(k_ClassQuaternionf))->IsNil());
}

} // namespace
