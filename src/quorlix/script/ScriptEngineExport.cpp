// The engine's export of object trees: the ascii and binary forms through a ScriptStream, the
// compiled form through a VPUAsmWriter, each object once, the script classes declared first.

#include "quorlix/script/ScriptEngine.h"

#include "quorlix/script/ScriptStream.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/script/internal/ScriptLog.h"

#include <cstring>
#include <unordered_set>
#include <vector>

namespace Quorlix {

namespace {

bool IsScriptDeclared(int c) {
    const MVTBL* table = c > 0 && c < k_MasterMVTBLSize ? IsTableOf(c) : nullptr;
    return table != nullptr && TableHeader(table)->m_Owner != nullptr;
}

// Most exports are of library classes alone; they skip the search for declarations.
bool AnyScriptDeclared() {
    for (int c = 1; c < k_MasterMVTBLSize; ++c) {
        if (IsScriptDeclared(c))
            return true;
    }
    return false;
}

// A stream that writes nothing and notes every class a written token names: what a reader
// must know before the text it stands for.
class ClassProbe final : public ScriptStream {
public:
    std::vector<int> m_Classes;

    int WriteArrayString(const Array<String>&) override { return 0; }
    int WriteArraySpheref(const Array<Spheref>&) override { return 0; }
    int WriteArrayMatrix4f(const Array<Matrix4f>&) override { return 0; }
    int WriteArrayVector4f(const Array<Vector4f>&) override { return 0; }
    int WriteArrayVector3f(const Array<Vector3f>&) override { return 0; }
    int WriteArrayVector2f(const Array<Vector2f>&) override { return 0; }
    int WriteArrayF64(const Array<double>&) override { return 0; }
    int WriteArrayF32(const Array<float>&) override { return 0; }
    int WriteArrayU64(const Array<uint64_t>&) override { return 0; }
    int WriteArrayU32(const Array<uint32_t>&) override { return 0; }
    int WriteArrayI64(const Array<int64_t>&) override { return 0; }
    int WriteArrayI32(const Array<int32_t>&) override { return 0; }
    int WriteArrayBool(const Array<bool>&) override { return 0; }
    int WriteSpheref(const Spheref&) override { return 0; }
    int WriteMatrix4f(const Matrix4f&) override { return 0; }
    int WriteVector4f(const Vector4f&) override { return 0; }
    int WriteVector3f(const Vector3f&) override { return 0; }
    int WriteVector2f(const Vector2f&) override { return 0; }
    int WriteF64(double) override { return 0; }
    int WriteF32(float) override { return 0; }
    int WriteU64(uint64_t) override { return 0; }
    int WriteU32(uint32_t) override { return 0; }
    int WriteI64(int64_t) override { return 0; }
    int WriteI32(int32_t) override { return 0; }
    int WriteBool(bool) override { return 0; }
    int WriteString(const char*, int) override { return 0; }
    int WriteClassToken(const ClassType_TypeID* c, MVTBL* const*) override {
        m_Classes.push_back(ClassIndexOf(c));
        return 0;
    }
    int WriteMemberToken(const ClassType_MemberID* m, MVTBL* const*) override {
        m_Classes.push_back(ClassIndexOf(m));
        return 0;
    }
    int WriteClassMemberToken(const ClassType_MemberID* m, MVTBL* const*) override {
        m_Classes.push_back(ClassIndexOf(m));
        return 0;
    }
    int WriteIdentifier(const char*) override { return 0; }
    int WriteDotIdentifier(const char*) override { return 0; }
    int WriteObject(const ScriptObject*) override { return 0; }
    int WriteColonIdentifier(const char*) override { return 0; }
    int WriteToken(LexType) override { return 0; }
};

// The declaration of script class `c` as the parser reads it: `enum Name .{ .a 0; };` or
// `class Name > Base .{ .member default; };`, the defaults read from a fresh instance. Only
// the class's own members: its bases declare theirs.
void WriteDeclaration(int c, ScriptStream& stream) {
    const MVTBL* table = IsTableOf(c);
    const MVTBLHeader* header = TableHeader(table);
    const char* name = ScriptClassName(header->m_ClassID, nullptr);
    const bool enumeration = header->m_Kind == Kind_Enum;
    stream.WriteIdentifier(enumeration ? "enum" : "class");
    stream.WriteToken(LexBlank);
    stream.WriteIdentifier(name != nullptr ? name : "");
    if (!enumeration && header->m_BaseID != nullptr) {
        const char* base = ScriptClassName(header->m_BaseID, nullptr);
        stream.WriteToken(LexBlank);
        stream.WriteToken(LexOperatorGT);
        stream.WriteToken(LexBlank);
        stream.WriteIdentifier(base != nullptr ? base : "");
    }
    // A body always, even an empty one: `class Name;` alone would only be a forward.
    stream.WriteToken(LexBlank);
    stream.WriteToken(LexDot);
    stream.WriteToken(LexBraceL);
    stream.WriteToken(LexCRLF);
    const Obj<ScriptObject> fresh(enumeration ? nullptr : ScriptObject::Create(header->m_ClassID));
    for (int k = 1; k < header->m_Count; ++k) {
        const MVTBL& entry = table[k];
        if (entry.m_Name == nullptr ||
            (entry.m_Flags & MemberIsSomeEnum) != (enumeration ? MemberIsSomeEnum : 0u))
            continue;
        if (!enumeration && (!fresh || fresh->IsNil()))
            break;
        // Instances start identifier members at none whatever the declaration says: the
        // declared identifier is read from the defaults. None at all has no written form.
        const int type = ClassIndexOf(entry.m_Type);
        const bool identifier = !enumeration && (entry.m_Flags & MemberIsArray) == 0 &&
                                (type == k_ClassEnum || type == k_ClassMemberID);
        uint32_t declared = 0;
        if (identifier && header->m_Defaults != nullptr)
            std::memcpy(&declared, header->m_Defaults + entry.m_OffsetOrValue, 4);
        if (identifier && declared == 0)
            continue;
        stream.WriteToken(LexBlank);
        stream.WriteDotIdentifier(entry.m_Name);
        stream.WriteToken(LexBlank);
        if (enumeration)
            stream.WriteI32(static_cast<int32_t>(entry.m_OffsetOrValue));
        else if (identifier)
            stream.WriteClassMemberToken(MakeMemberID(declared), nullptr);
        else
            fresh->Write(MemberIDOf(k, c), stream);
        stream.WriteToken(LexSemicolon);
        stream.WriteToken(LexCRLF);
    }
    stream.WriteToken(LexBraceR);
    stream.WriteToken(LexSemicolon);
    stream.WriteToken(LexCRLF);
}

// The objects of several trees, each once in the order the trees reach them, and the script
// classes they need in an order a reader can declare them in.
struct ExportPlan {
    Array<Obj<ScriptObject>> m_Objects;
    std::vector<int> m_Classes;

