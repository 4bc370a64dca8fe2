#pragma once
// A scope of script names: named and numbered objects in a hash table, anonymous objects, the
// script classes declared in it and child namespaces. Name lookups walk outward through the
// parents; ':' separates namespace names in a path (resolved by the engine).
//
// Ownership: a namespace holds counts on its objects, classes and children. The parent pointer
// is not counted: a namespace taken out of its parent's children (removed, cleared, or its
// parent destroyed) forgets its parent and stands alone from then on, so no namespace ever
// keeps a dangling parent.
//
// Lookups never return null: they answer the nil object (see IsNil). No locks: one thread edits
// and searches a namespace tree at a time (reads included: numbered objects enter the table
// late, on the first call that looks at the table, const ones too). Every walk over parents or
// children is iterative, so deep namespace chains cannot exhaust the stack.

#include "quorlix/core/Array.h"
#include "quorlix/core/Result.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptObject.h"

#include <cstdint>
#include <vector>

namespace Quorlix {

class ScriptClass;
class Stream;

class QUORLIX_API ScriptNamespace : public ScriptObject {
public:
    /// Buckets of the object table when it is created or cleared, and the most it doubles to.
    static constexpr int k_InitialBuckets = 4;
    static constexpr int k_MaxBuckets = 4096;
    /// A bucket that already holds this many records doubles the table before taking another.
    static constexpr int k_BucketLoad = 4;

    /// A new namespace (count 0) named `name` (null reads as empty) and appended to the
    /// children of `parent` when one is given (null or the nil object: a root).
    static ScriptNamespace* Create(ScriptNamespace* parent, const char* name);

    /// Releases everything; children that outlive it (held elsewhere) forget their parent.
    ~ScriptNamespace() override;

    virtual const StringRef& GetNamespaceName() const noexcept { return m_Name; }
    /// The nil object (as a namespace) for a root.
    virtual ScriptNamespace* GetParentNamespace() const noexcept;

    /// Writes every record of the object table as prefix + name + ";" (numbered records with
    /// an empty name), then "class <name>;" for each class, then for each child
    /// "namespace <prefix><child>:;" followed by the child's own names under that prefix.
    /// Tables, classes and children are written from the last to the first.
    virtual void PrintObjectNames(Stream& stream, const StringRef& prefix) const;

    /// Empties the object table (back to 4 buckets), the anonymous objects and the first object.
    virtual void ClearObjects();
    /// Forgets the named object of this namespace (parents are not searched). SOK whether or
    /// not the name was there.
    virtual EResult ClearObject(const StringRef& name);
    /// Removes every reference this namespace holds to `object` (records, anonymous list,
    /// first object), in every descendant too with flag bit 0. SOK when at least one was
    /// removed, else ENotFound.
    virtual EResult ClearObjectReferences(ScriptObject* object, int flags);
    /// Releases every child, then clears the objects.
    virtual void ClearNamespaces();
    /// Releases the last child named `name`: SOK, or ENotFound when there is none.
    virtual EResult RemoveNamespace(const char* name);

    /// The last child named `name`; with `searchParents` set, then the parents' children
    /// outward. The nil object when none.
    virtual ScriptNamespace* FindNamespace(const char* name, int searchParents) const;
    /// FindNamespace, or else a new child of this namespace with that name.
    virtual ScriptNamespace* CreateNamespace(const char* name, int searchParents);

    /// Names `object` here (an empty name adds it to the anonymous objects, once). A second
    /// object of the same name replaces the first. The first object defined here also becomes
    /// the first object. Null is ignored.
    virtual void DefObject(ScriptObject* object, const StringRef& name);
    /// The object named `name` here or in the nearest parent that has one; nil when none or
    /// when the name is empty.
    virtual ScriptObject* FindObject(const StringRef& name) const;
    /// Numbers `object` here (id 0 adds it to the anonymous objects); a second object of the
    /// same id replaces the first.
    virtual void DefObjectID(ScriptObject* object, unsigned id);
    /// The object numbered `id` in this namespace only; nil when none.
    virtual ScriptObject* FindObjectID(unsigned id) const;

