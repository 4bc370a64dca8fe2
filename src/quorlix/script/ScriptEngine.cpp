#include "quorlix/script/ScriptEngine.h"

#include "quorlix/core/Hash.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/script/ClassBinding.h"
#include "quorlix/script/Parser.h"

#include <cstring>

namespace Quorlix {

namespace {

ScriptObject* NewNamespaceObject() {
    return ScriptNamespace::Create(nullptr, "");
}

ScriptObject* NewEngineObject() {
    return ScriptEngine::Create();
}

} // namespace

void InitializeEngineClasses() {
    BindClass(Bind::NativeClass<ScriptNamespace>(k_ClassScriptNamespace, k_ClassScriptObject,
                                                 "ScriptNamespace")
                  .CreatedBy(&NewNamespaceObject));
    BindClass(
        Bind::NativeClass<ScriptEngine>(k_ClassScriptEngine, k_ClassScriptObject, "ScriptEngine")
            .CreatedBy(&NewEngineObject));
}

ScriptEngine* ScriptEngine::Create() {
    return NewObject<ScriptEngine>();
}

ScriptEngine::ScriptEngine() : m_Root(ScriptNamespace::Create(nullptr, "")), m_Current(m_Root) {}

ScriptEngine::~ScriptEngine() = default;

void ScriptEngine::SetProgressBar(ProgressBar* bar) {
    m_ProgressBar = bar;
}

Obj<ScriptObject> ScriptEngine::Execute(const StringRef& text, const StringRef& name,
                                        unsigned flags) {
    return Parse(*this, m_Current.Get(), text, name, flags);
}

Obj<ScriptObject> ScriptEngine::Execute(StreamPipe* pipe, const StringRef& name, unsigned flags) {
    const Obj<StreamPipe> hold(pipe);
    // The namespace too: a script may change what is current.
    const Obj<ScriptNamespace> ns(m_Current);
    return Parse(*this, ns.Get(), pipe, name, flags);
}

void ScriptEngine::ClearObjects() {
    m_Current->ClearObjects();
}

EResult ScriptEngine::ClearObject(const StringRef& name) {
    return m_Current->ClearObject(name);
}

EResult ScriptEngine::ClearObjectReferences(ScriptObject* object, int flags) {
    return m_Current->ClearObjectReferences(object, flags);
}

void ScriptEngine::PrintObjectNames(Stream& stream, const StringRef& prefix) const {
    m_Current->PrintObjectNames(stream, prefix);
}

EResult ScriptEngine::RootNamespace() {
    m_Current = m_Root;
    return SOK;
}

EResult ScriptEngine::EnterNamespace(const char* name, Obj<ScriptNamespace>& previous, int create) {
    previous = m_Current;
    ScriptNamespace* found = m_Current->FindNamespace(name, 1);
    if (ScriptNamespace::IsNil(found)) {
        if (create == 0)
            return ENotFound;
        found = m_Current->CreateNamespace(name, 0);
    }
    m_Current = found;
    return SOK;
}

EResult ScriptEngine::LeaveNamespace(ScriptNamespace* ns) {
    // The current namespace is used without checks everywhere else; it must stay a namespace.
    if (ScriptNamespace::IsNil(ns)) {
        Xerr.pLockError() << "ScriptEngine::LeaveNamespace: no namespace to return to.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return EInvalidArgument;
    }
    m_Current = ns;
    return SOK;
}

EResult ScriptEngine::RemoveNamespace(const char* name) {
    return m_Current->RemoveNamespace(name);
}

void ScriptEngine::ClearNamespaces() {
    m_Current->ClearNamespaces();
}

EResult ScriptEngine::MergeNamespace(const ScriptNamespace* other) {
    return m_Current->MergeNamespace(other);
}

ScriptNamespace* ScriptEngine::FindNamespace(const char* name) const {
    return m_Current->FindNamespace(name, 1);
}

ScriptObject* ScriptEngine::FindPath(const char* path, int length) const {
    const ScriptNamespace* ns = m_Current.Get();
    int start = 0;
    for (int i = 0; i < length; ++i) {
        if (path[i] != ':')
            continue;
        ns = ns->FindNamespaceBytes(path + start, i - start, 1);
        if (ScriptNamespace::IsNil(ns))
            return &G_NilObject;
        start = i + 1;
    }
    const char* name = path + start;
    const int size = length - start;
    const unsigned key = FastStringHash32(reinterpret_cast<const unsigned char*>(name),
                                          static_cast<unsigned>(size), 0);
    return ns->FindObjectInChain(key, name, size);
}

ScriptObject* ScriptEngine::FindObjectC(const char* path) const {
    if (path == nullptr)
        return &G_NilObject;
    return FindPath(path, static_cast<int>(std::strlen(path)));
}

ScriptObject* ScriptEngine::FindObject(const StringRef& path) const {
    // A plain name takes the hash cached in its buffer.
    if (std::memchr(path.GetCPtr(), ':', static_cast<size_t>(path.Size())) == nullptr)
        return m_Current->FindObject(path);
    return FindPath(path.GetCPtr(), path.Size());
}

ScriptClass* ScriptEngine::FindClass(const char* name) const {
    return m_Current->FindClass(name);
}

void ScriptEngine::GetObjectList(Array<Obj<ScriptObject>>& out, int flags) const {
    m_Current->GetObjectList(out, flags);
}

void ScriptEngine::GetClassList(Array<Obj<ScriptClass>>& out) const {
    m_Current->GetClassList(out);
}

void ScriptEngine::ImportClassList(const Array<Obj<ScriptClass>>& list) {
    m_Current->ImportClassList(list);
}

void ScriptEngine::ImportObjectTreeNames(ScriptObject* root) {
    m_Current->ImportObjectTreeNames(root);
}

void ScriptEngine::ListObjects(Array<String>* names, Array<Obj<ScriptObject>>* objects, int flags,
                               const ClassType_TypeID* type) const {
    m_Current->ListObjects(names, objects, flags, type, String());
}

} // namespace Quorlix