    // With `classes` unset, or when no script has declared a class at all, only the objects.
    ExportPlan(const Array<Obj<ScriptObject>>& roots, bool classes) {
        // One tree lists each object once already; only several need the set across them.
        if (roots.Size() == 1 && roots[0] && !roots[0]->IsNil())
            roots[0]->Traverse(m_Objects);
        else
            ListTrees(roots);
        if (!classes || !AnyScriptDeclared())
            return;
        for (const Obj<ScriptObject>& object : m_Objects) {
            Need(ClassIndexOf(object->GetObjectClassID()));
            ClassProbe probe;
            object->Write(probe);
            for (const int c : probe.m_Classes)
                Need(c);
        }
    }

    // The objects of every tree, each once, in the order the trees reach them.
    void ListTrees(const Array<Obj<ScriptObject>>& roots) {
        std::unordered_set<const ScriptObject*> listed;
        Array<Obj<ScriptObject>> tree;
        for (const Obj<ScriptObject>& root : roots) {
            if (!root || root->IsNil() || listed.count(root.Get()) != 0)
                continue;
            root->Traverse(tree);
            for (const Obj<ScriptObject>& object : tree) {
                if (listed.insert(object.Get()).second)
                    m_Objects.Add(object);
            }
        }
    }

    // Declares `c` after its base and whatever its defaults name. A class is marked before its
    // dependencies are visited, so a cycle cannot recurse forever.
    void Need(int c) {
        if (!IsScriptDeclared(c) || !m_Seen.insert(c).second)
            return;
        const MVTBLHeader* header = TableHeader(IsTableOf(c));
        if (header->m_Kind != Kind_Enum) {
            if (header->m_BaseID != nullptr)
                Need(ClassIndexOf(header->m_BaseID));
            ClassProbe probe;
            WriteDeclaration(c, probe);
            for (const int used : probe.m_Classes)
                Need(used);
        }
        m_Classes.push_back(c);
    }

