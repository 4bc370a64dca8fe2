// Class tables and script classes: slots and limits, table growth, layouts along a base chain,
// lookups and their warnings, deleted classes, binding text, and the tables' lifecycle.

#include "ScriptTestSupport.h"
#include "quorlix/script/Korvel.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"

#include <typeinfo>
#include <vector>

using namespace Quorlix;
using QuorlixTest::DefineClass;
using QuorlixTest::LogCapture;

// Binding text written with the "Korvel::" prefix, pasted here: it must compile in host code.
// clang-format off
namespace eDoor
{
    Korvel::I32 _Init( Korvel::ScriptEngine* );
    Korvel::T_TypeID ID = nullptr;
    Korvel::M_I32 Count;
    Korvel::M_Index_Vector3f Path;
    Korvel::T_Enum Open;
}
Korvel::ScriptMemberDef G_DoorDefs[] = {
      Korvel::eI32::ID, Korvel::MemberDefault, (Korvel::M_Unknown*)&eDoor::Count, "Count",
      Korvel::eVector3f::ID, Korvel::MemberIsIndex, (Korvel::M_Unknown*)&eDoor::Path, "Path",
      Korvel::eEnum::ID, Korvel::MemberIsSomeEnum, (Korvel::M_Unknown*)&eDoor::Open, "Open",
};
// clang-format on

namespace {

class ScriptClassTable : public QuorlixTest::ScriptTest {};

const MVTBL& EntryOf(const ClassType_MemberID* m) {
    return IsTableOf(ClassIndexOf(m))[MemberIndexOf(m)];
}

TEST_F(ScriptClassTable, SlotsRunOutAfter256AndReservedSlotsComeBack) {
    std::vector<Obj<ScriptClass>> classes;
    for (int i = 0; i < 256; ++i) {
        classes.emplace_back(ScriptClass::Create());
        ASSERT_NE(static_cast<ScriptObject*>(classes.back().Get()), &G_NilObject) << i;
    }
    {
        LogCapture log;
        Obj<ScriptClass> none = ScriptClass::Create();
        EXPECT_EQ(static_cast<ScriptObject*>(none.Get()), &G_NilObject);
        EXPECT_EQ(log.Messages(),
                  std::vector<std::string>{
                      "[Error]ScriptClass::Create:\n"
                      "  a new class could not be generated because there are no IDs left.\n"
                      "  either too many applications are running simultaneously on the same "
                      "process,\n"
                      "  or there are simply too many classes active.\n"
                      "  if there is no other solution, try increasing the generic class limit."});
    }
    // A class dropped before it was defined gives its reserved slot back.
    const ClassType_TypeID* reserved = classes[17]->GetClassID();
    classes[17] = nullptr;
    Obj<ScriptClass> again = ScriptClass::Create();
    EXPECT_EQ(again->GetClassID(), reserved);
    EXPECT_EQ(TypeIDToString(reserved), nullptr) << "a reserved slot has no tables";
    EXPECT_EQ(FindClassMember(reserved, "Name"), nullptr);
}

TEST_F(ScriptClassTable, MembersContinueTheBaseLayoutWithAlignedOffsets) {
    const int32_t seven = 7;
    const String text("s");
    const int64_t nine = 9;
    auto base = DefineClass("Base", BuiltinTypeID(k_ClassObject),
                            {{"A", k_ClassI32, 0, &seven}, {"S", k_ClassString, 0, &text}});
    auto derived = DefineClass("Derived", base->GetClassID(),
                               {{"B", k_ClassBool, 0, nullptr},
                                {"C", k_ClassI64, 0, &nine},
                                {"P", k_ClassVector3f, MemberIsIndex}});
    const auto* a = derived->FindMember_I32("A");
    const auto* s = derived->FindMember_String("S");
    const auto* b = derived->FindMember_Bool("B");
    const auto* c = derived->FindMember_I64("C");
    const auto* p = derived->FindMember_Index_Vector3f("P");
    ASSERT_TRUE(a && s && b && c && p);
    EXPECT_EQ(EntryOf(a).m_OffsetOrValue, sizeof(Object));
    EXPECT_EQ(EntryOf(s).m_OffsetOrValue, sizeof(Object) + 8) << "strings align to 8";
    EXPECT_EQ(EntryOf(b).m_OffsetOrValue, sizeof(Object) + 16);
    EXPECT_EQ(EntryOf(c).m_OffsetOrValue, sizeof(Object) + 24);
    EXPECT_EQ(EntryOf(p).m_OffsetOrValue, sizeof(Object) + 32);
    EXPECT_EQ(TableHeader(IsTableOf(ClassIndexOf(derived->GetClassID())))->m_InstanceSize,
              int(sizeof(Object) + 40));

    // Both classes' defaults reach a new instance; Object's own member works on it too.
    Obj<ScriptObject> door = ScriptObject::Create(derived->GetClassID());
    EXPECT_EQ(door->Get(a), 7);
    EXPECT_EQ(door->Get(s), "s");
    EXPECT_EQ(door->Get(c), 9);
    EXPECT_FALSE(door->Get(b));
    EXPECT_EQ(door->Size(p), 0);
    door->Set(p, 2, Vector3f(1, 2, 3));
    EXPECT_EQ(door->Size(p), 3);
    EXPECT_EQ(door->Get(p, 0), Vector3f::Zero);
    EXPECT_EQ(door->Get(p, 2), Vector3f(1, 2, 3));
    door->Set(Object::NameMember(), String("door"));
    EXPECT_EQ(static_cast<Object*>(door.Get())->GetName(), "door");
    EXPECT_TRUE(door->IsA(BuiltinTypeID(k_ClassObject)));
    EXPECT_TRUE(door->IsA(base->GetClassID()));

    LogCapture log;
    EXPECT_EQ(derived->DefMemberVar("A", BuiltinTypeID(k_ClassF32), 0, nullptr), nullptr);
    EXPECT_EQ(derived->DefMemberVar("Q", BuiltinTypeID(k_ClassObject), 0, nullptr), nullptr);
    EXPECT_EQ(derived->DefMemberVar("R", BuiltinTypeID(7), MemberIsIndex, nullptr), nullptr);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{
                  "[Error]ScriptClass::DefMemberVar: redefinition of \"A\" is not allowed.",
                  "[Error]ScriptClass::DefMemberVar: failed to define \"Q\".",
                  "[Error]ScriptClass::DefMemberVar: failed to define index \"R\"."}));
}

