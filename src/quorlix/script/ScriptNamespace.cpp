#include "quorlix/script/ScriptNamespace.h"

#include "quorlix/core/Hash.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/script/Object.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/stream/Stream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace Quorlix {

namespace {

int Length(const char* text) noexcept {
    return text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
}

bool SameName(const StringRef& name, const char* bytes, int length) noexcept {
    return name.Size() == length && std::memcmp(name.GetCPtr(), bytes, length) == 0;
}

ScriptObject* NilObject() noexcept {
    return &G_NilObject;
}

// The name of a class of a class list, which a caller may have filled with null or the nil
// object (ImportClassList); null for those and for classes not defined yet.
const char* ClassName(const ScriptClass* scriptClass) noexcept {
    if (scriptClass == nullptr || scriptClass->IsNil())
        return nullptr;
    return scriptClass->GetClassNameCPtr();
}

} // namespace

ScriptNamespace* ScriptNamespace::Nil() noexcept {
    return NilObjectAs<ScriptNamespace>();
}

ScriptNamespace* ScriptNamespace::Create(ScriptNamespace* parent, const char* name) {
    return NewObject<ScriptNamespace>(IsNil(parent) ? nullptr : parent, name);
}

ScriptNamespace::ScriptNamespace(ScriptNamespace* parent, const char* name)
    : m_Name(name != nullptr ? name : ""), m_Parent(parent), m_Buckets(NewTable()) {
    if (m_Parent != nullptr)
        m_Parent->m_Children.Add(Obj<ScriptNamespace>(this));
}

ScriptNamespace::~ScriptNamespace() {
    // Children die here too unless someone else holds them. Releasing a child directly would
    // destroy its subtree recursively, one stack frame per level; instead each child that is
    // about to die hands its own children to this loop first.
    std::vector<Obj<ScriptNamespace>> stack(m_Children.begin(), m_Children.end());
    m_Children.Clear();
    while (!stack.empty()) {
        Obj<ScriptNamespace> child = static_cast<Obj<ScriptNamespace>&&>(stack.back());
        stack.pop_back();
        child->m_Parent = nullptr;
        if (BlockRefCount(child.Get()) == 1) {
            for (const Obj<ScriptNamespace>& grandchild : child->m_Children)
                stack.push_back(grandchild);
            child->m_Children.Clear();
        }
    }
}

Array<ScriptNamespace::Bucket> ScriptNamespace::NewTable() {
    Array<Bucket> table;
    table.Resize(k_InitialBuckets);
    return table;
}

ScriptNamespace* ScriptNamespace::GetParentNamespace() const noexcept {
    return m_Parent != nullptr ? m_Parent : Nil();
}

template <class Visit>
void ScriptNamespace::Walk(bool recurse, Visit visit) const {
    // Depth first, children from the last: the order of a recursive walk, without recursion.
    // `path` holds the namespaces from below this one down to the visited one, so that names
    // of paths are put together only where something is written.
    struct Item {
        const ScriptNamespace* m_Namespace;
        size_t m_Depth;
    };
    std::vector<Item> stack{{this, 0}};
    std::vector<const ScriptNamespace*> path;
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        path.resize(item.m_Depth);
        if (item.m_Depth > 0)
            path.back() = item.m_Namespace;
        visit(*item.m_Namespace, path);
        if (!recurse)
            break;
        for (const Obj<ScriptNamespace>& child : item.m_Namespace->m_Children)
            stack.push_back({child.Get(), item.m_Depth + 1});
    }
}

// Object table -----------------------------------------------------------------------------

int ScriptNamespace::BucketOf(unsigned key) const noexcept {
    // The bucket count is always a power of two, so the mask is the key modulo the count.
    return static_cast<int>(key & static_cast<unsigned>(m_Buckets.Size() - 1));
}

const ScriptNamespace::Record* ScriptNamespace::FindNamed(unsigned key, const char* name,
                                                          int length) const {
    // A table holds each name once, so the direction of the scan does not change the answer;
    // a forward scan is the one the memory prefetcher follows best.
    const Bucket& bucket = m_Buckets.Data()[BucketOf(key)];
    const Record* records = bucket.Data();
    for (int i = 0, n = bucket.Size(); i < n; ++i) {
        const Record& record = records[i];
        if (record.m_Key == key && SameName(record.m_Name, name, length))
            return &record;
    }
    return nullptr;
}