    // The class a refusal names: that of the first object of a script class, which the user
    // knows the objects by, else the first class needed. Only for a plan that needs classes.
    int Named() const {
        for (const Obj<ScriptObject>& object : m_Objects) {
            const int c = ClassIndexOf(object->GetObjectClassID());
            if (IsScriptDeclared(c))
                return c;
        }
        return m_Classes[0];
    }

private:
    std::unordered_set<int> m_Seen;
};

void WriteObjects(const Array<Obj<ScriptObject>>& objects, ScriptStream& stream, unsigned flags) {
    for (const Obj<ScriptObject>& object : objects) {
        stream.WriteClassToken(object->GetObjectClassID(), object->GetClassRow());
        stream.WriteObject(object.Get());
        if ((flags & 1) != 0)
            object->WriteNonDefault(stream);
        else
            object->Write(stream);
        stream.WriteToken(LexSemicolon);
        stream.WriteToken(LexCRLF);
    }
}

// One program: each object created and its members set, closed by selecting the first.
void WriteProgram(const Array<Obj<ScriptObject>>& objects, VPUAsmWriter& writer, unsigned flags) {
    for (const Obj<ScriptObject>& object : objects) {
        writer.Create(object.Get());
        if ((flags & 1) != 0)
            object->WriteASMNonDefault(writer);
        else
            object->WriteASM(writer);
    }
    if (!objects.IsEmpty())
        writer.Finish(objects[0].Get());
}

} // namespace

int ScriptEngine::Export(ScriptStream& stream, ScriptObject* root, unsigned flags) {
    Array<Obj<ScriptObject>> roots;
    roots.Add(Obj<ScriptObject>(root));
    return ExportRoots(stream, roots, flags);
}

int ScriptEngine::ExportASM(VPUAsmWriter& writer, ScriptObject* root, unsigned flags) {
    // Objects of script classes are written by their class numbers, which only an engine of
    // this process knows; that is the caller's business here (ExportRootsASM refuses them).
    Array<Obj<ScriptObject>> roots;
    roots.Add(Obj<ScriptObject>(root));
    WriteProgram(ExportPlan(roots, false).m_Objects, writer, flags);
    return 0;
}

int ScriptEngine::ExportRoots(ScriptStream& stream, const Array<Obj<ScriptObject>>& roots,
                              unsigned flags) {
    const ExportPlan plan(roots, true);
    for (const int c : plan.m_Classes)
        WriteDeclaration(c, stream);
    WriteObjects(plan.m_Objects, stream, flags);
    return 0;
}

int ScriptEngine::ExportRootsASM(VPUAsmWriter& writer, const Array<Obj<ScriptObject>>& roots,
                                 unsigned flags) {
    const ExportPlan plan(roots, true);
    if (!plan.m_Classes.empty()) {
        const char* name = ScriptClassName(MakeTypeID(plan.Named()), nullptr);
        Internal::LogScriptError("ScriptEngine::ExportASM: class \"", name != nullptr ? name : "",
                                 "\" is declared by a script; the compiled form cannot carry it.");
        return -1;
    }
    WriteProgram(plan.m_Objects, writer, flags);
    return 0;
}

} // namespace Quorlix