TEST_F(ScriptClassTable, TablesGrowAndKeepEarlierIdentifiersUntilTheyAreFull) {
    Obj<ScriptClass> cls = ScriptClass::Create();
    cls->DefClassObject("Wide", nullptr);
    std::vector<const ClassType_MemberID*> ids;
    for (int i = 0; i < 255; ++i) {
        const int32_t value = i;
        const std::string name = "M" + std::to_string(i);
        ids.push_back(cls->DefMemberVar(name.c_str(), BuiltinTypeID(k_ClassI32), 0, &value));
        ASSERT_NE(ids.back(), nullptr);
        EXPECT_EQ(TableHeader(IsTableOf(ClassIndexOf(cls->GetClassID())))->m_Count, i + 2);
    }
    {
        LogCapture log;
        EXPECT_EQ(cls->DefMemberVar("Over", BuiltinTypeID(k_ClassI32), 0, nullptr), nullptr);
        EXPECT_EQ(cls->DefMemberEnum("Over", 1, 0), nullptr);
        EXPECT_EQ(log.Messages(),
                  (std::vector<std::string>{
                      "[FATAL]ScriptClass::DefMemberVar: memberid exceeds defined limit.",
                      "[FATAL]ScriptClass::DefMemberEnum: memberid exceeds defined limit."}));
    }
    EXPECT_EQ(FindClassMember(cls->GetClassID(), "M0"), nullptr) << "no hash before EndClass";
    cls->EndClass();
    Obj<ScriptObject> object = ScriptObject::Create(cls->GetClassID());
    for (int i : {0, 1, 100, 254}) {
        const auto* m = static_cast<const ClassMember_I32*>(ids[size_t(i)]);
        EXPECT_EQ(object->Get(m), i);
        EXPECT_EQ(FindClassMember(cls->GetClassID(), ("M" + std::to_string(i)).c_str()),
                  MemberIDOf(i + 1, ClassIndexOf(cls->GetClassID())));
    }
    EXPECT_EQ(FindClassMember(MakeTypeID(0), "M0"), nullptr);
    EXPECT_EQ(FindClassMember(MakeTypeID(511), "M0"), nullptr);
}

