// Feeds arbitrary bytes to RemoteObject::Receive, as a peer that is not trusted could send
// them, with named objects of a script class and a transform to change. Nothing may crash, run
// anything but member assignments, or grow without bound.

#include "ScriptFuzz.h"

#include "quorlix/net/RemoteObject.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/ScriptNamespace.h"

using namespace Quorlix;

namespace {

// The engine that declared the mirrored class; each input gets a fresh engine that imports it.
ScriptEngine& Declaring() {
    static ScriptEngine* engine = [] {
        ScriptEngine* e = ScriptEngine::Create();
        e->Execute(String("class Probe > Object .{ .Count 0; .Scale 1.0; .Tag \"t\"; "
                          ".Pos (0, 0, 0); .Next Nil; .Mode Euler.XYZ; .Steps [1, 2]; };"),
                   String("declare"), 0);
        return e;
    }();
    return *engine;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuorlixFuzz::StartScriptLibrary();
    if (size > QuorlixFuzz::k_MaxScriptInput)
        return 0;
    Array<Obj<ScriptClass>> classes;
    Declaring().GetClassList(classes);
    const Obj<ScriptEngine> engine(ScriptEngine::Create());
    engine->ImportClassList(classes);
    engine->Execute(String("Probe:probe .{ .Next Probe .{ .Count 2; }; };\n"
                           "STransform:xf .{ .Translation (1, 2, 3); };"),
                    String("objects"), ParseQuiet);
    const Obj<RemoteObject> remote(RemoteObject::Create());
    remote->SetEngine(engine.Get());
    remote->SetReceivePipe(StreamPipeMemory::Create(data, static_cast<int>(size)));
    remote->Receive();
    // Links between the objects are counted, not collected: break them before they go.
    engine->Execute(String(":probe .{ .Next Nil; };"), String("unlink"), ParseQuiet);
    return 0;
}