    /// The number FindObjectIDOrReserve looked up and, when it was missing, the free place of
    /// the id index that it takes, good until the index next changes.
    struct IdReservation {
        const ScriptNamespace* m_Namespace = nullptr; // that reserved a place
        uint32_t m_Id = 0;
        bool m_Dense = false; // the place is in the dense part of the index, else in the hash
        size_t m_Slot = 0;
        uint64_t m_Version = 0;
    };
    /// FindObjectID for a caller that defines the number when it is missing (a loader), with
    /// one probe of the index for both: `reservation` is then ready for DefReservedObjectID.
    ScriptObject* FindObjectIDOrReserve(unsigned id, IdReservation& reservation);
    /// DefObjectID(object, reservation.m_Id) in every respect; it fills the reserved place
    /// without a probe when the index has not changed since the reservation.
    void DefReservedObjectID(ScriptObject* object, const IdReservation& reservation);

    /// The last class of that name here, else in the nearest parent; nil when none.
    virtual ScriptClass* FindClass(const char* name) const;
    /// Appends a class (counted). Null and the nil object are ignored.
    virtual void AddClass(ScriptClass* scriptClass);

    /// Appends (counted) every object of the table, buckets and records from the last, then
    /// the anonymous objects from the last; with flag bit 0 then each child's list, from the
    /// last child.
    virtual void GetObjectList(Array<Obj<ScriptObject>>& out, int flags) const;
    /// `out` becomes a share of this namespace's classes (children).
    virtual void GetClassList(Array<Obj<ScriptClass>>& out) const;
    virtual void GetNamespaceList(Array<Obj<ScriptNamespace>>& out) const;
    /// This namespace's classes become a share of `list`.
    virtual void ImportClassList(const Array<Obj<ScriptClass>>& list);

    /// Names here every object of `other` (as AddObjectList), then merges each child of
    /// `other` into this namespace's child of the same name, created when missing. Classes
    /// are not merged. Merging a namespace into itself or into one of its descendants would
    /// never end: it is refused with an error line and EInvalidArgument, as is a null or nil
    /// `other`. SOK otherwise.
    virtual EResult MergeNamespace(const ScriptNamespace* other);
    /// Names every `Object` of `list` by its Name. A name "a:b:door" defines door in the
    /// namespace a:b below this one (created as needed), unless the part before the last ':'
    /// is this namespace's own name, which defines door here. Objects without a name, and
    /// objects that are not `Object`s, are skipped.
    virtual void AddObjectList(const Array<Obj<ScriptObject>>& list);
    /// AddObjectList of every object reachable from `root` (ScriptObject::Traverse).
    virtual void ImportObjectTreeNames(ScriptObject* root);

    /// Appends the path and the object of every named record whose class is `type` or derives
    /// from it (every record for a null type). The path is `prefix` + name, or, for an empty
    /// prefix, this namespace's name + ":" + name ("door" in an unnamed namespace). With flag
    /// bit 0 the children follow (from the last) with the path of their records continued, so
    /// every listed path finds its object from here. Either array may be null.
    void ListObjects(Array<String>* names, Array<Obj<ScriptObject>>* objects, int flags,
                     const ClassType_TypeID* type, const StringRef& prefix) const;

    /// The first object defined here since the last clear (the parser's result); nil when none.
    ScriptObject* GetFirstObject() const noexcept;
    /// Sets or (with null) clears the first object.
    void SetFirstObject(ScriptObject* object);

    /// Buckets of the object table now (4 to 4096).
    int GetObjectBucketCount() const noexcept;