TEST_F(ScriptClassTable, EntriesPastTheCountGrowBothTablesAndNamesStay) {
    Obj<ScriptClass> cls = ScriptClass::Create();
    cls->DefClassObject("Gap", nullptr);
    cls->DefMemberVar("First", BuiltinTypeID(k_ClassI32), 0, nullptr);
    const int c = ClassIndexOf(cls->GetClassID());
    EXPECT_EQ(TableHeader(IsTableOf(c))->m_Count, 2);
    // Entry 3 while the tables hold count 2: both grow to count 4, entry 2 stays empty.
    const auto* third = MakeMemberID<ClassType_Enum>(3u << 24 | unsigned(c));
    EXPECT_TRUE(CreateEnumMemberGeneric(third, "Third", 30, 1, MemberIsSomeEnum));
    EXPECT_EQ(TableHeader(IsTableOf(c))->m_Count, 4);
    EXPECT_EQ(TableHeader(m_MasterNoMVTBL[c])->m_Count, 4);
    EXPECT_EQ(IsTableOf(c)[2].m_Name, nullptr);
    EXPECT_EQ(IsTableOf(c)[4].m_Name, nullptr) << "room for the terminating entry";
    LogCapture log;
    // An enumerator keeps its entry; a member overwrites it.
    EXPECT_FALSE(CreateEnumMemberGeneric(third, "Other", 31, 1, MemberIsSomeEnum));
    EXPECT_EQ(IsTableOf(c)[3].m_OffsetOrValue, 30u);
    EXPECT_TRUE(CreateMemberGeneric(third, "Over", nullptr, nullptr, nullptr, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                    1, 0, BuiltinTypeID(k_ClassI32)));
    EXPECT_STREQ(IsTableOf(c)[3].m_Name, "Over");
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{"[Error]CreateEnumMember: Other already exists on Gap.",
                                        "[Error]CreateMember: Over already exists on Gap."}));
}

TEST_F(ScriptClassTable, IndexesPastTheTablesAreRefusedAtFatalLevel) {
    LogCapture log;
    CreateClass(MakeTypeID(600), nullptr, "", "Far", nullptr, nullptr, Kind_Object);
    CreateClass(MakeTypeID(300), MakeTypeID(4000), "", "FarBase", nullptr, nullptr, Kind_Object);
    EXPECT_FALSE(CreateMemberGeneric(MakeMemberID(1u << 24 | 600u), "M", nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, 1, 0, nullptr));
    EXPECT_EQ(log.Messages(), (std::vector<std::string>{
                                  "[FATAL]CreateClass: classid or baseid exceeds defined limit.",
                                  "[FATAL]CreateClass: classid or baseid exceeds defined limit.",
                                  "[FATAL]CreateMember: classid exceeds defined limit."}));
    EXPECT_EQ(TypeIDToString(MakeTypeID(300)), nullptr);
}

