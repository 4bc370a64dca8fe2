#include "ConvertCommand.h"
#include "ToolFiles.h"

#include "quorlix/Quorlix.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <unordered_set>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

enum class Form { Unknown, Ascii, Binary, Compiled };

struct Options {
    std::string m_Input;
    std::string m_Output;
    std::string m_To;
    bool m_NonDefault = false;
};

String ToString(const std::string& text) {
    return String(text.data(), static_cast<int>(text.size()));
}

Form FormOf(const std::string& to, const std::string& output) {
    std::string name = to;
    if (name.empty()) {
        const size_t dot = output.find_last_of('.');
        const size_t slash = output.find_last_of('/');
        const std::string extension =
            dot != std::string::npos && (slash == std::string::npos || dot > slash)
                ? output.substr(dot + 1)
                : std::string();
        // .kss too: the library's own ascii scripts carry it.
        name = extension == "ks" || extension == "kss" ? "ascii"
               : extension == "ksb"                    ? "binary"
               : extension == "ksc"                    ? "compiled"
                                                       : "";
    }
    return name == "ascii"      ? Form::Ascii
           : name == "binary"   ? Form::Binary
           : name == "compiled" ? Form::Compiled
                                : Form::Unknown;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int Convert(const Options& options, Form form) {
    const char* const kinds[] = {"", "ascii", "binary", "compiled"};
    DLLInitialize(0);
    int status = 1;
    {
        Obj<ScriptEngine> engine(ScriptEngine::Create());
        Obj<StreamPipe> pipe = Storage::OpenStream(ToString(options.m_Input), 0);
        if (!pipe || pipe.Get() == StreamPipeNull::GetSingleton()) {
            std::fprintf(stderr, "error: cannot open %s\n", options.m_Input.c_str());
        } else {
            (void)Storage::SetReadPath(ToString(FolderOf(options.m_Input)));
            engine->Execute(pipe, ToString(options.m_Input), ParseLineCount);
            pipe = nullptr;
            if (engine->GetErrorCount() != 0) {
                std::fprintf(stderr, "error: %s has %d script errors; %s not written\n",
                             options.m_Input.c_str(), engine->GetErrorCount(),
                             options.m_Output.c_str());
            } else {
                const Array<Obj<ScriptObject>> roots = FindExportRoots(*engine);
                const unsigned flags = options.m_NonDefault ? 1u : 0u;
                Obj<StreamPipeMemory> data(StreamPipeMemory::Create());
                int exported = 0;
                if (form == Form::Compiled) {
                    VPUAsmWriter writer(data);
                    exported = engine->ExportRootsASM(writer, roots, flags);
                } else if (form == Form::Binary) {
                    ScriptStreamBinary stream(data);
                    exported = engine->ExportRoots(stream, roots, flags);
                } else {
                    ScriptStreamAlpha stream(data);
                    exported = engine->ExportRoots(stream, roots, flags);
                }
                if (exported != 0) {
                    std::fprintf(stderr,
                                 "error: %s cannot be written in the %s form; %s not "
                                 "written\n",
                                 options.m_Input.c_str(), kinds[static_cast<int>(form)],
                                 options.m_Output.c_str());
                } else if (!WriteWhole(options.m_Output, *data)) {
                    std::fprintf(stderr, "error: cannot write %s\n", options.m_Output.c_str());
                } else {
                    status = 0;
                }
            }
        }
    }
    DLLDeInitialize(0);
    return status;
}

} // namespace

Array<Obj<ScriptObject>> FindExportRoots(const ScriptEngine& engine) {
    Array<Obj<ScriptObject>> listed;
    engine.GetRootNamespace()->GetObjectList(listed, 0);
    Array<Obj<ScriptObject>> objects;
    for (const Obj<ScriptObject>& object : listed) {
        if (object && !object->IsNil() && TypeIDToKind(object->GetObjectClassID()) != Kind_Value)
            objects.Add(object);
    }
    // An object another tree reaches has its own tree inside that one: it need not be walked.
    std::unordered_set<const ScriptObject*> reached;
    Array<Obj<ScriptObject>> tree;
    for (const Obj<ScriptObject>& object : objects) {
        if (reached.count(object.Get()) != 0)
            continue;
        object->Traverse(tree);
        for (int i = 1; i < tree.Size(); ++i)
            reached.insert(tree[i].Get());
    }
    Array<Obj<ScriptObject>> roots;
    std::unordered_set<const ScriptObject*> covered;
    auto take = [&](const Obj<ScriptObject>& root) {
        roots.Add(root);
        root->Traverse(tree);
        for (const Obj<ScriptObject>& o : tree)
            covered.insert(o.Get());
    };
    for (const Obj<ScriptObject>& object : objects) {
        if (reached.count(object.Get()) == 0)
            take(object);
    }
    for (const Obj<ScriptObject>& object : objects) {
        if (covered.count(object.Get()) == 0)
            take(object);
    }
    return roots;
}

void AddConvertCommand(CLI::App& app, std::function<int()>& action) {
    auto options = std::make_shared<Options>();
    CLI::App* convert = app.add_subcommand(
        "convert", "Execute a script and write the objects it built in another script form");
    convert->add_option("INPUT", options->m_Input, "Script in any form (.kss/.ks, .ksb, .ksc)")
        ->required();
    convert->add_option("OUTPUT", options->m_Output, "File to write (replaced whole)")->required();
    convert
        ->add_option("--to", options->m_To,
                     "Form of OUTPUT; without it, its extension: .ks or .kss ascii, .ksb binary, "
                     ".ksc compiled")
        ->check(CLI::IsMember({"ascii", "binary", "compiled"}));
    convert->add_flag("--non-default", options->m_NonDefault,
                      "Write only the members that differ from a fresh object");
    convert->footer("Every object tree of the root namespace is written, each object once, the "
                    "classes and enumerations the script declared first. Objects are numbered: "
                    "their names are kept in their Name member (quorlix run --import-names "
                    "finds them by it). The compiled form cannot carry script-declared classes.");
    convert->callback([&action, options] {
        action = [options] {
            const Form form = FormOf(options->m_To, options->m_Output);
            if (form == Form::Unknown) {
                std::fprintf(stderr,
                             "error: cannot tell the form of %s from its extension "
                             "(.ks, .kss, .ksb, .ksc); give --to\n",
                             options->m_Output.c_str());
                return 2;
            }
            return Convert(*options, form);
        };
    });
}

} // namespace QuorlixTool