ScriptObject* ScriptNamespace::FindObjectInChain(unsigned key, const char* name, int length) const {
    if (length == 0)
        return NilObject();
    for (const ScriptNamespace* ns = this; ns != nullptr; ns = ns->m_Parent) {
        if (const Record* record = ns->FindNamed(key, name, length))
            return record->m_Object.Get();
    }
    return NilObject();
}

void ScriptNamespace::Insert(unsigned key, int32_t id, const StringRef& name,
                             ScriptObject* object) {
    const Bucket& found = m_Buckets.Data()[BucketOf(key)];
    // A numbered record exists exactly when the index has its id: a new number needs no scan
    // of a bucket that holds a hundred records once the table stops doubling.
    const bool scan = name.Size() != 0 || IndexedObject(static_cast<uint32_t>(id)) != nullptr;
    for (int i = scan ? found.Size() : 0; i-- > 0;) {
        const Record& record = found.Data()[i];
        if (record.m_Key == key && record.m_Id == id && record.m_Name == name) {
            m_Buckets[BucketOf(key)][i].m_Object = object;
            if (name.Size() == 0)
                (void)IndexId(static_cast<uint32_t>(id), object);
            return;
        }
    }
    Append(key, id, name, object);
    if (name.Size() == 0)
        (void)IndexId(static_cast<uint32_t>(id), object);
}

// A record known to be new (its name or number is not in the table).
void ScriptNamespace::Append(unsigned key, int32_t id, const StringRef& name,
                             ScriptObject* object) {
    if (m_Buckets.Data()[BucketOf(key)].Size() >= k_BucketLoad && m_Buckets.Size() < k_MaxBuckets)
        DoubleTable();
    m_Buckets[BucketOf(key)].Add(Record{key, id, String(name), Obj<ScriptObject>(object)});
}

void ScriptNamespace::Flush() const {
    if (m_Pending.empty())
        return;
    // Pending ids are already indexed and new to the table, so no bucket is scanned.
    std::vector<Pending> pending;
    pending.swap(m_Pending);
    auto& self = const_cast<ScriptNamespace&>(*this);
    for (Pending& record : pending)
        self.Append(AddressHash32(record.m_Id), static_cast<int32_t>(record.m_Id), String(),
                    record.m_Object.Get());
}

int ScriptNamespace::GetObjectBucketCount() const noexcept {
    Flush();
    return m_Buckets.Size();
}

void ScriptNamespace::DoubleTable() {
    Array<Bucket> old;
    old.Swap(m_Buckets);
    m_Buckets.Resize(old.Size() * 2);
    // Each new bucket is sized exactly before it is filled, so none keeps spare room.
    std::vector<int> sizes(static_cast<size_t>(m_Buckets.Size()), 0);
    for (const Bucket& bucket : old)
        for (const Record& record : bucket)
            ++sizes[static_cast<size_t>(BucketOf(record.m_Key))];
    for (int b = 0; b < m_Buckets.Size(); ++b)
        m_Buckets[b].Reserve(sizes[static_cast<size_t>(b)]);
    // Buckets and records from the last to the first: the order lookups and lists then see.
    for (int b = old.Size(); b-- > 0;) {
        const Bucket& bucket = old.Data()[b];
        for (int i = bucket.Size(); i-- > 0;)
            m_Buckets[BucketOf(bucket.Data()[i].m_Key)].Add(bucket.Data()[i]);
    }
}

// The id index -----------------------------------------------------------------------------

namespace {

// Runs of eight consecutive ids (how files number their objects) share one hashed start and
// take consecutive slots, so that neighbouring objects are looked up in the same cache lines.
size_t IdHome(uint32_t id, size_t mask) noexcept {
    return (static_cast<size_t>(AddressHash32(id >> 3)) + (id & 7)) & mask;
}

} // namespace

