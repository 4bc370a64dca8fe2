// quorlix: the command-line program of the engine runtime.

#include "ConvertCommand.h"
#include "GetCommand.h"
#include "ImageCommand.h"
#include "KxpCommand.h"
#include "PlayCommand.h"
#include "RunCommand.h"
#include "TextureCacheCommand.h"
#include "TextureFontCommand.h"
#include "ToolLog.h"
#include "quorlix/Quorlix.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <functional>

using namespace Quorlix;

namespace {

int PrintVersion() {
    std::printf("quorlix %s (library %s, %s)\n", k_VersionTag, GetLibraryVersionTag(),
                DLLGetModulePath());
    return 0;
}

// A short tour of the string and hash layer.
int Demo() {
    String scene("scenes/");
    String path = scene + "castle.kss";
    std::printf("path            %s (%d characters)\n", path.GetCPtr(), path.Size());
    std::printf("extension at    %d\n", path.RSearch('.'));
    std::printf("hash            %08X\n", path.Hash32());

    String copy = path;
    copy.Replace(0, 'S');
    std::printf("edited copy     %s (original stays %s)\n", copy.GetCPtr(), path.GetCPtr());

    StringHashArray names(4);
    const char* const words[] = {"Camera", "Light", "Mesh", "Light"};
    for (const char* word : words)
        names.Insert(String(word), nullptr);
    void* value = nullptr;
    std::printf("Find(Light)     handle %d\n", names.Find(String("Light"), value));
    names.Remove(String("Light"));
    std::printf("after Remove    handle %d, %d entries left\n", names.Find(String("Light"), value),
                names.EntryCount());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("quorlix: the command-line program of the Quorlix engine runtime", "quorlix");
    std::function<int()> action;
    bool version = false;
    bool verbose = false;
    app.add_flag("--version", version, "Print the program and library versions");
    app.add_flag("-v,--verbose", verbose, "Show every line the library logs");
    // Options of the program (-v) may also follow a sub-command's name.
    app.fallthrough();
    app.add_subcommand("version", "Print the program and library versions")->callback([&] {
        version = true;
    });
    app.add_subcommand("demo", "A short tour of the string layer")->callback([&] {
        action = Demo;
    });
    QuorlixTool::AddKxpCommand(app, action);
    QuorlixTool::AddRunCommand(app, action);
    QuorlixTool::AddConvertCommand(app, action);
    QuorlixTool::AddImageCommand(app, action);
    QuorlixTool::AddPlayCommand(app, action);
    QuorlixTool::AddGetCommand(app, action);
    // The texture group: its commands add themselves to it.
    CLI::App* texture = app.add_subcommand("texture", "Texture caches and font images");
    texture->require_subcommand(1);
    QuorlixTool::AddTextureCacheCommand(*texture, action);
    QuorlixTool::AddTextureFontCommand(*texture, action);
    app.require_subcommand(0, 1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // Help is an answer, anything else is wrong use.
        return app.exit(error) == 0 ? 0 : 2;
    }
    if (version)
        return PrintVersion();
    if (!action) {
        std::fputs(app.help().c_str(), stderr);
        return 2;
    }
    QuorlixTool::RouteLibraryLog(verbose);
    const int status = action();
    QuorlixTool::UnrouteLibraryLog();
    return status;
}