TEST_F(ScriptClassTable, LookupsCheckTypesAndWarn) {
    auto cls = DefineClass("Lamp", nullptr,
                           {{"On", k_ClassBool}, {"Path", k_ClassVector3f, MemberIsIndex}});
    const ClassType_Enum* mode = nullptr;
    {
        Obj<ScriptClass> modes = ScriptClass::Create();
        modes->DefClassEnum("Mode", nullptr);
        EXPECT_NE(modes->DefMemberEnum("Dim", 3, 0), nullptr);
        modes->EndClass();
        mode = modes->Find_Enum("Dim");
        EXPECT_EQ(IsTableOf(ClassIndexOf(mode))[MemberIndexOf(mode)].m_OffsetOrValue, 3u);
    }
    EXPECT_NE(mode, nullptr);
    EXPECT_NE(cls->FindMember("On", nullptr), nullptr);
    EXPECT_NE(cls->FindMember("On", BuiltinTypeID(k_ClassBool)), nullptr);
    EXPECT_NE(cls->FindMember_Index_Vector3f("Path"), nullptr);
    LogCapture log;
    EXPECT_EQ(cls->FindMember("On", BuiltinTypeID(k_ClassI32)), nullptr);
    EXPECT_EQ(cls->FindMember_I32("On"), nullptr);
    EXPECT_EQ(cls->FindMember_Index_I32("Path"), nullptr);
    EXPECT_EQ(cls->FindMember_F32("Off"), nullptr);
    EXPECT_EQ(cls->FindMember_Index_F32("Off"), nullptr);
    EXPECT_EQ(cls->Find_Enum("On"), nullptr);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{
                  "[Warn ]ScriptClass::FindMember: type mismatch for \"On\".",
                  "[Warn ]ScriptClass::FindMember_I32: type mismatch for \"On\".",
                  "[Warn ]ScriptClass::FindMember_Index_I32: type mismatch for \"Path\".",
                  "[Warn ]ScriptClass::FindMember_*: undefined member \"Off\".",
                  "[Warn ]ScriptClass::FindMember_Index*: \"Off\".",
                  "[Warn ]ScriptClass::Find_Enum: type mismatch for \"On\"."}));
}

TEST_F(ScriptClassTable, UndefiningAClassWithLiveInstancesWaitsForThem) {
    const String text("still here");
    auto cls = DefineClass("Retired", nullptr, {{"Label", k_ClassString, 0, &text}});
    const ClassType_TypeID* id = cls->GetClassID();
    const auto* label = cls->FindMember_String("Label");
    Obj<ScriptObject> object = ScriptObject::Create(id);
    cls->UndefClass();
    EXPECT_EQ(cls->GetClassID(), nullptr);
    EXPECT_EQ(object->Get(label), "still here");
    cls = nullptr;
    EXPECT_STREQ(TypeIDToString(id), "Retired");
    object = nullptr;
    EXPECT_EQ(TypeIDToString(id), nullptr) << "the class went with its last instance";
    // Instances of a derived class keep their script base's tables too.
    auto base = DefineClass("Shed", nullptr, {{"Label", k_ClassString, 0, &text}});
    auto derived = DefineClass("Barn", base->GetClassID(), {});
    const ClassType_TypeID* baseID = base->GetClassID();
    const auto* shedLabel = base->FindMember_String("Label");
    Obj<ScriptObject> barn = ScriptObject::Create(derived->GetClassID());
    base->UndefClass();
    EXPECT_STREQ(TypeIDToString(baseID), "Shed");
    EXPECT_EQ(barn->Get(shedLabel), "still here");
    barn = nullptr;
    derived = nullptr;
    base = nullptr;
    EXPECT_EQ(TypeIDToString(baseID), nullptr);
    // Without instances, UndefClass deletes at once.
    auto other = DefineClass("Gone", nullptr, {});
    const ClassType_TypeID* otherID = other->GetClassID();
    other->UndefClass();
    EXPECT_EQ(TypeIDToString(otherID), nullptr);
}

TEST_F(ScriptClassTable, DeletedClassesLeaveStubsInTheRowsThatNamedThem) {
    auto base = DefineClass("Shelf", nullptr, {{"Count", k_ClassI32}});
    auto derived = DefineClass("Bookshelf", base->GetClassID(), {{"Books", k_ClassI32}});
    const auto* count = base->FindMember_I32("Count");
    const std::string id = QuorlixTest::Hex(count);
    base->UndefClass(); // no instance lives: the tables go now
    EXPECT_EQ(base->GetClassID(), nullptr);
    Obj<ScriptObject> shelf = ScriptObject::Create(derived->GetClassID());
    LogCapture log;
    EXPECT_EQ(shelf->Get(count), 0);
    shelf->Set(count, 6);
    EXPECT_EQ(derived->FindMember_I32("Count"), nullptr);
    EXPECT_EQ(log.Messages(),
              (std::vector<std::string>{
                  "[Error]iInvalidGet: " + id + " (deleted).(deleted) called on Bookshelf",
                  "[Error]iInvalidSet: " + id + " (deleted).(deleted) called on Bookshelf",
                  "[Warn ]ScriptClass::FindMember_*: undefined member \"Count\"."}));
}