bool ScriptNamespace::TakeDense(uint32_t id) {
    const size_t size = m_IdDense.size();
    if (id < size)
        return true;
    // At most 32 bytes per indexed id, as the hash at its fullest: the part doubles only
    // toward ids below twice the count, so that scattered numbers cannot inflate it.
    const size_t count = m_DenseCount + m_IdCount;
    if (id >= 2 * count + 64)
        return false;
    ++m_IdVersion;
    const size_t wider = std::max<size_t>({size * 2, 64, size_t{id} + 1});
    m_IdDense.resize(wider, nullptr);
    if (m_IdCount == 0)
        return true;
    // Hashed ids that the part now covers move into it.
    std::vector<IdSlot> old(m_IdSlots.size(), IdSlot{0, nullptr});
    old.swap(m_IdSlots);
    m_IdCount = 0;
    const size_t mask = m_IdSlots.size() - 1;
    for (const IdSlot& slot : old) {
        if (slot.m_Id == 0)
            continue;
        if (slot.m_Id < wider) {
            m_IdDense[slot.m_Id] = slot.m_Object;
            ++m_DenseCount;
            continue;
        }
        size_t i = IdHome(slot.m_Id, mask);
        while (m_IdSlots[i].m_Id != 0)
            i = (i + 1) & mask;
        m_IdSlots[i] = slot;
        ++m_IdCount;
    }
    return true;
}

void ScriptNamespace::ReserveIdSlot() {
    if ((m_IdCount + 1) * 2 <= m_IdSlots.size())
        return;
    ++m_IdVersion;
    std::vector<IdSlot> old(std::max<size_t>(16, m_IdSlots.size() * 2), IdSlot{0, nullptr});
    old.swap(m_IdSlots);
    const size_t mask = m_IdSlots.size() - 1;
    for (const IdSlot& slot : old) {
        if (slot.m_Id == 0)
            continue;
        size_t i = IdHome(slot.m_Id, mask);
        while (m_IdSlots[i].m_Id != 0)
            i = (i + 1) & mask;
        m_IdSlots[i] = slot;
    }
}

bool ScriptNamespace::IndexId(uint32_t id, ScriptObject* object) {
    if (TakeDense(id)) {
        ++m_IdVersion;
        ScriptObject*& place = m_IdDense[id];
        const bool added = place == nullptr;
        m_DenseCount += added ? 1 : 0;
        place = object;
        return added;
    }
    ReserveIdSlot();
    ++m_IdVersion;
    const size_t mask = m_IdSlots.size() - 1;
    size_t i = IdHome(id, mask);
    while (m_IdSlots[i].m_Id != 0 && m_IdSlots[i].m_Id != id)
        i = (i + 1) & mask;
    const bool added = m_IdSlots[i].m_Id == 0;
    if (added)
        ++m_IdCount;
    m_IdSlots[i] = IdSlot{id, object};
    return added;
}

ScriptObject* ScriptNamespace::IndexedObject(uint32_t id) const noexcept {
    if (id < m_IdDense.size())
        return m_IdDense[id];
    if (m_IdSlots.empty())
        return nullptr;
    const size_t mask = m_IdSlots.size() - 1;
    for (size_t i = IdHome(id, mask); m_IdSlots[i].m_Id != 0; i = (i + 1) & mask) {
        if (m_IdSlots[i].m_Id == id)
            return m_IdSlots[i].m_Object;
    }
    return nullptr;
}

void ScriptNamespace::UnindexId(uint32_t id) {
    if (id < m_IdDense.size()) {
        if (m_IdDense[id] != nullptr) {
            m_IdDense[id] = nullptr;
            --m_DenseCount;
            ++m_IdVersion;
        }
        return;
    }
    if (m_IdSlots.empty())
        return;
    const size_t mask = m_IdSlots.size() - 1;
    size_t i = IdHome(id, mask);
    while (m_IdSlots[i].m_Id != id) {
        if (m_IdSlots[i].m_Id == 0)
            return;
        i = (i + 1) & mask;
    }
    // Backward shift: each later slot of the run whose home does not lie after the hole (up to
    // itself) moves into it, so probes never meet a false gap and no tombstones pile up.
    for (size_t j = (i + 1) & mask; m_IdSlots[j].m_Id != 0; j = (j + 1) & mask) {
        const size_t home = IdHome(m_IdSlots[j].m_Id, mask);
        const bool stays = i < j ? (i < home && home <= j) : (i < home || home <= j);
        if (!stays) {
            m_IdSlots[i] = m_IdSlots[j];
            i = j;
        }
    }
    m_IdSlots[i] = IdSlot{0, nullptr};
    --m_IdCount;
    ++m_IdVersion;
}

