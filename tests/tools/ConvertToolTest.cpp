// "quorlix convert" as a user runs it: the demo scene through the forms, the trees it finds,
// object names, refusals and wrong use. Converted files are read back here and compared with
// what they were made from, object by object.

#include "ConvertCommand.h"
#include "ToolRun.h"
#include "script/ScriptTestSupport.h"
#include "support/LogCapture.h"
#include "support/ObjectCompare.h"

#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/script/ScriptStreamBinary.h"
#include "quorlix/script/VPUAsmWriter.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

class ConvertTool : public ScriptTest {
protected:
    void TearDown() override {
        for (const Obj<ScriptEngine>& engine : m_Engines) {
            Array<Obj<ScriptObject>> all;
            engine->GetObjectList(all, 1);
            BreakLinks(all);
        }
    }

    // `path` executed in a fresh engine, which must take it without an error.
    ScriptEngine& Load(const std::string& path) {
        Obj<ScriptEngine> engine = ScriptEngine::Create();
        const std::string folder = path.substr(0, path.find_last_of('/') + 1);
        EXPECT_FALSE(Storage::SetReadPath(String(folder.c_str())));
        LogCapture log;
        engine->Execute(Storage::OpenStream(String(path.c_str()), 0), String(path.c_str()), 0);
        EXPECT_EQ(engine->GetErrorCount(), 0) << path << log.Text();
        m_Engines.push_back(engine);
        return *engine;
    }

    // Every object of the trees convert wrote from `before` equals the object `after` (which
    // executed the converted file) holds under the number the writer W gave it.
    template <class W>
    static void ExpectConverted(ScriptEngine& before, ScriptEngine& after) {
        const Array<Obj<ScriptObject>> roots = QuorlixTool::FindExportRoots(before);
        ASSERT_FALSE(roots.IsEmpty());
        Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create();
        W writer(pipe);
        if constexpr (std::is_same_v<W, VPUAsmWriter>)
            ASSERT_EQ(before.ExportRootsASM(writer, roots, 0), 0);
        else
            before.ExportRoots(writer, roots, 0);
        const ObjectNumbers numbers = [&](const ScriptObject* o) { return writer.NumberOf(o); };
        const ScriptNamespace* ns = after.GetRootNamespace();
        int compared = 0;
        Array<Obj<ScriptObject>> tree;
        for (const Obj<ScriptObject>& root : roots) {
            root->Traverse(tree);
            for (const Obj<ScriptObject>& object : tree) {
                ExpectSameObject(object, ns->FindObjectID(numbers(object)), numbers, ns);
                ++compared;
            }
        }
        EXPECT_GT(compared, 3);
    }

    std::vector<Obj<ScriptEngine>> m_Engines;
};

// The demo scene to binary and back to ascii, its materials (library classes only) through all
// three forms; the scene's own classes keep it out of the compiled form.
TEST_F(ConvertTool, DemoGoesThroughEveryFormThatCanCarryIt) {
    TempDir folder;
    const std::string demo = QUORLIX_EXAMPLES_DIR "/demo/";
    const auto convert = [&](const std::string& from, const std::string& to) {
        const ToolOutcome run = RunTool(folder, "convert '" + from + "' " + to);
        EXPECT_EQ(run.m_Status, 0) << from << " -> " << to << ": " << run.m_Err;
        return folder / to;
    };
    ScriptEngine& scene = Load(demo + "scene.kss");
    ScriptEngine& sceneBinary = Load(convert(demo + "scene.kss", "scene.ksb"));
    ExpectConverted<ScriptStreamBinary>(scene, sceneBinary);
    ScriptEngine& sceneAscii = Load(convert(folder / "scene.ksb", "scene.ks"));
    ExpectConverted<ScriptStreamAlpha>(sceneBinary, sceneAscii);

    const ToolOutcome refused = RunTool(folder, "convert scene.ksb scene.ksc");
    EXPECT_EQ(refused.m_Status, 1);
    EXPECT_TRUE(Contains(refused.m_Err, "class \"Lamp\" is declared by a script")) << refused.m_Err;
    EXPECT_FALSE(std::filesystem::exists(folder / "scene.ksc"));

    ScriptEngine& materials = Load(demo + "materials.kss");
    ScriptEngine& binary = Load(convert(demo + "materials.kss", "materials.ksb"));
    ExpectConverted<ScriptStreamBinary>(materials, binary);
    ScriptEngine& compiled = Load(convert(folder / "materials.ksb", "materials.ksc"));
    ExpectConverted<VPUAsmWriter>(binary, compiled);
    ScriptEngine& ascii = Load(convert(folder / "materials.ksc", "materials.ks"));
    ExpectConverted<ScriptStreamAlpha>(compiled, ascii);
}