TEST_F(ScriptClassTable, WriteCAPIWritesBindingDeclarations) {
    auto door = DefineClass("Door", nullptr,
                            {{"Count", k_ClassI32}, {"Path", k_ClassVector3f, MemberIsIndex}});
    door->DefMemberEnum("Open", 1, 0);
    auto written = [&](int mode, const char* prefix, int members) {
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        Stream stream(pipe);
        EXPECT_EQ(door->WriteCAPI(stream, mode, prefix), members);
        return std::string(reinterpret_cast<const char*>(pipe->GetData()), size_t(pipe->GetSize()));
    };
    EXPECT_EQ(written(0, "", 3), "namespace eDoor\n{\n"
                                 "    Korvel::I32 _Init( Korvel::ScriptEngine* );\n"
                                 "    T_TypeID ID;\n    M_I32 Count;\n"
                                 "    M_Index_Vector3f Path;\n    T_Enum Open;\n}\n");
    EXPECT_EQ(written(1, "Korvel::", 3),
              "    Korvel::T_TypeID ID;\n    Korvel::M_I32 Count;\n"
              "    Korvel::M_Index_Vector3f Path;\n    Korvel::T_Enum Open;\n");
    EXPECT_EQ(written(2, "", 3),
              "      eI32::ID, MemberDefault, (M_Unknown*)&Count, \"Count\",\n"
              "      eVector3f::ID, MemberIsIndex, (M_Unknown*)&Path, \"Path\",\n"
              "      eEnum::ID, MemberIsSomeEnum, (M_Unknown*)&Open, \"Open\",\n");
    door->UndefClass();
    EXPECT_EQ(written(0, "", -1), "");
}

TEST_F(ScriptClassTable, CreateClassCompleteBindsHostRecordsThroughTheEngine) {
    Obj<ScriptEngine> engine = ScriptEngine::Create();
    auto door = DefineClass("Door", nullptr, {{"Count", k_ClassI32}});
    const ClassType_Enum* open = door->DefMemberEnum("Open", 1, 0);
    door->EndClass();
    engine->GetCurrentNamespace()->AddClass(door);
    Korvel::T_TypeID id = nullptr;
    Korvel::M_I32 count = nullptr;
    Korvel::T_Enum bound = nullptr;
    Korvel::ScriptMemberDef defs[] = {
        {Korvel::eI32::ID, Korvel::MemberDefault, (Korvel::M_Unknown*)&count, "Count"},
        {Korvel::eEnum::ID, Korvel::MemberIsSomeEnum, (Korvel::M_Unknown*)&bound, "Open"},
    };
    EXPECT_EQ(ScriptClass::CreateClassComplete(engine, &id, "Door", 2, defs), 1);
    EXPECT_EQ(id, door->GetClassID());
    EXPECT_EQ(count, door->FindMember_I32("Count"));
    EXPECT_EQ(ClassIndexOf(bound), ClassIndexOf(open));
    EXPECT_EQ(MemberIndexOf(bound), MemberIndexOf(open));
    id = nullptr;
    EXPECT_EQ(ScriptClass::CreateClassComplete(engine, &id, "Window", 2, defs), 0);
    EXPECT_EQ(id, nullptr);
}

TEST_F(ScriptClassTable, LastDeInitializeFreesEveryTable) {
    // The fixture holds one initialisation; drop it and take it again.
    DLLDeInitialize(0);
    EXPECT_EQ(m_MasterIsMVTBL, nullptr);
    EXPECT_EQ(G_MasterAlloc, 0);
    EXPECT_EQ(G_MasterAllocHash, 0);
    EXPECT_EQ(FindBuiltinClassID("Object"), nullptr);
    DLLInitialize(0);
    EXPECT_GT(G_MasterAlloc, 3);
    EXPECT_GT(G_MasterAllocHash, 0);
    EXPECT_EQ(FindBuiltinClassID("Object"), BuiltinTypeID(k_ClassObject));
    EXPECT_EQ(FindClassMember(BuiltinTypeID(k_ClassObject), "Name"), Object::NameMember());
}

} // namespace