void ScriptNamespace::ClearIdIndex() noexcept {
    std::vector<ScriptObject*>().swap(m_IdDense);
    m_DenseCount = 0;
    std::vector<IdSlot>().swap(m_IdSlots);
    m_IdCount = 0;
    ++m_IdVersion;
}

void ScriptNamespace::NoteFirstObject(ScriptObject* object) {
    if (!m_FirstObject)
        m_FirstObject = object;
}

void ScriptNamespace::DefObject(ScriptObject* object, const StringRef& name) {
    if (object == nullptr)
        return;
    NoteFirstObject(object);
    if (name.Size() == 0) {
        for (const Obj<ScriptObject>& known : m_Anonymous) {
            if (known.Get() == object)
                return;
        }
        m_Anonymous.Add(Obj<ScriptObject>(object));
        return;
    }
    Flush();
    Insert(name.Hash32(), -1, name, object);
}

void ScriptNamespace::DefObjectID(ScriptObject* object, unsigned id) {
    if (object == nullptr)
        return;
    NoteFirstObject(object);
    if (id == 0) {
        m_Anonymous.Add(Obj<ScriptObject>(object));
        return;
    }
    if (!IndexId(id, object)) {
        // Replacement: the record, pending or not, keeps its place and takes the new object.
        Flush();
        Insert(AddressHash32(id), static_cast<int32_t>(id), String(), object);
        return;
    }
    m_Pending.push_back(Pending{id, Obj<ScriptObject>(object)});
}

ScriptObject* ScriptNamespace::FindObjectIDOrReserve(unsigned id, IdReservation& reservation) {
    reservation = IdReservation{nullptr, static_cast<uint32_t>(id)};
    if (id == 0)
        return NilObject();
    // A record may hold the nil object: no place then.
    if (TakeDense(id)) {
        if (ScriptObject* found = m_IdDense[id])
            return found;
        reservation.m_Namespace = this;
        reservation.m_Dense = true;
        reservation.m_Slot = id;
        reservation.m_Version = m_IdVersion;
        return NilObject();
    }
    // Made room for first, so that the free place the probe ends on is where the id goes.
    ReserveIdSlot();
    const size_t mask = m_IdSlots.size() - 1;
    size_t i = IdHome(id, mask);
    for (; m_IdSlots[i].m_Id != 0; i = (i + 1) & mask) {
        if (m_IdSlots[i].m_Id == id)
            return m_IdSlots[i].m_Object;
    }
    reservation.m_Namespace = this;
    reservation.m_Slot = i;
    reservation.m_Version = m_IdVersion;
    return NilObject();
}

void ScriptNamespace::DefReservedObjectID(ScriptObject* object, const IdReservation& reservation) {
    if (object == nullptr)
        return;
    if (reservation.m_Namespace != this || reservation.m_Version != m_IdVersion) {
        DefObjectID(object, reservation.m_Id);
        return;
    }
    // The id is new: the place is free and the number in neither the table nor the pending.
    NoteFirstObject(object);
    if (reservation.m_Dense) {
        m_IdDense[reservation.m_Slot] = object;
        ++m_DenseCount;
    } else {
        m_IdSlots[reservation.m_Slot] = IdSlot{reservation.m_Id, object};
        ++m_IdCount;
    }
    ++m_IdVersion;
    m_Pending.push_back(Pending{reservation.m_Id, Obj<ScriptObject>(object)});
}

ScriptObject* ScriptNamespace::FindObject(const StringRef& name) const {
    return FindObjectInChain(name.Hash32(), name.GetCPtr(), name.Size());
}

ScriptObject* ScriptNamespace::FindObjectID(unsigned id) const {
    // Only numbered records are indexed, so id 0xFFFFFFFF never meets a named record's -1.
    ScriptObject* object = IndexedObject(id);
    return object != nullptr ? object : NilObject();
}

