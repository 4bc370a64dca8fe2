#pragma once
// Compares an object with its copy read back from an exported script, member by member.

#include "quorlix/script/ScriptNamespace.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/script/ScriptStreamBinary.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace QuorlixTest {

/// The number the writer of the export gave an object.
using ObjectNumbers = std::function<uint32_t(const Quorlix::ScriptObject*)>;

enum class Form { Ascii, Binary, Compiled };

inline const char* FormName(Form form) {
    return form == Form::Ascii ? "ascii" : form == Form::Binary ? "binary" : "compiled";
}

/// Writes each of `objects` once in `form` into `pipe`, as Export and ExportASM write a tree
/// (only the members off their defaults with `nonDefault`; the compiled program's result is
/// the first object). Returns the number each object got, in order.
inline std::vector<uint32_t>
WriteObjects(Form form, const Quorlix::Array<Quorlix::Obj<Quorlix::ScriptObject>>& objects,
             bool nonDefault, Quorlix::StreamPipe* pipe) {
    using namespace Quorlix;
    std::vector<uint32_t> numbers;
    if (form == Form::Compiled) {
        VPUAsmWriter writer(pipe);
        for (const Obj<ScriptObject>& o : objects) {
            writer.Create(o);
            nonDefault ? o->WriteASMNonDefault(writer) : o->WriteASM(writer);
        }
        writer.Finish(objects[0]);
        for (const Obj<ScriptObject>& o : objects)
            numbers.push_back(writer.NumberOf(o));
        return numbers;
    }
    std::optional<ScriptStreamAlpha> alpha;
    std::optional<ScriptStreamBinary> binary;
    ScriptStream& stream = form == Form::Ascii ? static_cast<ScriptStream&>(alpha.emplace(pipe))
                                               : static_cast<ScriptStream&>(binary.emplace(pipe));
    for (const Obj<ScriptObject>& o : objects) {
        stream.WriteClassToken(o->GetObjectClassID(), o->GetClassRow());
        stream.WriteObject(o);
        nonDefault ? o->WriteNonDefault(stream) : o->Write(stream);
        stream.WriteToken(LexSemicolon);
        stream.WriteToken(LexCRLF);
    }
    for (const Obj<ScriptObject>& o : objects)
        numbers.push_back(stream.NumberOf(o));
    return numbers;
}

/// Member `m` of `o` as ascii script text.
inline std::string WrittenMember(const Quorlix::ScriptObject* o,
                                 const Quorlix::ClassType_MemberID* m) {
    Quorlix::Obj<Quorlix::StreamPipeMemory> pipe = Quorlix::StreamPipeMemory::Create();
    {
        Quorlix::ScriptStreamAlpha stream(pipe);
        o->Write(m, stream);
    }
    return std::string(pipe->GetData(), pipe->GetData() + pipe->GetSize());
}

/// Calls visit(header, entry, k, m) for every member k of `o`'s class and its bases (table
/// header, entry, member index, member identifier) that is written and not an enumerator.
template <class Visit>
void ForEachWrittenMember(const Quorlix::ScriptObject* o, Visit&& visit) {
    using namespace Quorlix;
    for (const MVTBL* table = o->GetClassTable(); table != nullptr;) {
        const MVTBLHeader* header = TableHeader(table);
        for (int k = 1; k < header->m_Count; ++k) {
            const MVTBL& entry = table[k];
            if (entry.m_Name != nullptr &&
                (entry.m_Flags & (MemberNotWritten | MemberIsSomeEnum)) == 0)
                visit(*header, entry, k, MemberIDOf(k, ClassIndexOf(header->m_ClassID)));
        }
        table = header->m_BaseID != nullptr ? IsTableOf(ClassIndexOf(header->m_BaseID)) : nullptr;
    }
}

/// The objects member `m` (with the flags of its entry) of `o` links to: the elements of an
/// array or index member, else the one object (the nil object for none).
inline Quorlix::Array<Quorlix::Obj<Quorlix::ScriptObject>>
LinkedObjects(const Quorlix::ScriptObject* o, const Quorlix::ClassType_MemberID* m,
              unsigned flags) {
    using namespace Quorlix;
    Array<Obj<ScriptObject>> linked;
    if ((flags & (MemberIsIndex | MemberIsArray)) != 0)
        o->GetArray<ScriptObject*>(static_cast<const ClassMember*>(m), linked);
    else
        linked.Add(Obj<ScriptObject>(o->Get(static_cast<const ClassMember_Object*>(m))));
    return linked;
}

/// Whether `copy` is the counterpart of `original` (a linked object) in the engine read back.
using SameLink =
    std::function<bool(const Quorlix::ScriptObject* original, const Quorlix::ScriptObject* copy)>;

/// Every member of `a` equals that of `b`: values by Compare, or by their written text when `b`
/// is of a class the export declared again (its member identifiers differ then); object links
/// by `same`.
inline void ExpectSameObject(const Quorlix::ScriptObject* a, const Quorlix::ScriptObject* b,
                             const SameLink& same) {
    using namespace Quorlix;
    ASSERT_FALSE(b->IsNil());
    ASSERT_STREQ(a->GetObjectClassName(), b->GetObjectClassName());
    const bool sameClass = a->GetObjectClassID() == b->GetObjectClassID();
    ForEachWrittenMember(
        a, [&](const MVTBLHeader& header, const MVTBL& entry, int, const ClassType_MemberID* m) {
            const ClassType_MemberID* mb =
                sameClass ? m : FindClassMember(b->GetObjectClassID(), entry.m_Name);
            const std::string where = std::string(header.m_Name) + "." + entry.m_Name;
            ASSERT_NE(mb, nullptr) << where;
            if (TypeIDToKind(entry.m_Type) != Kind_Object) {
                if (sameClass)
                    EXPECT_TRUE(a->Compare(m, b)) << where;
                else
                    EXPECT_EQ(WrittenMember(a, m), WrittenMember(b, mb)) << where;
                return;
            }
            const Array<Obj<ScriptObject>> left = LinkedObjects(a, m, entry.m_Flags);
            const Array<Obj<ScriptObject>> right = LinkedObjects(b, mb, entry.m_Flags);
            ASSERT_EQ(left.Size(), right.Size()) << where;
            for (int i = 0; i < left.Size(); ++i)
                EXPECT_TRUE(same(left[i], right[i])) << where << "[" << i << "]";
        });
}

/// ExpectSameObject with links matched by the number the writer gave the linked object, looked up
/// in `ns`.
inline void ExpectSameObject(const Quorlix::ScriptObject* a, const Quorlix::ScriptObject* b,
                             const ObjectNumbers& numberOf, const Quorlix::ScriptNamespace* ns) {
    ExpectSameObject(a, b, [&](const Quorlix::ScriptObject* x, const Quorlix::ScriptObject* y) {
        return x->IsNil() ? y->IsNil() : ns->FindObjectID(numberOf(x)) == y;
    });
}

} // namespace QuorlixTest