// Identifiers from files and peers: every form and range is answered from the tables' headers,
// without reading past a table (the ASan run checks that), and only members of the class or its
// ancestors pass.
TEST_F(ScriptClassTable, IdentifiersFromOutsideAreCheckedBeforeUse) {
    auto base = DefineClass("Crate", nullptr, {{"Weight", k_ClassF32}});
    auto derived = DefineClass("Chest", base->GetClassID(), {{"Lock", k_ClassI32}});
    auto other = DefineClass("Barrel", nullptr, {{"Volume", k_ClassF32}});
    const ClassType_TypeID* crate = base->GetClassID();
    const ClassType_TypeID* chest = derived->GetClassID();
    const ClassType_MemberID* weight = base->FindMember_F32("Weight");
    const ClassType_MemberID* lock = derived->FindMember_I32("Lock");
    const ClassType_MemberID* volume = other->FindMember_F32("Volume");
    const ClassType_TypeID* object = BuiltinTypeID(k_ClassObject);
    const auto raw = [](uint64_t value) {
        return reinterpret_cast<const ClassType_MemberID*>(static_cast<uintptr_t>(value));
    };
    const auto type = [](int64_t value) {
        return reinterpret_cast<const ClassType_TypeID*>(static_cast<intptr_t>(value));
    };

    // Classes: both forms of a created class, and of a built-in one; nothing else: an empty
    // slot, past the table, -1, bits above the value, half a marker.
    const int crateIndex = ClassIndexOf(crate);
    for (const ClassType_TypeID* valid :
         {crate, type(crateIndex), BuiltinTypeID(crateIndex), object, type(k_ClassObject)})
        EXPECT_TRUE(IsValidClassID(valid)) << valid;
    for (const ClassType_TypeID* invalid :
         {static_cast<const ClassType_TypeID*>(nullptr), BuiltinTypeID(0), type(511), type(512),
          type(4095), type(-1), type(int64_t{1} << 32 | crateIndex), type(0x7FFFF000 | crateIndex)})
        EXPECT_FALSE(IsValidClassID(invalid)) << invalid;

    // Members: the class's own, its ancestors', and the built-in Name through any class.
    EXPECT_TRUE(IsValidMemberID(chest, lock));
    EXPECT_TRUE(IsValidMemberID(chest, weight));
    EXPECT_TRUE(IsValidMemberID(crate, weight));
    EXPECT_TRUE(IsValidMemberID(object, Object::NameMember()));
    EXPECT_TRUE(IsValidMemberID(BuiltinTypeID(k_ClassRotationOrderEnum),
                                MemberIDOf<ClassType_Enum>(6, k_ClassRotationOrderEnum)));
    const uint32_t weightValue = IDValue(weight);
    EXPECT_TRUE(IsValidMemberID(crate, raw(weightValue & 0xFF000FFF))); // the bare form

    EXPECT_FALSE(IsValidMemberID(crate, lock));   // a derived class's member
    EXPECT_FALSE(IsValidMemberID(crate, volume)); // an unrelated class's member
    EXPECT_FALSE(IsValidMemberID(nullptr, weight));
    EXPECT_FALSE(IsValidMemberID(crate, nullptr));
    EXPECT_FALSE(IsValidMemberID(crate, raw(weightValue & 0x00FFFFFF)));               // member 0
    EXPECT_FALSE(IsValidMemberID(crate, raw(0x02000000u | (weightValue & 0xFFFFFF)))); // past
    EXPECT_FALSE(IsValidMemberID(crate, raw(0xFF000000u | (weightValue & 0xFFFFFF)))); // count
    EXPECT_FALSE(IsValidMemberID(crate, raw(0x01FFF000u | 511)));  // an empty slot's member
    EXPECT_FALSE(IsValidMemberID(crate, raw(0x01FFF000u | 4095))); // past the row
    EXPECT_FALSE(IsValidMemberID(crate, raw(0x01ABC000u | (weightValue & 0xFFF))));
    EXPECT_FALSE(IsValidMemberID(crate, raw(uint64_t{1} << 32 | weightValue)));
    EXPECT_FALSE(IsValidMemberID(crate, raw(~uint64_t{0}))); // -1
    EXPECT_FALSE(IsValidMemberID(BuiltinTypeID(k_ClassRotationOrderEnum),
                                 MemberIDOf<ClassType_Enum>(7, k_ClassRotationOrderEnum)));

    // A deleted ancestor leaves its members invalid for the classes derived from it.
    base->UndefClass();
    EXPECT_FALSE(IsValidMemberID(chest, weight));
    EXPECT_TRUE(IsValidMemberID(chest, lock));
}