void ScriptNamespace::ClearObjects() {
    m_Buckets = NewTable();
    std::vector<Pending>().swap(m_Pending);
    ClearIdIndex();
    m_Anonymous.Clear();
    m_FirstObject = nullptr;
}

EResult ScriptNamespace::ClearObject(const StringRef& name) {
    if (name.Size() == 0)
        return SOK;
    Flush();
    const unsigned key = name.Hash32();
    Bucket& bucket = m_Buckets[BucketOf(key)];
    for (int i = bucket.Size(); i-- > 0;) {
        const Record& record = bucket.Data()[i];
        if (record.m_Key == key && record.m_Name == name) {
            bucket.RemoveSwapLast(i);
            break;
        }
    }
    return SOK;
}

bool ScriptNamespace::ClearOwnReferences(ScriptObject* object) {
    Flush();
    bool removed = false;
    for (int b = m_Buckets.Size(); b-- > 0;) {
        if (m_Buckets.Data()[b].IsEmpty())
            continue;
        Bucket& bucket = m_Buckets[b];
        for (int i = bucket.Size(); i-- > 0;) {
            const Record& record = bucket.Data()[i];
            if (record.m_Object.Get() == object) {
                if (record.m_Name.Size() == 0)
                    UnindexId(static_cast<uint32_t>(record.m_Id));
                bucket.RemoveSwapLast(i);
                removed = true;
            }
        }
    }
    for (int i = m_Anonymous.Size(); i-- > 0;) {
        if (m_Anonymous.Data()[i].Get() == object) {
            m_Anonymous.Remove(i);
            removed = true;
        }
    }
    if (m_FirstObject.Get() == object && object != nullptr) {
        m_FirstObject = nullptr;
        removed = true;
    }
    return removed;
}

EResult ScriptNamespace::ClearObjectReferences(ScriptObject* object, int flags) {
    bool removed = false;
    Walk((flags & 1) != 0,
         [&](const ScriptNamespace& ns, const std::vector<const ScriptNamespace*>&) {
             removed |= const_cast<ScriptNamespace&>(ns).ClearOwnReferences(object);
         });
    return removed ? SOK : ENotFound;
}

ScriptObject* ScriptNamespace::GetFirstObject() const noexcept {
    return m_FirstObject ? m_FirstObject.Get() : NilObject();
}

void ScriptNamespace::SetFirstObject(ScriptObject* object) {
    m_FirstObject = object;
}

// Children ---------------------------------------------------------------------------------

const ScriptNamespace* ScriptNamespace::FindChild(const char* name, int length) const {
    const Obj<ScriptNamespace>* children = m_Children.Data();
    for (int i = m_Children.Size(); i-- > 0;) {
        if (SameName(children[i]->m_Name, name, length))
            return children[i].Get();
    }
    return nullptr;
}

ScriptNamespace* ScriptNamespace::FindNamespaceBytes(const char* name, int length,
                                                     int searchParents) const {
    for (const ScriptNamespace* ns = this; ns != nullptr;
         ns = searchParents != 0 ? ns->m_Parent : nullptr) {
        if (const ScriptNamespace* child = ns->FindChild(name, length))
            return const_cast<ScriptNamespace*>(child);
    }
    return Nil();
}

ScriptNamespace* ScriptNamespace::FindNamespace(const char* name, int searchParents) const {
    if (name == nullptr)
        name = "";
    return FindNamespaceBytes(name, Length(name), searchParents);
}

ScriptNamespace* ScriptNamespace::CreateNamespace(const char* name, int searchParents) {
    ScriptNamespace* found = FindNamespace(name, searchParents);
    return IsNil(found) ? Create(this, name) : found;
}

void ScriptNamespace::DetachChildren() {
    for (const Obj<ScriptNamespace>& child : m_Children)
        child->m_Parent = nullptr;
}

EResult ScriptNamespace::RemoveNamespace(const char* name) {
    if (name == nullptr)
        name = "";
    for (int i = m_Children.Size(); i-- > 0;) {
        if (m_Children.Data()[i]->m_Name == name) {
            // A holder that keeps the child alive must not reach this namespace through it
            // once this one is gone.
            m_Children.Data()[i]->m_Parent = nullptr;
            m_Children.Remove(i);
            return SOK;
        }
    }
    return ENotFound;
}

