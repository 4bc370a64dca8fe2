#include "PlayCommand.h"

#include "ProgressBar.h"
#include "quorlix/Quorlix.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/platform/Window.h"
#include "quorlix/widget/WidgetInput.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

struct Options {
    std::string m_Script;
    bool m_Headless = false;
    int m_Width = 0; // 0: the pipe's Resolution
    int m_Height = 0;
    int m_Frames = 0; // 0: until the window closes; 1 headless
    double m_Fps = 0; // 0: 60 in a window, unpaced headless
    std::string m_Screenshot;
    int m_Every = 0; // 0: the last frame only
};

// A frame time for scene time when no --fps is given: animation then plays as at 60 frames a
// second, so a headless frame N shows the same pose as the windowed one.
constexpr double k_DefaultFps = 60.0;
// Nodes a camera search visits at most: scene graphs from files need not be small.
constexpr int k_SearchLimit = 1 << 20;

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The position of the extension's dot in `path`, or npos when its file name has none.
size_t ExtensionDot(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string::npos;
    return dot;
}

// "WxH" with both between 1 and 16384; an error text for CLI11 otherwise.
std::string ParseSize(const std::string& text, int& width, int& height) {
    int w = 0, h = 0;
    char x = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') ||
        w < 1 || h < 1 || w > 16384 || h > 16384)
        return "expected WIDTHxHEIGHT, each 1 to 16384, not " + text;
    width = w;
    height = h;
    return std::string();
}

// The T nodes that no branch holds, and the render objects, of the namespace tree.
struct SceneObjects {
    std::vector<Obj<TNode>> m_Roots;
    Obj<RenderPipe> m_Pipe;
    std::vector<Obj<RenderChannel>> m_Channels;
};

SceneObjects FindSceneObjects(const ScriptEngine& engine) {
    Array<Obj<ScriptObject>> objects;
    engine.GetRootNamespace()->GetObjectList(objects, 1);
    // The list runs from the last definition back: reversed, numbered (converted) scripts and
    // anonymous objects come in the order they were defined.
    SceneObjects found;
    for (int i = objects.Size() - 1; i >= 0; --i) {
        const Obj<ScriptObject>& object = objects[i];
        if (!object)
            continue;
        if (object->IsA(BuiltinTypeID(k_ClassTNode)) &&
            static_cast<TNode*>(object.Get())->GetParent() == nullptr)
            found.m_Roots.emplace_back(static_cast<TNode*>(object.Get()));
        else if (object->IsA(BuiltinTypeID(k_ClassRenderPipe)) && !found.m_Pipe)
            found.m_Pipe = static_cast<RenderPipe*>(object.Get());
        else if (object->IsA(BuiltinTypeID(k_ClassRenderChannel)))
            found.m_Channels.emplace_back(static_cast<RenderChannel*>(object.Get()));
    }
    return found;
}

// The first TCamera below `root`, depth first in child order.
TNode* FindCamera(TNode* root) {
    std::vector<TNode*> stack{root};
    for (int visited = 0; !stack.empty() && visited < k_SearchLimit; ++visited) {
        TNode* node = stack.back();
        stack.pop_back();
        if (node->IsA(BuiltinTypeID(k_ClassTCamera)))
            return node;
        if (node->IsA(BuiltinTypeID(k_ClassTBranch))) {
            const auto* branch = static_cast<const TBranch*>(node);
            for (int i = branch->ChildCount() - 1; i >= 0; --i) {
                if (TNode* child = branch->GetChild(i))
                    stack.push_back(child);
            }
        }
    }
    return nullptr;
}

// A channel for a script that has none: its first root transform seen through its first
// camera (none: the identity view).
Obj<RenderChannel> MakeChannel(const SceneObjects& scene) {
    Obj<RenderChannel> channel(RenderChannel::Create());
    TNode* root = nullptr;
    for (const Obj<TNode>& node : scene.m_Roots) {
        if (node->IsA(BuiltinTypeID(k_ClassTBaseTransform))) {
            root = node.Get();
            break;
        }
    }
    if (root == nullptr && !scene.m_Roots.empty())
        root = scene.m_Roots.front().Get();
    channel->m_SceneRoot = root;
    TNode* camera = root != nullptr ? FindCamera(root) : nullptr;
    for (size_t i = 0; camera == nullptr && i < scene.m_Roots.size(); ++i)
        camera = FindCamera(scene.m_Roots[i].Get());
    channel->m_Camera = camera;
    return channel;
}