    /// The nil object as a namespace, for comparisons only (it is not a namespace).
    static ScriptNamespace* Nil() noexcept;
    static bool IsNil(const ScriptNamespace* ns) noexcept { return ns == nullptr || ns == Nil(); }

private:
    // One record of the object table: a name and id -1, or a number and an empty name (so a
    // record is named exactly when its name is not empty: id 0xFFFFFFFF also reads as -1).
    struct Record {
        unsigned m_Key;
        int32_t m_Id;
        String m_Name;
        Obj<ScriptObject> m_Object;
    };
    using Bucket = Array<Record>;
    // A slot of the id index; id 0 marks a free slot (numbered records never carry 0).
    struct IdSlot {
        uint32_t m_Id;
        ScriptObject* m_Object; // owned by its record
    };

    ScriptNamespace(ScriptNamespace* parent, const char* name);
    template <class T, class... Args>
    friend T* NewObject(Args&&... args);

    static Array<Bucket> NewTable();
    int BucketOf(unsigned key) const noexcept;
    const Record* FindNamed(unsigned key, const char* name, int length) const;
    ScriptObject* FindObjectInChain(unsigned key, const char* name, int length) const;
    const ScriptNamespace* FindChild(const char* name, int length) const;
    ScriptNamespace* FindNamespaceBytes(const char* name, int length, int searchParents) const;
    void Insert(unsigned key, int32_t id, const StringRef& name, ScriptObject* object);
    void Append(unsigned key, int32_t id, const StringRef& name, ScriptObject* object);
    void Flush() const;
    void DoubleTable();
    // The object of the record numbered `id`; null when there is none.
    ScriptObject* IndexedObject(uint32_t id) const noexcept;
    // Whether `id` belongs to the dense part, which widens to take it when that keeps the part
    // within a few times the number of indexed ids.
    bool TakeDense(uint32_t id);
    // Room in the hash for one more id without passing half full.
    void ReserveIdSlot();
    // Whether the id was new to the index.
    bool IndexId(uint32_t id, ScriptObject* object);
    void UnindexId(uint32_t id);
    void ClearIdIndex() noexcept;
    void NoteFirstObject(ScriptObject* object);
    bool ClearOwnReferences(ScriptObject* object);
    void AppendOwnObjects(Array<Obj<ScriptObject>>& out) const;
    void DetachChildren();
    template <class Visit>
    void Walk(bool recurse, Visit visit) const;

    friend class ScriptEngine;

    String m_Name;
    ScriptNamespace* m_Parent; // not counted; null for a root
    Array<Obj<ScriptNamespace>> m_Children;
    Array<Obj<ScriptClass>> m_Classes;
    Array<Bucket> m_Buckets;
    // Numbered records by id beside the table, whose bucket cap makes id lookups slow in large
    // scenes, kept in step with every insertion and removal of a numbered record. Files number
    // their objects 1, 2, 3...: ids below the size of the dense part are its positions (null:
    // none), so a load walks one array in order; the others are hashed (open addressing,
    // linear probing, at most half full).
    std::vector<ScriptObject*> m_IdDense; // owned by their records
    size_t m_DenseCount = 0;
    std::vector<IdSlot> m_IdSlots;
    size_t m_IdCount = 0;     // in m_IdSlots
    uint64_t m_IdVersion = 0; // changes with every change of the index: reservations go stale
    // Numbered objects indexed but not yet in the table, in the order they were defined. A
    // load defines hundreds of thousands of them, and adding each to a random bucket of the
    // capped table costs a cache miss; they are added (the same insertions in the same order,
    // so the table ends exactly as it would have) by the first call that reads or changes
    // the table other than the lookups. Pending ids are distinct and none is in the table.
    struct Pending {
        uint32_t m_Id;
        Obj<ScriptObject> m_Object;
    };
    mutable std::vector<Pending> m_Pending;
    Array<Obj<ScriptObject>> m_Anonymous;
    Obj<ScriptObject> m_FirstObject;
};

// Records hold only handles, so buckets grow by moving their bytes.
template <>
struct IsBytewiseRelocatable<ScriptNamespace::Record> : std::true_type {};

} // namespace Quorlix
