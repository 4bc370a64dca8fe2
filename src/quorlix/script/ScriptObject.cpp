#include "quorlix/script/ScriptObject.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <vector>

namespace Quorlix {

namespace {

// Destroy function of the static sentinels: they are never freed, their count is revived.
void ReviveStaticObject(const void* payload) {
    HeaderOf(payload)->m_RefCount = k_StaticBlockRefCount;
}

constinit TypeInfo G_NilObjectTypeInfo{&ReviveStaticObject,
                                       static_cast<int>(sizeof(ScriptObject)),
                                       &typeid(ScriptObject),
                                       nullptr,
                                       0,
                                       nullptr,
                                       nullptr};
constinit TypeInfo G_NilWeakTypeInfo{&ReviveStaticObject,
                                     static_cast<int>(sizeof(WeakObjTarget)),
                                     &typeid(WeakObjTarget),
                                     nullptr,
                                     0,
                                     nullptr,
                                     nullptr};

constexpr BlockHeader StaticHeader(const TypeInfo* ti) {
    return BlockHeader{nullptr, 0, k_StaticBlockRefCount, ti, 1, 1};
}

} // namespace

// Static counted blocks: constant-initialised, so that they exist before any other static
// initialiser runs, and never destroyed.
struct alignas(16) NilObjectBlock {
    BlockHeader m_Header;
    union {
        ScriptObject m_Object;
    };
    // Lookups hand the nil object out as any derived class; fields read through such a
    // pointer land here and read as zero (a null class id, an empty count) instead of
    // reaching whatever static data follows.
    uint64_t m_ZeroTail[32] = {};
    constexpr NilObjectBlock(WeakObjTarget* target) noexcept
        : m_Header(StaticHeader(&G_NilObjectTypeInfo)), m_Object(ScriptObject::NilTag{}, target) {}
    ~NilObjectBlock() {}
};

struct alignas(16) NilWeakObjTargetBlock {
    BlockHeader m_Header;
    union {
        WeakObjTarget m_Target;
    };
    constexpr NilWeakObjTargetBlock(ScriptObject* nil) noexcept
        : m_Header(StaticHeader(&G_NilWeakTypeInfo)), m_Target(nil) {}
    ~NilWeakObjTargetBlock() {}
};

extern NilObjectBlock G_NilObjectBlock;
constinit NilWeakObjTargetBlock G_NilWeakObjTargetBlock{&G_NilObjectBlock.m_Object};
constinit NilObjectBlock G_NilObjectBlock{&G_NilWeakObjTargetBlock.m_Target};
ScriptObject& G_NilObject = G_NilObjectBlock.m_Object;
WeakObjTarget& G_NilWeakObjTarget = G_NilWeakObjTargetBlock.m_Target;

namespace {

// Calls f(entry, classIndex) for every member entry with storage of the script class whose own
// table is `table` and of each script-class ancestor, the class's own first. The walk ends at
// the native ancestor (built-in classes have no instance size): its members are the native
// object's own, which its destructor releases.
template <class F>
void ForEachInstanceMember(const MVTBL* table, F&& f) {
    for (int depth = 0; table != nullptr && depth < k_MasterMVTBLSize; ++depth) {
        const MVTBLHeader* header = TableHeader(table);
        if (header->m_InstanceSize == 0)
            return;
        for (int k = 1; k < header->m_Count; ++k) {
            const MVTBL& entry = table[k];
            if (entry.m_Name != nullptr && (entry.m_Flags & MemberIsSomeEnum) == 0)
                f(entry, header);
        }
        if (header->m_BaseID == nullptr)
            return;
        table = IsTableOf(ClassIndexOf(header->m_BaseID));
    }
}

// The class table a row names for class index `c`, or null.
const MVTBL* RowTable(MVTBL* const* row, int c) {
    if (row == nullptr || c < 0 || c >= k_MasterMVTBLSize)
        return nullptr;
    return row[c];
}

} // namespace

ScriptObject::ScriptObject() noexcept : m_WeakTarget(&G_NilWeakObjTarget) {}

ScriptObject::~ScriptObject() {
    if (m_WeakTarget != &G_NilWeakObjTarget) {
        m_WeakTarget->SetTarget(&G_NilObject);
        BlockRelease(m_WeakTarget);
    }
    MVTBL* const* row = GetClassRow();
    if (row == nullptr || this == &G_NilObject)
        return;
    auto* base = reinterpret_cast<char*>(this);
    ForEachInstanceMember(row[0], [&](const MVTBL& entry, const MVTBLHeader*) {
        DefaultDestruct(entry.m_Flags, entry.m_Type, base + entry.m_OffsetOrValue);
    });
    // Last: the class may go with this count, and its tables with it.
    const MVTBLHeader* header = row[0] != nullptr ? TableHeader(row[0]) : nullptr;
    if (header != nullptr && header->m_InstanceSize != 0 && header->m_Owner != nullptr) {
        static_cast<ScriptClass*>(header->m_Owner)->InstanceDied();
        BlockRelease(header->m_Owner);
    }
}

void ScriptObject::Update(const ClassType_MemberID*) {}

ScriptObject* ScriptObject::Create(const ClassType_TypeID* type) {
    const int c = ClassIndexOf(type);
    MVTBL* table = IsTableOf(c);
    if (table == nullptr)
        return &G_NilObject;
    const MVTBLHeader* header = TableHeader(table);
    if (header->m_InstanceSize == 0 || header->m_Kind != Kind_Object) {
        if (header->m_Create == nullptr)
            return &G_NilObject;
        ScriptObject* object = header->m_Create();
        return object != nullptr ? object : &G_NilObject;
    }

    // The native part comes first; the members start at or after its end (DefClass rounds
    // the native size up), inside the zeroed bytes behind it.
    const int32_t nativeSize = header->m_NativeSize;
    if (header->m_CreateExtra == nullptr || nativeSize <= 0 || header->m_InstanceSize < nativeSize)
        return &G_NilObject;
    ScriptObject* object = header->m_CreateExtra(header->m_InstanceSize - nativeSize);
    if (object == nullptr)
        return &G_NilObject;
    if (object->GetTypeInfo()->m_Size != nativeSize) {
        // A registration whose size is not that of the type it makes: the members would
        // overlap the native part.
        Internal::LogScriptError("ScriptObject::Create: native part of \"", header->m_Name,
                                 "\" is ", object->GetTypeInfo()->m_Size, " bytes, not ",
                                 nativeSize, ".");
        BlockAddRef(object);
        BlockRelease(object);
        return &G_NilObject;
    }
    HeaderOf(object)->m_ClassRow = m_MasterIsCVTBL[c];
    if (header->m_Owner != nullptr) {
        BlockAddRef(header->m_Owner);
        static_cast<ScriptClass*>(header->m_Owner)->InstanceBorn();
    }
    auto* base = reinterpret_cast<char*>(object);
    ForEachInstanceMember(table, [&](const MVTBL& entry, const MVTBLHeader* owner) {
        DefaultConstruct(entry.m_Flags, base + entry.m_OffsetOrValue,
                         owner->m_Defaults + entry.m_OffsetOrValue, entry.m_Type);
    });
    return object;
}

const WeakObjTarget* ScriptObject::GetWeakObjTarget() {
    if (this == &G_NilObject)
        return &G_NilWeakObjTarget;
    if (m_WeakTarget == &G_NilWeakObjTarget) {
        WeakObjTarget* target = WeakObjTarget::Create(this);
        BlockAddRef(target);
        m_WeakTarget = target;
    }
    return m_WeakTarget;
}

const ClassType_TypeID* ScriptObject::GetObjectClassID() const noexcept {
    const MVTBL* table = GetClassTable();
    return table != nullptr ? TableHeader(table)->m_ClassID : nullptr;
}

const char* ScriptObject::GetObjectClassName() const noexcept {
    const MVTBL* table = GetClassTable();
    return table != nullptr ? TableHeader(table)->m_Name : nullptr;
}

bool ScriptObject::IsA(const ClassType_TypeID* type) const noexcept {
    const int c = ClassIndexOf(type);
    const MVTBL* table = c != 0 ? RowTable(GetClassRow(), c) : nullptr;
    return table != nullptr && TableHeader(table)->m_IsTable == 1;
}

void ScriptObject::Traverse(Array<Obj<ScriptObject>>& out) const {
    out.Clear();
    // Visited addresses: 256 buckets of sorted arrays.
    std::vector<const ScriptObject*> visited[256];
    // An explicit stack keeps deep chains off the call stack. Children are pushed last first,
    // and checked when popped, which lists objects in the same order as recursive descent.
    std::vector<const ScriptObject*> stack{this};
    std::vector<const ScriptObject*> children;
    while (!stack.empty()) {
        const ScriptObject* object = stack.back();
        stack.pop_back();
        if (object == nullptr || object == &G_NilObject)
            continue;
        const auto address = reinterpret_cast<uintptr_t>(object);
        std::vector<const ScriptObject*>& bucket = visited[((address >> 4) * 177) & 255];
        auto place = std::lower_bound(bucket.begin(), bucket.end(), object);
        if (place != bucket.end() && *place == object)
            continue;
        bucket.insert(place, object);
        out.Add(Obj<ScriptObject>(const_cast<ScriptObject*>(object)));

        children.clear();
        const MVTBL* table = object->GetClassTable();
        for (int depth = 0; table != nullptr && depth < k_MasterMVTBLSize; ++depth) {
            const MVTBLHeader* header = TableHeader(table);
            const int c = ClassIndexOf(header->m_ClassID);
            for (int k = 1; k < header->m_Count; ++k) {
                const MVTBL& entry = table[k];
                const unsigned flags = entry.m_Flags;
                // Only object members are followed, whatever flags a class gave other types.
                if ((flags & MemberObjectLink) == 0 || (flags & MemberNotOwned) != 0 ||
                    ClassIndexOf(entry.m_Type) != k_ClassScriptObject)
                    continue;
                const ClassType_MemberID* m = MemberIDOf(k, c);
                const MVTBL& access = object->Entry(m);
                if ((flags & MemberObjectSingle) != 0) {
                    ScriptObject* child = &G_NilObject;
                    access.Get(object, m, 0, &child);
                    children.push_back(child);
                } else if ((flags & (MemberObjectIndex | MemberIsIndex)) != 0 &&
                           (flags & MemberIsArray) == 0) {
                    // Index members are read element by element, flagged 0x2000 or not.
                    const int n = access.m_Size != nullptr ? access.Size(object, m) : 0;
                    for (int i = 0; i < n; ++i) {
                        ScriptObject* child = &G_NilObject;
                        access.Get(object, m, i, &child);
                        children.push_back(child);
                    }
                } else if ((flags & MemberIsArray) != 0) {
                    Array<Obj<ScriptObject>> elements;
                    access.Get(object, m, 0, &elements);
                    for (const Obj<ScriptObject>& child : elements)
                        children.push_back(child.Get());
                }
            }
            if (header->m_BaseID == nullptr)
                break;
            table = IsTableOf(ClassIndexOf(header->m_BaseID));
        }
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

bool ScriptObject::IsArrayMemberOf(const ClassType_MemberID* m, const MVTBL& entry, int typeClass,
                                   const char* typeName, const char* function) const {
    const MVTBL* table = IsTableOf(ClassIndexOf(m));
    const char* className = table != nullptr ? TableHeader(table)->m_Name : nullptr;
    const char* memberName = entry.m_Name != nullptr ? entry.m_Name : "?";
    if (className == nullptr)
        className = "?";
    if ((entry.m_Flags & (MemberIsIndex | MemberIsArray)) == 0) {
        Internal::LogScriptError(function, ": \"", className, ".", memberName,
                                 "\" is not an index or array member.");
        return false;
    }
    if (ClassIndexOf(entry.m_Type) != typeClass) {
        const char* held = TypeIDToString(entry.m_Type);
        Internal::LogScriptError(function, ": \"", className, ".", memberName, "\" holds ",
                                 held != nullptr ? held : "?", ", not ", typeName, ".");
        return false;
    }
    return true;
}

void ScriptObject::ExpectFailed(const ClassType_TypeID* expected) const {
    const MVTBL* table = RowTable(GetClassRow(), ClassIndexOf(expected));
    const char* expectedName = table != nullptr ? TableHeader(table)->m_Name : nullptr;
    Internal::LogScriptError("ScriptObject::ExpectFailed: cannot cast \"", GetObjectClassName(),
                             "\" to \"", expectedName, "\".");
}

void ScriptObject::InvalidCall(const ClassType_MemberID* m, const char* what) const {
    const MVTBL* table = RowTable(GetClassRow(), ClassIndexOf(m));
    const char* className = nullptr;
    const char* memberName = nullptr;
    if (table != nullptr) {
        className = TableHeader(table)->m_Name;
        const int k = MemberIndexOf(m);
        if (k < TableHeader(table)->m_Count)
            memberName = table[k].m_Name;
    }
    Stream& stream = Xerr.pLockError();
    stream << what << ": ";
    stream.pMemPtr(m);
    stream << " " << className << "." << memberName << " called on " << GetObjectClassName();
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

} // namespace Quorlix