bool ExecuteScript(ScriptEngine& engine, const std::string& script) {
    const String path(script.data(), static_cast<int>(script.size()));
    Obj<StreamPipe> pipe(Storage::OpenStream(path, 0));
    if (!pipe || pipe.Get() == StreamPipeNull::GetSingleton()) {
        std::fprintf(stderr, "error: cannot open %s\n", script.c_str());
        return false;
    }
    const size_t slash = script.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : script.substr(0, slash + 1);
    (void)Storage::SetReadPath(String(folder.data(), static_cast<int>(folder.size())));
    engine.Execute(pipe, path, ParseLineCount);
    if (engine.GetErrorCount() != 0) {
        std::fprintf(stderr, "error: %s: %d errors\n", script.c_str(), engine.GetErrorCount());
        return false;
    }
    return true;
}

// Draws the frames. The pipe's window is up; returns the exit status.
int Frames(const Options& options, RenderPipe& pipe, RenderSystem& system,
           AnimationSystem& animation, bool windowed) {
    const int frames = options.m_Frames > 0 ? options.m_Frames : windowed ? 0 : 1;
    const double fps = options.m_Fps > 0 ? options.m_Fps : k_DefaultFps;
    const bool paced = options.m_Fps > 0 || windowed;
    const bool shots = !options.m_Screenshot.empty();
    Obj<Image> image(Image::Create());
    bool haveShot = false; // `image` holds the last frame (no --every)
    int status = 0;
    int drawn = 0;
    int64_t triangles = 0;
    const double start = Timer::GetSystemTimerSeconds();
    for (int frame = 1; frames == 0 || frame <= frames; ++frame) {
        RenderEngine* engine = pipe.GetRenderEngine();
        if (engine == nullptr)
            break;
        const double time = (frame - 1) / fps;
        animation.AdvanceFrame(time);
        system.ClearBuffers();
        system.DrawTree(time, time, 0);
        if (shots && options.m_Every > 0 && frame % options.m_Every == 0) {
            const std::string path = NumberedPath(options.m_Screenshot, frame);
            if (!engine->ReadPixels(*image) || image->ExportFile(path.c_str(), 0) != SOK) {
                std::fprintf(stderr, "error: cannot write %s\n", path.c_str());
                status = 1;
            }
        } else if (shots && options.m_Every == 0 && (frames == 0 || frame == frames)) {
            // Until the window closes any frame may be the last.
            haveShot = engine->ReadPixels(*image);
        }
        engine->SwapBuffers();
        ++drawn;
        triangles = engine->GetRenderStatistics()->GetTrianglesPerFrame();
        WidgetInput::PumpEvents(system); // the pipe's events, and input to the widget windows
        if (pipe.IsCloseRequested() || pipe.IsWindowDestroyed())
            break;
        if (paced) {
            const double wait = start + frame / fps - Timer::GetSystemTimerSeconds();
            if (wait > 0)
                Platform::SleepMilliseconds(static_cast<int32_t>(wait * 1000.0));
        }
    }
    const double seconds = Timer::GetSystemTimerSeconds() - start;
    if (shots && options.m_Every == 0) {
        if (!haveShot || image->ExportFile(options.m_Screenshot.c_str(), 0) != SOK) {
            std::fprintf(stderr, "error: cannot write %s\n", options.m_Screenshot.c_str());
            status = 1;
        }
    }
    std::fprintf(stderr, "play: %d frames, %.1f fps average, %lld triangles per frame\n", drawn,
                 seconds > 0 ? drawn / seconds : 0.0, static_cast<long long>(triangles));
    return status;
}