void ScriptNamespace::ClearNamespaces() {
    DetachChildren();
    // Each child's destructor takes its subtree apart without recursion.
    m_Children.Clear();
    ClearObjects();
}

void ScriptNamespace::GetNamespaceList(Array<Obj<ScriptNamespace>>& out) const {
    out = m_Children;
}

// Classes ----------------------------------------------------------------------------------

void ScriptNamespace::AddClass(ScriptClass* scriptClass) {
    if (scriptClass != nullptr && !scriptClass->IsNil())
        m_Classes.Add(Obj<ScriptClass>(scriptClass));
}

ScriptClass* ScriptNamespace::FindClass(const char* name) const {
    if (name == nullptr)
        name = "";
    for (const ScriptNamespace* ns = this; ns != nullptr; ns = ns->m_Parent) {
        const Obj<ScriptClass>* classes = ns->m_Classes.Data();
        for (int i = ns->m_Classes.Size(); i-- > 0;) {
            const char* className = ClassName(classes[i]);
            if (className != nullptr && std::strcmp(className, name) == 0)
                return classes[i].Get();
        }
    }
    return NilObjectAs<ScriptClass>();
}

void ScriptNamespace::GetClassList(Array<Obj<ScriptClass>>& out) const {
    out = m_Classes;
}

void ScriptNamespace::ImportClassList(const Array<Obj<ScriptClass>>& list) {
    m_Classes = list;
}

// Lists --------------------------------------------------------------------------------------

void ScriptNamespace::AppendOwnObjects(Array<Obj<ScriptObject>>& out) const {
    Flush();
    for (int b = m_Buckets.Size(); b-- > 0;) {
        const Bucket& bucket = m_Buckets.Data()[b];
        for (int i = bucket.Size(); i-- > 0;)
            out.Add(bucket.Data()[i].m_Object);
    }
    for (int i = m_Anonymous.Size(); i-- > 0;)
        out.Add(m_Anonymous.Data()[i]);
}

void ScriptNamespace::GetObjectList(Array<Obj<ScriptObject>>& out, int flags) const {
    Walk((flags & 1) != 0,
         [&](const ScriptNamespace& ns, const std::vector<const ScriptNamespace*>&) {
             ns.AppendOwnObjects(out);
         });
}

void ScriptNamespace::PrintObjectNames(Stream& stream, const StringRef& prefix) const {
    using Path = std::vector<const ScriptNamespace*>;
    const auto writePrefix = [&](const Path& path) {
        stream << prefix;
        for (const ScriptNamespace* ns : path)
            stream << ns->m_Name.Ref() << ":";
    };
    Walk(true, [&](const ScriptNamespace& ns, const Path& path) {
        if (!path.empty()) {
            stream << "namespace ";
            writePrefix(path);
            (stream << ";").pLF();
        }
        ns.Flush();
        for (int b = ns.m_Buckets.Size(); b-- > 0;) {
            const Bucket& bucket = ns.m_Buckets.Data()[b];
            for (int i = bucket.Size(); i-- > 0;) {
                writePrefix(path);
                (stream << bucket.Data()[i].m_Name.Ref() << ";").pLF();
            }
        }
        for (int i = ns.m_Classes.Size(); i-- > 0;) {
            if (const char* className = ClassName(ns.m_Classes.Data()[i]))
                (stream << "class " << className << ";").pLF();
        }
    });
}

void ScriptNamespace::ListObjects(Array<String>* names, Array<Obj<ScriptObject>>* objects,
                                  int flags, const ClassType_TypeID* type,
                                  const StringRef& prefix) const {
    using Path = std::vector<const ScriptNamespace*>;
    String top(prefix);
    if (top.Size() == 0 && m_Name.Size() != 0)
        top = m_Name + ":";
    Walk((flags & 1) != 0, [&](const ScriptNamespace& ns, const Path& path) {
        String base;
        bool haveBase = false;
        ns.Flush();
        for (int b = ns.m_Buckets.Size(); b-- > 0;) {
            const Bucket& bucket = ns.m_Buckets.Data()[b];
            for (int i = bucket.Size(); i-- > 0;) {
                const Record& record = bucket.Data()[i];
                if (record.m_Name.Size() == 0 || (type != nullptr && !record.m_Object->IsA(type)))
                    continue;
                if (names != nullptr) {
                    if (!haveBase) {
                        std::string text(top.GetCPtr(), static_cast<size_t>(top.Size()));
                        for (const ScriptNamespace* step : path)
                            text.append(step->m_Name.GetCPtr(), step->m_Name.Size()) += ':';
                        base = String(text.data(), static_cast<int>(text.size()));
                        haveBase = true;
                    }
                    names->Add(String(base.Ref(), record.m_Name.Ref()));
                }
                if (objects != nullptr)
                    objects->Add(record.m_Object);
            }
        }
    });
}