// Every slot of every defined entry can be called: value members write, enumerators
// and undefined entries answer as invalid calls; objects know their type record.
TEST_F(ScriptClassTable, NoSlotIsNullAndEveryValueMemberWrites) {
    auto lamp = DefineClass("Lamp", nullptr, {{"Watts", k_ClassF32}});
    const ClassType_MemberID* watts = lamp->FindMember_F32("Watts");
    Obj<ScriptObject> object = ScriptObject::Create(lamp->GetClassID());
    for (int c = 1; c < k_MasterMVTBLSize; ++c) {
        const MVTBL* table = IsTableOf(c);
        if (table == nullptr)
            continue;
        for (int k = 1; k < TableHeader(table)->m_Count; ++k) {
            const MVTBL& entry = table[k];
            if (entry.m_Name == nullptr)
                continue;
            SCOPED_TRACE(std::string(TableHeader(table)->m_Name) + "." + entry.m_Name);
            EXPECT_NE(entry.m_Get, nullptr);
            EXPECT_NE(entry.m_Set, nullptr);
            EXPECT_NE(entry.m_Compare, nullptr);
            EXPECT_NE(entry.m_Write, nullptr);
            EXPECT_NE(entry.m_WriteASM, nullptr);
            EXPECT_NE(entry.m_Resize, nullptr);
        }
    }
    {
        // Every member of a value type writes through its entry; a member the object's class
        // does not have writes nothing and logs.
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        ScriptStreamAlpha stream(pipe);
        LogCapture log;
        EntryOf(watts).m_Write(object.Get(), watts, stream);
        G_NilObject.Entry(watts).m_Write(&G_NilObject, watts, stream);
        EXPECT_EQ(std::string(pipe->GetData(), pipe->GetData() + pipe->GetSize()),
                  "//KS 0.3 F010219x\n0.");
        ASSERT_EQ(log.Messages().size(), 1u);
        EXPECT_EQ(log.Messages()[0].rfind("[Error]iInvalidWrite_F32: ", 0), 0u);
    }
    {
        const auto* xyz = MemberIDOf<ClassType_Enum>(1, k_ClassRotationOrderEnum);
        LogCapture log;
        float out = 1.5f;
        object->Entry(MemberIDOf<ClassType_MemberID>(1, k_ClassRotationOrderEnum))
            .Get(object.Get(), reinterpret_cast<const ClassType_MemberID*>(xyz), 0, &out);
        EXPECT_EQ(out, 1.5f);
        ASSERT_EQ(log.Messages().size(), 1u);
        EXPECT_NE(log.Messages()[0].find("iInvalidGet"), std::string::npos) << log.Messages()[0];
    }
    EXPECT_EQ(object->GetTypeInfo(), HeaderOf(object.Get())->m_TypeInfo);
    Obj<Object> named = Object::Create();
    // The library's own record of Object (a host's module may hold another of the same type).
    ASSERT_NE(named->GetTypeInfo()->m_Type, nullptr);
    EXPECT_STREQ(named->GetTypeInfo()->m_Type->name(), typeid(Object).name());
}
