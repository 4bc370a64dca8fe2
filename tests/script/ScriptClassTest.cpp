// Dotted names resolved through built-in classes and the scopes they are registered in, and
// script classes laid out behind the native part of built-in classes.

#include "ScriptTestSupport.h"
#include "quorlix/script/Object.h"
#include "support/LogCapture.h"

#include <string>
#include <type_traits>
#include <utility>
#include <vector>

using namespace Quorlix;
using QuorlixTest::DefineClass;
using QuorlixTest::LogCapture;

namespace {

class ScriptClasses : public QuorlixTest::ScriptTest {};

// Built-in slots that no class of the library takes, for the classes registered here.
constexpr int k_Lamp = 233;
constexpr int k_Constraint = 234;
constexpr int k_ConstraintType = 235;
constexpr int k_Bulb = 236;

int G_LampsDestroyed = 0;

class Lamp : public Object {
public:
    ~Lamp() override { ++G_LampsDestroyed; }
    float m_Power = 1.5f;
    String m_Label;
};

template <auto Field>
struct LampField {
    using V = std::remove_reference_t<decltype(std::declval<Lamp&>().*Field)>;
    static void Get(const ScriptObject* self, const ClassType_MemberID*, int, void* out,
                    const MVTBL&) {
        *static_cast<V*>(out) = static_cast<const Lamp*>(self)->*Field;
    }
    static void Set(ScriptObject* self, const ClassType_MemberID*, int, const void* value,
                    const MVTBL&) {
        static_cast<Lamp*>(self)->*Field = *static_cast<const V*>(value);
    }
};

void NoGet(const ScriptObject*, const ClassType_MemberID*, int, void*, const MVTBL&) {}
void NoSet(ScriptObject*, const ClassType_MemberID*, int, const void*, const MVTBL&) {}
int NoSize(const ScriptObject*, const ClassType_MemberID*, const MVTBL&) {
    return 0;
}
bool NoCompare(const ScriptObject*, const ClassType_MemberID*, const ScriptObject*, const MVTBL&) {
    return false;
}

void AddMember(const ClassType_MemberID* m, const char* name, int type, GetAccessor get,
               SetAccessor set) {
    EXPECT_TRUE(CreateMemberGeneric(m, name, get, &NoGet, set, &NoSet, nullptr, &NoSize, &NoCompare,
                                    &NoCompare, nullptr, nullptr, nullptr, nullptr, 1,
                                    MemberDefault, BuiltinTypeID(type)))
        << name;
}

const auto* const k_Power = MemberIDOf<ClassMember_F32>(1, k_Lamp);
const auto* const k_Label = MemberIDOf<ClassMember_String>(2, k_Lamp);

// Built-in class "Lamp" (base Object) with a native layout, for the time of a test.
struct LampClass {
    LampClass() {
        EXPECT_EQ(IsTableOf(k_Lamp), nullptr);
        CreateClass(
            BuiltinTypeID(k_Lamp), BuiltinTypeID(k_ClassObject), "", "Lamp", &TypeOf<Lamp>(),
            []() -> ScriptObject* { return NewObject<Lamp>(); }, Kind_Object);
        AddMember(k_Power, "Power", k_ClassF32, &LampField<&Lamp::m_Power>::Get,
                  &LampField<&Lamp::m_Power>::Set);
        AddMember(k_Label, "Label", k_ClassString, &LampField<&Lamp::m_Label>::Get,
                  &LampField<&Lamp::m_Label>::Set);
        EXPECT_TRUE(
            SetNativeLayout(BuiltinTypeID(k_Lamp), sizeof(Lamp), &CreateNativeWithExtra<Lamp>));
        CreateCVTBLHash(BuiltinTypeID(k_Lamp));
    }
    ~LampClass() { DeleteClass(BuiltinTypeID(k_Lamp)); }
};

const MVTBL& EntryOf(const ClassType_MemberID* m) {
    return IsTableOf(ClassIndexOf(m))[MemberIndexOf(m)];
}

TEST_F(ScriptClasses, DottedNamesResolveThroughClassesAndScopes) {
    const ClassType_TypeID* order = BuiltinTypeID(k_ClassRotationOrderEnum);
    {
        const ClassType_MemberID* xyz = FindScopedMember("Euler", "XYZ");
        EXPECT_EQ(xyz, MemberIDOf(1, k_ClassRotationOrderEnum));
        ASSERT_NE(xyz, nullptr);
        EXPECT_EQ(EntryOf(xyz).m_OffsetOrValue, 0u);
        const ClassType_MemberID* zyx = FindScopedMember("Euler.RotationOrderEnum", "ZYX");
        EXPECT_EQ(zyx, MemberIDOf(6, k_ClassRotationOrderEnum));
        ASSERT_NE(zyx, nullptr);
        EXPECT_EQ(EntryOf(zyx).m_OffsetOrValue, 5u);
        EXPECT_EQ(FindScopedMember("Object", "Name"), Object::NameMember());
    }
    {
        const std::pair<const char*, const char*> misses[] = {
            {"Euler", "Foo"}, {"euler", "XYZ"},   {"Euler", "xyz"},
            {"Eul", "XYZ"},   {"Object", "XYZ"},  {"Euler.RotationOrderEnum", "Name"},
            {nullptr, "XYZ"}, {"Euler", nullptr}, {"", "XYZ"},
            {"Euler", ""},    {"Euler.", "XYZ"},
        };
        for (const auto& [classPart, member] : misses)
            EXPECT_EQ(FindScopedMember(classPart, member), nullptr)
                << (classPart ? classPart : "(null)") << " " << (member ? member : "(null)");
    }
    {
        EXPECT_STREQ(TypeIDToScope(order), "Euler");
        EXPECT_EQ(TypeIDToScope(BuiltinTypeID(k_ClassObject)), nullptr) << "registered with \"\"";
        EXPECT_EQ(TypeIDToScope(MakeTypeID(300)), nullptr);
        EXPECT_EQ(TypeIDToScope(nullptr), nullptr);
        EXPECT_TRUE(IsBuiltinClassOrScope("Euler"));
        EXPECT_TRUE(IsBuiltinClassOrScope("Euler.RotationOrderEnum"));
        EXPECT_TRUE(IsBuiltinClassOrScope("Object"));
        EXPECT_FALSE(IsBuiltinClassOrScope("Eul"));
        EXPECT_FALSE(IsBuiltinClassOrScope(""));
        EXPECT_FALSE(IsBuiltinClassOrScope(nullptr));
        EXPECT_EQ(FindBuiltinClassID("Euler"), nullptr) << "a scope is not a class";
    }
    {
        // A class that owns a scope: its members and its scope's enumerators share one prefix.
        const ClassType_TypeID* constraint = BuiltinTypeID(k_Constraint);
        const ClassType_TypeID* type = BuiltinTypeID(k_ConstraintType);
        CreateClass(constraint, BuiltinTypeID(k_ClassObject), "", "Turnstile", nullptr, nullptr,
                    Kind_Object);
        AddMember(MemberIDOf(1, k_Constraint), "Weight", k_ClassF32, &NoGet, &NoSet);
        CreateClass(type, nullptr, "Turnstile", "Turnstile.ModeEnum", nullptr, nullptr, Kind_Enum);
        const char* const names[] = {"Locked", "Open", "Free", "Broken"};
        for (int i = 0; i < 4; ++i)
            EXPECT_TRUE(CreateEnumMemberGeneric(MemberIDOf<ClassType_Enum>(i + 1, k_ConstraintType),
                                                names[i], static_cast<unsigned>(i), 1,
                                                MemberIsSomeEnum));
        CreateCVTBLHash(constraint);
        CreateCVTBLHash(type);

        EXPECT_EQ(FindScopedMember("Turnstile", "Weight"), MemberIDOf(1, k_Constraint));
        EXPECT_EQ(FindScopedMember("Turnstile", "Name"), Object::NameMember());
        EXPECT_EQ(FindScopedMember("Turnstile", "Locked"), MemberIDOf(1, k_ConstraintType));
        EXPECT_EQ(FindScopedMember("Turnstile", "Broken"), MemberIDOf(4, k_ConstraintType));
        EXPECT_EQ(FindScopedMember("Turnstile.ModeEnum", "Open"), MemberIDOf(2, k_ConstraintType));
        EXPECT_EQ(FindScopedMember("Turnstile", "XYZ"), nullptr);
        EXPECT_EQ(FindScopedMember("Turnstile", "Weights"), nullptr);
        EXPECT_TRUE(IsBuiltinClassOrScope("Turnstile"));

        DeleteClass(type);
        DeleteClass(constraint);
        EXPECT_EQ(FindScopedMember("Turnstile", "Locked"), nullptr);
        EXPECT_EQ(FindScopedMember("Turnstile", "Weight"), nullptr);
        EXPECT_FALSE(IsBuiltinClassOrScope("Turnstile"));
    }
}

TEST_F(ScriptClasses, ScriptClassesExtendNativeClasses) {
    LampClass registration;
    const ClassType_TypeID* lamp = BuiltinTypeID(k_Lamp);
    const int destroyedBefore = G_LampsDestroyed;
    const String warm("warm");
    const int32_t three = 3;
    Obj<ScriptClass> shade = DefineClass(
        "Shade", lamp, {{"Tint", k_ClassString, 0, &warm}, {"Holder", k_ClassScriptObject}});
    Obj<ScriptClass> dimmer =
        DefineClass("Dimmer", shade->GetClassID(), {{"Level", k_ClassI32, 0, &three}});
    const ClassType_TypeID* dimmerID = dimmer->GetClassID();
    const ClassType_TypeID* shadeID = shade->GetClassID();
    const auto* tint = dimmer->FindMember_String("Tint");
    const auto* holder = dimmer->FindMember_ScriptObject("Holder");
    const auto* level = dimmer->FindMember_I32("Level");
    ASSERT_TRUE(tint && holder && level);
    EXPECT_EQ(dimmer->FindMember_F32("Power"), k_Power) << "native members are found by name";
    EXPECT_EQ(EntryOf(tint).m_OffsetOrValue, (sizeof(Lamp) + 7) & ~size_t{7});
    EXPECT_TRUE(SameClass(TableHeader(IsTableOf(ClassIndexOf(dimmerID)))->m_NativeAncestor, lamp));

    Obj<Object> target = Object::Create();
    {
        Obj<ScriptObject> object = ScriptObject::Create(dimmerID);
        ASSERT_FALSE(object->IsNil());
        EXPECT_EQ(object->GetTypeInfo(), &TypeOf<Lamp>());
        EXPECT_TRUE(object->IsA(lamp) && object->IsA(shade->GetClassID()) &&
                    object->IsA(BuiltinTypeID(k_ClassObject)));
        auto* native = static_cast<Lamp*>(object.Get());
        EXPECT_EQ(object->Get(k_Power), 1.5f);
        EXPECT_EQ(object->Get(tint), "warm");
        EXPECT_EQ(object->Get(level), 3);
        EXPECT_EQ(object->Get(holder), &G_NilObject);

        object->Set(k_Power, 4.0f);
        object->Set(k_Label, String("desk"));
        object->Set(Object::NameMember(), String("lamp 1"));
        object->Set(tint, String("cold"));
        object->Set(holder, target.Get());
        object->Set(level, 7);
        EXPECT_EQ(native->m_Power, 4.0f);
        EXPECT_EQ(native->m_Label, "desk");
        EXPECT_EQ(native->GetName(), "lamp 1");
        EXPECT_EQ(object->Get(k_Label), "desk");
        EXPECT_EQ(object->Get(tint), "cold");
        EXPECT_EQ(object->Get(holder), target.Get());
        EXPECT_EQ(object->Get(level), 7);
        EXPECT_EQ(BlockRefCount(target.Get()), 2);

        // The instance keeps both script classes after their last handles go.
        shade = nullptr;
        dimmer = nullptr;
        EXPECT_STREQ(TypeIDToString(dimmerID), "Dimmer");
        EXPECT_EQ(object->Get(level), 7);
    }
    EXPECT_EQ(G_LampsDestroyed, destroyedBefore + 1);
    EXPECT_EQ(BlockRefCount(target.Get()), 1) << "the script member let go of its object";
    EXPECT_EQ(TypeIDToString(dimmerID), nullptr) << "the classes went with their instance";
    EXPECT_EQ(TypeIDToString(shadeID), nullptr);

    // The native class itself is still made by its own create function.
    {
        Obj<ScriptObject> plain = ScriptObject::Create(lamp);
        EXPECT_EQ(plain->GetTypeInfo(), &TypeOf<Lamp>());
        EXPECT_EQ(plain->Get(k_Power), 1.5f);
    }
    EXPECT_EQ(G_LampsDestroyed, destroyedBefore + 2);
}

TEST_F(ScriptClasses, BasesWithoutANativeLayoutAreRefused) {
    // Bulb derives from Object without a layout of its own: Object's size is not its size.
    const ClassType_TypeID* bulb = BuiltinTypeID(k_Bulb);
    CreateClass(bulb, BuiltinTypeID(k_ClassObject), "", "Bulb", nullptr, nullptr, Kind_Object);
    {
        LogCapture log;
        for (const int base : {int{k_ClassNil}, int{k_ClassScriptClass}, int{k_ClassBool},
                               int{k_ClassScriptEngine}, k_Bulb}) {
            Obj<ScriptClass> cls = ScriptClass::Create();
            EXPECT_EQ(cls->DefClassObject("Bad", BuiltinTypeID(base)), nullptr) << base;
            EXPECT_EQ(TypeIDToString(cls->GetClassID()), nullptr) << base;
        }
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>(5, "[Error]ScriptClass::DefClassObject: base of \"Bad\" "
                                              "must be a script class or a built-in class with a "
                                              "native layout."));
    }
    {
        auto make = &CreateNativeWithExtra<Object>;
        EXPECT_FALSE(SetNativeLayout(MakeTypeID(237), sizeof(Object), make)) << "no tables";
        EXPECT_FALSE(SetNativeLayout(BuiltinTypeID(k_ClassBool), sizeof(Object), make));
        EXPECT_FALSE(SetNativeLayout(bulb, 4, make));
        EXPECT_FALSE(SetNativeLayout(bulb, sizeof(Object), nullptr));
    }
    {
        // A layout whose size is not that of what it makes: no instance, the object made goes.
        const int destroyedBefore = G_LampsDestroyed;
        ASSERT_TRUE(SetNativeLayout(bulb, sizeof(Object), &CreateNativeWithExtra<Lamp>));
        Obj<ScriptClass> cls = DefineClass("Glow", bulb, {{"Tint", k_ClassString}});
        LogCapture log;
        EXPECT_TRUE(ScriptObject::Create(cls->GetClassID())->IsNil());
        EXPECT_EQ(log.Messages(), std::vector<std::string>{
                                      "[Error]ScriptObject::Create: native part of \"Glow\" is " +
                                      std::to_string(sizeof(Lamp)) + " bytes, not " +
                                      std::to_string(sizeof(Object)) + "."});
        EXPECT_EQ(G_LampsDestroyed, destroyedBefore + 1);
    }
    DeleteClass(bulb);
}

} // namespace