// Merging ----------------------------------------------------------------------------------

void ScriptNamespace::AddObjectList(const Array<Obj<ScriptObject>>& list) {
    for (const Obj<ScriptObject>& object : list) {
        if (!object || !object->IsA(BuiltinTypeID(k_ClassObject)))
            continue;
        const String name(static_cast<const Object*>(object.Get())->GetName());
        if (name.Size() == 0)
            continue;
        const int colon = name.RSearch(':');
        if (colon < 0) {
            DefObject(object, name);
            continue;
        }
        String rest;
        rest.AssignSlice(name, colon + 1, name.Size() - colon - 1);
        ScriptNamespace* target = this;
        if (!SameName(m_Name, name.GetCPtr(), colon)) {
            // Every segment of the path becomes a namespace of its own, so that the path
            // resolves to the object again; empty segments stay where they are.
            for (int start = 0; start < colon;) {
                int end = start;
                while (end < colon && name[end] != ':')
                    ++end;
                if (end > start) {
                    const String segment(name.GetCPtr() + start, end - start);
                    ScriptNamespace* child =
                        target->FindNamespaceBytes(segment.GetCPtr(), segment.Size(), 0);
                    target = IsNil(child) ? Create(target, segment.GetCPtr()) : child;
                }
                start = end + 1;
            }
        }
        target->DefObject(object, rest);
    }
}

void ScriptNamespace::ImportObjectTreeNames(ScriptObject* root) {
    if (root == nullptr)
        return;
    Array<Obj<ScriptObject>> tree;
    root->Traverse(tree);
    AddObjectList(tree);
}

EResult ScriptNamespace::MergeNamespace(const ScriptNamespace* other) {
    if (IsNil(other)) {
        Xerr.pLockError() << "ScriptNamespace::MergeNamespace: no namespace to merge.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return EInvalidArgument;
    }
    for (const ScriptNamespace* ns = this; ns != nullptr; ns = ns->m_Parent) {
        if (ns == other) {
            Xerr.pLockError() << "ScriptNamespace::MergeNamespace: \"" << other->m_Name.Ref()
                              << "\" cannot be merged into itself or into a namespace inside it.";
            Xerr.pLF();
            Xerr.pUnlockMessage();
            return EInvalidArgument;
        }
    }
    // Pairs still to merge, the next on top. A target is looked up (or created) only when its
    // pair comes up, as a recursive merge would. Nothing is removed while merging, so plain
    // pointers stay valid.
    struct Pair {
        ScriptNamespace* m_TargetParent; // null: the target is this namespace
        const ScriptNamespace* m_Source;
    };
    std::vector<Pair> stack{{nullptr, other}};
    while (!stack.empty()) {
        const Pair pair = stack.back();
        stack.pop_back();
        ScriptNamespace* target = this;
        if (pair.m_TargetParent != nullptr) {
            const StringRef& name = pair.m_Source->m_Name;
            ScriptNamespace* child =
                pair.m_TargetParent->FindNamespaceBytes(name.GetCPtr(), name.Size(), 0);
            target = IsNil(child) ? Create(pair.m_TargetParent, name.GetCPtr()) : child;
        }
        Array<Obj<ScriptObject>> objects;
        pair.m_Source->GetObjectList(objects, 0);
        target->AddObjectList(objects);
        const Array<Obj<ScriptNamespace>> children = pair.m_Source->m_Children;
        for (int i = children.Size(); i-- > 0;)
            stack.push_back({target, children.Data()[i].Get()});
    }
    return SOK;
}

} // namespace Quorlix
