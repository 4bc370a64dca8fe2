#pragma once
// The host's handle on everything scripts create: a tree of namespaces with a root and a
// current namespace, to which almost every request goes, and the progress bar that long work
// reports to. Object paths separate namespace names with ':' ("lib:door").
//
// Lookups never return null: they answer the nil object. No locks: one thread executes scripts
// and edits the namespaces at a time.

#include "quorlix/platform/Export.h"
#include "quorlix/script/ProgressBar.h"
#include "quorlix/script/ScriptNamespace.h"

namespace Quorlix {

class StreamPipe;
class ScriptStream;
class VPUAsmWriter;

class QUORLIX_API ScriptEngine : public ScriptObject {
public:
    /// A new engine (count 0) whose root namespace (unnamed) is current.
    static ScriptEngine* Create();

    ~ScriptEngine() override;

    /// Holds `bar` (may be null) instead of the bar held so far.
    virtual void SetProgressBar(ProgressBar* bar);
    /// The bar held, or null.
    ProgressBar* GetProgressBar() const noexcept { return m_ProgressBar.Get(); }

    /// Parses `text` (an ascii script without header line) into the current namespace; `name`
    /// names it in messages. `flags`: ParseLineCount, ParseQuiet (Parser.h). Returns the first
    /// object the script defined, or the nil object (never null).
    virtual Obj<ScriptObject> Execute(const StringRef& text, const StringRef& name, unsigned flags);
    /// Parses or loads the script in `pipe` (held for the call), whose form its first bytes
    /// tell, into the current namespace. With a progress bar, the bar is told the fraction of
    /// the pipe read after each statement.
    virtual Obj<ScriptObject> Execute(StreamPipe* pipe, const StringRef& name, unsigned flags);

    /// Errors that parses through this engine reported (script errors, bad headers, missing
    /// files, included files too) since creation or the last reset.
    int GetErrorCount() const noexcept { return m_ErrorCount; }
    void ResetErrorCount() noexcept { m_ErrorCount = 0; }
    /// Counts one more error (the parser calls it).
    void CountError() noexcept { ++m_ErrorCount; }

    /// Writes the tree of `root` (root first, then every object reachable through owned links,
    /// depth first) as statements: per object its class, its number, its members (with bit 0
    /// of `flags`: only those that differ from a fresh object) and `;`; ahead of them the
    /// declarations of the script classes they need (see ExportRoots). Returns 0.
    virtual int Export(ScriptStream& stream, ScriptObject* root, unsigned flags);
    /// The same tree as compiled-form instructions: per object a create and its members; at the
    /// end the root is selected and the program ended. Returns 0. Objects of script-declared
    /// classes are written by class numbers that only this process knows (a file for others:
    /// ExportRootsASM).
    virtual int ExportASM(VPUAsmWriter& writer, ScriptObject* root, unsigned flags);

    /// Export of several trees through one stream: first the declarations of the script classes
    /// and enumerations the objects need (bases and enumerations before the classes that use
    /// them; built-in classes never), then the tree of each root in turn, each object written
    /// once however many trees reach it. Null roots are skipped. Returns 0.
    int ExportRoots(ScriptStream& stream, const Array<Obj<ScriptObject>>& roots, unsigned flags);
    /// ExportASM of several trees, each object once, closed by one selection of the first root.
    /// Returns 0, or -1 with only the header written and an error line naming the class when
    /// the trees need a script-declared class, which the compiled form cannot carry.
    int ExportRootsASM(VPUAsmWriter& writer, const Array<Obj<ScriptObject>>& roots, unsigned flags);

    // These forward to the current namespace; see ScriptNamespace.
    virtual void ClearObjects();
    virtual EResult ClearObject(const StringRef& name);
    virtual EResult ClearObjectReferences(ScriptObject* object, int flags);
    virtual void PrintObjectNames(Stream& stream, const StringRef& prefix) const;

    /// Never null.
    virtual ScriptNamespace* GetCurrentNamespace() const noexcept { return m_Current.Get(); }
    /// Makes the root current. SOK.
    virtual EResult RootNamespace();
    /// Stores the current namespace in `previous`, then makes the namespace `name` current,
    /// looked up from the current one outward through its parents. When there is none:
    /// ENotFound with the current namespace unchanged, or, with `create` set, a new child of
    /// the current namespace. SOK otherwise.
    virtual EResult EnterNamespace(const char* name, Obj<ScriptNamespace>& previous, int create);
    /// Makes `ns` current again (the `previous` that EnterNamespace gave). SOK; a null or nil
    /// `ns` is refused with EInvalidArgument and changes nothing.
    virtual EResult LeaveNamespace(ScriptNamespace* ns);
    virtual EResult RemoveNamespace(const char* name);
    virtual void ClearNamespaces();
    /// MergeNamespace of the current namespace, with its result.
    virtual EResult MergeNamespace(const ScriptNamespace* other);
    /// FindNamespace(name, 1) of the current namespace.
    virtual ScriptNamespace* FindNamespace(const char* name) const;

    /// The object at `path`: each segment before a ':' names a namespace looked up (through
    /// the parents) from the one before, starting at the current namespace; the last segment
    /// is the object's name, looked up there and outward. Nil when any part is missing.
    virtual ScriptObject* FindObjectC(const char* path) const;
    virtual ScriptObject* FindObject(const StringRef& path) const;
    virtual ScriptClass* FindClass(const char* name) const;
    virtual void GetObjectList(Array<Obj<ScriptObject>>& out, int flags) const;
    virtual void GetClassList(Array<Obj<ScriptClass>>& out) const;
    virtual void ImportClassList(const Array<Obj<ScriptClass>>& list);
    virtual void ImportObjectTreeNames(ScriptObject* root);

    /// ListObjects of the current namespace with an empty prefix.
    void ListObjects(Array<String>* names, Array<Obj<ScriptObject>>* objects, int flags,
                     const ClassType_TypeID* type) const;

    /// The root namespace, never null.
    ScriptNamespace* GetRootNamespace() const noexcept { return m_Root.Get(); }

private:
    ScriptEngine();
    template <class T, class... Args>
    friend T* NewObject(Args&&... args);

    ScriptObject* FindPath(const char* path, int length) const;

    Obj<ScriptNamespace> m_Root;
    Obj<ScriptNamespace> m_Current;
    Obj<ProgressBar> m_ProgressBar;
    int m_ErrorCount = 0;
};

} // namespace Quorlix