int Play(const Options& options) {
    DLLInitialize(0);
    // The engine records trace points while it loads and downloads textures; a thread without
    // tracing gets an error line for each of them.
    NewTrace("quorlix play");
    int status = 1;
    bool video = false;
    {
        Obj<ScriptEngine> engine(ScriptEngine::Create());
        if (ExecuteScript(*engine, options.m_Script)) {
            SceneObjects scene = FindSceneObjects(*engine);
            Obj<RenderPipe> pipe = scene.m_Pipe;
            if (!pipe) {
                pipe = RenderPipe::Create();
                pipe->m_ColorBits = 24; // screenshots in full colour
                pipe->m_DepthBits = 24;
            }
            if (scene.m_Channels.empty())
                scene.m_Channels.push_back(MakeChannel(scene));
            if (options.m_Width > 0)
                pipe->SetResolution(Vector2f(static_cast<float>(options.m_Width),
                                             static_cast<float>(options.m_Height)));
            bool headless = options.m_Headless;
            if (!headless && !Platform::DisplayExists()) {
                TerminalProgressBar::PrintLine("play: no display: rendering headless");
                headless = true;
            }
            // The pipe starts video itself (counted); starting it first chooses the driver.
            video = Platform::StartVideo(headless ? "offscreen" : nullptr);
            if (!video) {
                std::fprintf(stderr, "error: cannot start video: %s\n",
                             Platform::LastWindowError());
            } else if (const int result = pipe->ApplyFormat(); result < 0) {
                std::fprintf(stderr, "error: the render pipe could not be made (%d)\n", result);
            } else if (pipe->GetRenderEngine() == nullptr) {
                std::fprintf(stderr, "error: the render pipe has no engine\n");
            } else {
                Obj<RenderSystem> system(RenderSystem::Create());
                system->SetRenderPipe(pipe);
                for (const Obj<RenderChannel>& channel : scene.m_Channels)
                    system->AddChannel(channel);
                AnimationSystem animation(engine->GetRootNamespace());
                status = Frames(options, *pipe, *system, animation, !headless);
                system->SetRenderPipe(nullptr);
            }
            pipe->DeInitializeWindow();
        }
        Xout.Flush();
    }
    if (video)
        Platform::StopVideo();
    EndTrace("quorlix play");
    DLLDeInitialize(0);
    return status;
}

} // namespace

std::string NumberedPath(const std::string& path, int frame) {
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", frame);
    const size_t dot = ExtensionDot(path);
    if (dot == std::string::npos)
        return path + number;
    return path.substr(0, dot) + number + path.substr(dot);
}

void AddPlayCommand(CLI::App& app, std::function<int()>& action) {
    auto options = std::make_shared<Options>();
    CLI::App* play = app.add_subcommand(
        "play", "Render a scene script in a window or headless, with screenshots");
    play->add_option("SCENE", options->m_Script,
                     "Scene script (any form), or a path inside an archive (pak.kxp/a.kss)")
        ->required();
    play->add_flag("--headless", options->m_Headless,
                   "Render without a window (also the choice when there is no display)");
    play->add_option_function<std::string>(
            "--size",
            [options](const std::string& text) {
                (void)ParseSize(text, options->m_Width, options->m_Height);
            },
            "Frame size WIDTHxHEIGHT in place of the pipe's Resolution")
        ->check([](const std::string& text) {
            int w = 0, h = 0;
            return ParseSize(text, w, h);
        });
    play->add_option("--frames", options->m_Frames,
                     "Frames to draw (default: until the window closes; 1 headless)")
        ->check(CLI::Range(1, 1 << 30));
    play->add_option("--fps", options->m_Fps,
                     "Frames per second: paces the frames and sets the scene time step "
                     "(default: 60 in a window, unpaced headless)")
        ->check(CLI::Range(0.01, 10000.0));
    CLI::Option* shot =
        play->add_option("--screenshot", options->m_Screenshot,
                         "Write the last frame to FILE (.png, .bmg or .tga)")
            ->check([](const std::string& path) {
                const size_t dot = ExtensionDot(path);
                const std::string e = dot == std::string::npos ? "" : Lower(path.substr(dot));
                return e == ".png" || e == ".bmg" || e == ".tga"
                           ? std::string()
                           : "a screenshot is written as .png, .bmg or .tga: " + path;
            });
    play->add_option("--every", options->m_Every,
                     "Write every K-th frame instead, numbered: FILE-0005.png")
        ->check(CLI::Range(1, 1 << 30))
        ->needs(shot);
    play->callback([&action, options] { action = [options] { return Play(*options); }; });
}

} // namespace QuorlixTool