// Roots are the objects no other tree reaches; a shared object is written once; variables are
// left out; names come back through the Name member.
TEST_F(ConvertTool, WritesEachTreeOnceAndKeepsNamesInTheNameMember) {
    TempDir folder;
    WriteFileBytes(folder / "in.kss", "//KS 0.3\nvar :count 2;\n"
                                      "STransform:shared.{ .Translation (1, 2, 3); };\n"
                                      "TTransform:a.{ .SNode :shared; };\n"
                                      "TTransform:b.{ .SNode :shared; };\n");
    WriteFileBytes(folder / "check.kss", "//KS 0.3\nprint :a.Name? \" \" :shared.Translation?;\n");
    const ToolOutcome run = RunTool(folder, "convert in.kss out.ks --non-default");
    ASSERT_EQ(run.m_Status, 0) << run.m_Err;
    const std::string text = ReadFileBytes(folder / "out.ks");
    // The namespace's order; the shared object once, reached from both.
    EXPECT_EQ(text, "//KS 0.3 F010219x\nTTransform$1.{\n.SNode STransform$2;\n.Name \"b\";\n};\n"
                    "STransform$2.{\n.Translation (1.,2.,3.);\n.Name \"shared\";\n};\n"
                    "TTransform$3.{\n.SNode STransform$2;\n.Name \"a\";\n};\n");
    const ToolOutcome names = RunTool(folder, "run out.ks --import-names --then check.kss");
    EXPECT_EQ(names.m_Status, 0) << names.m_Err;
    EXPECT_EQ(names.m_Out, "a (1.,2.,3.)") << names.m_Err;
    // Without the import the objects are only numbered.
    EXPECT_EQ(RunTool(folder, "run out.ks --then check.kss").m_Status, 1);
}

TEST_F(ConvertTool, RefusesWrongUseAndBadInputWithoutWriting) {
    TempDir folder;
    WriteFileBytes(folder / "good.kss", "//KS 0.3\nTTransform:a;\n");
    WriteFileBytes(folder / "bad.kss", "//KS 0.3\nTTransform:a.{ .Nope 1; };\n");
    {
        const ToolOutcome help = RunTool(folder, "convert --help");
        EXPECT_EQ(help.m_Status, 0);
        EXPECT_TRUE(Contains(help.m_Out, "--non-default")) << help.m_Out;
    }
    for (const char* wrong :
         {"convert good.kss out.txt", "convert good.kss out.ks --to yaml", "convert good.kss"}) {
        const ToolOutcome run = RunTool(folder, wrong);
        EXPECT_EQ(run.m_Status, 2) << wrong;
        EXPECT_FALSE(run.m_Err.empty()) << wrong;
    }
    for (const char* failing : {"convert bad.kss out.ks", "convert missing.kss out.ks",
                                "convert good.kss no/such/folder/out.ks"}) {
        const ToolOutcome run = RunTool(folder, failing);
        EXPECT_EQ(run.m_Status, 1) << failing;
        EXPECT_TRUE(Contains(run.m_Err, "error:")) << failing << run.m_Err;
    }
    EXPECT_TRUE(Contains(RunTool(folder, "convert bad.kss out.ks").m_Err, "Nope"));
    // Nothing was left behind: no output, no part of one.
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"bad.kss", "good.kss", "stderr.txt"}));
    // --to overrides the extension.
    EXPECT_EQ(RunTool(folder, "convert good.kss out.txt --to binary").m_Status, 0);
    EXPECT_EQ(ReadFileBytes(folder / "out.txt").substr(0, 4), "KSB\x03");
}

} // namespace
