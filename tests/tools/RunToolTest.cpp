// "quorlix run" as a user runs it: the demo scene from a folder and from an archive, what goes to
// standard output and standard error, the exit status, standard input and wrong use.

#include "ToolRun.h"

#include <gtest/gtest.h>

#include <string>

using namespace QuorlixTest;

namespace {

const char* const k_Scene = "//KS 0.3\n"
                            "var :count 2;\n"
                            "include \"parts.kss\";\n"
                            "TTransform:root . {\n"
                            "    .SNode STransform:Sroot . { .Translation (1, 2, 3); };\n"
                            "    .Child [ TTransform:arm . {\n"
                            "        .SNode STransform:Sarm . { .Translation (10, 0, 0); };\n"
                            "    } ];\n"
                            "};\n"
                            "if :count > 1 { print \"many \" :count \"\\n\"; };\n";
const char* const k_Parts = "//KS 0.3\nSCamera:lens . { .FieldOfView 30.0; };\n";
const char* const k_Report =
    "//KS 0.3\nprint :arm.MatrixFrame? \" \" :lens.FieldOfView? \"\\n\";\n";

TEST(RunTool, ExecutesUpdatesAndReportsFromAFolderAnArchiveAndStandardInput) {
    TempDir folder;
    WriteFileBytes(folder / "scenes/main.kss", k_Scene);
    WriteFileBytes(folder / "scenes/parts.kss", k_Parts);
    WriteFileBytes(folder / "report.kss", k_Report);

    // Includes are found beside the script; print goes to standard output, the frame count of
    // the last update can be read back by the second script.
    const ToolOutcome run =
        RunTool(folder, "run scenes/main.kss --update 4 --then report.kss --print-objects");
    EXPECT_EQ(run.m_Status, 0) << run.m_Err;
    EXPECT_EQ(run.m_Out.substr(0, 13), "many 2\n4 30.\n") << run.m_Out;
    EXPECT_TRUE(Contains(run.m_Out, "arm;")) << run.m_Out;
    EXPECT_EQ(run.m_Err, "");

    // The same scripts inside an archive behave the same.
    ASSERT_EQ(RunTool(folder, "kxp create pak.kxp scenes").m_Status, 0);
    const ToolOutcome packed = RunTool(folder, "run pak.kxp/main.kss --update 4 --then report.kss");
    EXPECT_EQ(packed.m_Status, 0) << packed.m_Err;
    EXPECT_EQ(packed.m_Out, "many 2\n4 30.\n");

    // Standard input; -v after the sub-command shows the library's debug lines.
    const ToolOutcome piped = RunTool(folder, "run - -v", "//KS 0.3\nprint 1 + 2 * 3;\n");
    EXPECT_EQ(piped.m_Status, 0) << piped.m_Err;
    EXPECT_EQ(piped.m_Out, "7");
    EXPECT_TRUE(Contains(piped.m_Err, "debug: DLLInitialize()")) << piped.m_Err;

    // A namespace of its own holds the objects: the root's list does not show them.
    const ToolOutcome named =
        RunTool(folder, "run - --namespace level1 --print-objects", "//KS 0.3\nTNode:n;\n");
    EXPECT_EQ(named.m_Status, 0) << named.m_Err;
    EXPECT_EQ(named.m_Out, "n;\n");
}

// The animation demo: frame 45 at 30 fps plays the clip 1.5 s in, three quarters along its
// straight paths. With -v the run's note names the drivers it advanced.
TEST(RunTool, UpdatesPlayTheAnimationOfTheScript) {
    TempDir folder;
    const std::string demo = QUORLIX_EXAMPLES_DIR "/demo/";
    const ToolOutcome played = RunTool(folder, "run " + demo +
                                                   "animation.kss --update 45 --fps 30 "
                                                   "--then " +
                                                   demo + "animation-report.kss -v");
    EXPECT_EQ(played.m_Status, 0) << played.m_Err;
    EXPECT_EQ(played.m_Out, "stage at (1.5,3.,4.5), lamp colour (0.25,0.625,1.)\n");
    EXPECT_TRUE(Contains(played.m_Err, "over 1 scene roots, with 1 animation schedulers, 0 pose "
                                       "blends and 0 parent managers."))
        << played.m_Err;
}

TEST(RunTool, ErrorsFailTheRunAndWrongUseIsTwo) {
    TempDir folder;
    // An error in an included file counts too.
    WriteFileBytes(folder / "bad.kss", "//KS 0.3\nprint \"ok\";\ninclude \"worse.kss\";\n");
    WriteFileBytes(folder / "worse.kss", "//KS 0.3\nTNode:n . { .Nope 1; };\n");
    const ToolOutcome bad = RunTool(folder, "run bad.kss");
    EXPECT_EQ(bad.m_Status, 1);
    EXPECT_EQ(bad.m_Out, "ok");
    EXPECT_TRUE(Contains(bad.m_Err, "error: File: worse.kss(2) x=")) << bad.m_Err;
    EXPECT_TRUE(Contains(bad.m_Err, "Object: unknown member attribute \"Nope\".")) << bad.m_Err;

    // Quiet: the status still tells, nothing is said (included files report for themselves).
    const ToolOutcome quiet = RunTool(folder, "run worse.kss --quiet");
    EXPECT_EQ(quiet.m_Status, 1);
    EXPECT_FALSE(Contains(quiet.m_Err, "File: ")) << quiet.m_Err;

    // Missing files and invalid headers fail.
    EXPECT_EQ(RunTool(folder, "run missing.kss").m_Status, 1);
    EXPECT_EQ(RunTool(folder, "run -", "not a script").m_Status, 1);

    // Wrong use.
    EXPECT_EQ(RunTool(folder, "run").m_Status, 2);
    EXPECT_EQ(RunTool(folder, "run bad.kss --fps 0").m_Status, 2);
    EXPECT_EQ(RunTool(folder, "run bad.kss --update -1").m_Status, 2);
    const ToolOutcome help = RunTool(folder, "run --help");
    EXPECT_EQ(help.m_Status, 0);
    EXPECT_TRUE(Contains(help.m_Out + help.m_Err, "--then")) << help.m_Out;
}

} // namespace
