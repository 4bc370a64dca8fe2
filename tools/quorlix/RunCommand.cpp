#include "RunCommand.h"

#include "ProgressBar.h"
#include "quorlix/Quorlix.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

struct Options {
    std::string m_Script;
    std::string m_Namespace;
    std::string m_Then;
    bool m_PrintObjects = false;
    bool m_Quiet = false;
    bool m_ImportNames = false;
    int m_Frames = 0;
    double m_Fps = 30.0;
};

String ToString(const std::string& text) {
    return String(text.data(), static_cast<int>(text.size()));
}

// Standard input as a pipe. Scripts from a pipeline are read whole: standard input cannot seek,
// and the parser measures what it reads.
StreamPipe* OpenStandardInput() {
    std::string text;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        text.append(buffer, n);
    if (text.size() > 0x7FFFFFFF)
        return nullptr;
    return StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()));
}

// The folder part of a script path ("scenes/a.kss" -> "scenes/"), which becomes the read path,
// so that the script's includes are found beside it, on disc or in an archive.
std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Executes one script (a path, or "-" for standard input); false when it could not be opened.
bool Execute(ScriptEngine& engine, const std::string& script, unsigned flags) {
    Obj<StreamPipe> pipe;
    if (script == "-") {
        pipe = OpenStandardInput();
    } else {
        pipe = Storage::OpenStream(ToString(script), 0);
        if (pipe && pipe.Get() == StreamPipeNull::GetSingleton())
            pipe = nullptr;
    }
    if (!pipe) {
        std::fprintf(stderr, "error: cannot open %s\n", script.c_str());
        return false;
    }
    engine.Execute(pipe, ToString(script == "-" ? std::string("<stdin>") : script), flags);
    return true;
}

// The T nodes that no branch holds: the roots of the scenes the scripts made.
std::vector<Obj<TNode>> SceneRoots(const ScriptEngine& engine) {
    Array<Obj<ScriptObject>> objects;
    engine.GetRootNamespace()->GetObjectList(objects, 1);
    std::vector<Obj<TNode>> roots;
    for (const Obj<ScriptObject>& object : objects) {
        if (object && object->IsA(BuiltinTypeID(k_ClassTNode)) &&
            static_cast<TNode*>(object.Get())->GetParent() == nullptr)
            roots.emplace_back(static_cast<TNode*>(object.Get()));
    }
    return roots;
}

// Frame i (from 1) plays at i / fps seconds: the animation drivers advance to that time, then
// every scene root is updated. Parent managers can move roots, so with any the roots are found
// again each frame.
void Update(const ScriptEngine& engine, int frames, double fps) {
    std::vector<Obj<TNode>> roots = SceneRoots(engine);
    AnimationSystem animation(engine.GetRootNamespace());
    XMiniUpdateTraverse traverse;
    SceneUpdateFrame frame;
    for (int i = 1; i <= frames; ++i) {
        animation.AdvanceFrame(i / fps);
        if (animation.GetParentManagerCount() > 0)
            roots = SceneRoots(engine);
        frame.m_Frame = static_cast<uint32_t>(i);
        for (const Obj<TNode>& root : roots)
            UpdateSceneFrame(traverse, root, Matrix4f::Identity, frame);
    }
    Xerr.pLockNote() << "run: " << frames << " frames (" << static_cast<float>(frames / fps)
                     << " s of scene time) over " << static_cast<int>(roots.size())
                     << " scene roots, with " << animation.GetSchedulerCount()
                     << " animation schedulers, " << animation.GetPoseBlendCount()
                     << " pose blends and " << animation.GetParentManagerCount()
                     << " parent managers.\n";
    Xerr.pUnlockMessage();
}

int Run(const Options& options) {
    DLLInitialize(0);
    int status = 0;
    {
        Obj<ScriptEngine> engine(ScriptEngine::Create());
        Obj<TerminalProgressBar> bar(TerminalProgressBar::Create("run", 0));
        // Off a terminal nothing is drawn, and the engine need not measure its progress.
        if (bar->IsOnTerminal())
            engine->SetProgressBar(bar);
        Obj<ScriptNamespace> previous;
        if (!options.m_Namespace.empty())
            (void)engine->EnterNamespace(options.m_Namespace.c_str(), previous, 1);
        const unsigned flags = ParseLineCount | (options.m_Quiet ? ParseQuiet : 0u);
        if (options.m_Script != "-")
            (void)Storage::SetReadPath(ToString(FolderOf(options.m_Script)));
        bool opened = Execute(*engine, options.m_Script, flags);
        if (opened && options.m_ImportNames) {
            // Converted files number their objects; their names survive in the Name member.
            Array<Obj<ScriptObject>> objects;
            engine->GetRootNamespace()->GetObjectList(objects, 0);
            engine->GetRootNamespace()->AddObjectList(objects);
        }
        if (opened && options.m_Frames > 0)
            Update(*engine, options.m_Frames, options.m_Fps);
        if (opened && !options.m_Then.empty())
            opened = Execute(*engine, options.m_Then, flags);
        if (options.m_PrintObjects)
            engine->PrintObjectNames(Xout, String());
        Xout.Flush();
        status = opened && engine->GetErrorCount() == 0 ? 0 : 1;
        engine->SetProgressBar(nullptr);
    }
    DLLDeInitialize(0);
    return status;
}

} // namespace

void AddRunCommand(CLI::App& app, std::function<int()>& action) {
    auto options = std::make_shared<Options>();
    CLI::App* run = app.add_subcommand("run", "Execute a scene script and inspect what it built");
    run->add_option("SCRIPT", options->m_Script,
                    "Script file, a path inside an archive (pak.kxp/a.kss), or - for stdin")
        ->required();
    run->add_option("--namespace", options->m_Namespace, "Execute in this namespace (created)");
    run->add_flag("--print-objects", options->m_PrintObjects,
                  "List the names of the objects defined");
    run->add_flag("--quiet", options->m_Quiet, "Parse without messages (the status still tells)");
    run->add_flag("--import-names", options->m_ImportNames,
                  "Name every object of the script by its Name member (for converted files)");
    run->add_option("--update", options->m_Frames,
                    "Advance the animation and update every scene root for FRAMES frames")
        ->check(CLI::NonNegativeNumber);
    run->add_option("--fps", options->m_Fps, "Frames per second of scene time (default 30)")
        ->check(CLI::PositiveNumber);
    run->add_option("--then", options->m_Then, "A second script executed afterwards");
    run->callback([&action, options] { action = [options] { return Run(*options); }; });
}

} // namespace QuorlixTool
