// The log console: its ring of RTF lines, the document, and the pipe that feeds it.

#include "quorlix/core/LogConsole.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>

using namespace Quorlix;

namespace {

const std::string k_Header =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fcharset0 Tahoma;}}"
    "{\\colortbl \\red16\\green16\\blue16;\\red128\\green0\\blue0;\\red0\\green128\\blue0;"
    "\\red128\\green128\\blue0;\\red0\\green0\\blue128;\\red128\\green0\\blue128;\\red0\\green128"
    "\\blue128;\\red128\\green128\\blue128;\\red128\\green128\\blue128;\\red255\\green0\\blue0;"
    "\\red0\\green255\\blue0;\\red255\\green255\\blue0;\\red0\\green0\\blue255;\\red255\\green0"
    "\\blue255;\\red0\\green255\\blue255;\\red255\\green255\\blue255;}\\viewkind4\\uc1\\pard\\f0"
    "\\fs16\\b\\cf7 ";

// The lines of the document between its header and its end.
std::string Body(LogConsole& console) {
    console.Refresh();
    const std::string document = console.GetDocument().GetCPtr();
    EXPECT_EQ(document.substr(0, k_Header.size()), k_Header);
    EXPECT_EQ(document.substr(document.size() - 5), "\\par}");
    return document.substr(k_Header.size(), document.size() - k_Header.size() - 5);
}

void WriteText(LogConsole& console, const std::string& text) {
    EXPECT_EQ(console.Write(text.data(), static_cast<int>(text.size())),
              static_cast<int>(text.size()));
}

TEST(LogConsole, DocumentOfANewConsole) {
    Obj<LogConsole> console = LogConsole::Create();
    EXPECT_EQ(console->GetDocument().Size(), 0); // nothing before the first refresh
    console->Refresh();
    EXPECT_EQ(std::string(console->GetDocument().GetCPtr()),
              k_Header + "[start of log]\\par \\par}");
}

TEST(LogConsole, TextIsEscapedAndColoured) {
    Obj<LogConsole> console = LogConsole::Create();
    WriteText(*console, "a\\b{c}\td\r\x01\x7F"
                        "e\xE9\n");
    console->Color(12, 3);
    WriteText(*console, "red");
    console->Color(7, 0);
    WriteText(*console, "\n");
    // The line being written is not in the document yet.
    WriteText(*console, "open");
    EXPECT_EQ(Body(*console),
              "[start of log]\\par a\\\\b\\{c\\}de\xE9\\par \\cf12 red\\cf7 \\par ");
    EXPECT_EQ(console->Write(nullptr, 3), 3);
    EXPECT_EQ(console->Write("x", 0), 0);
}

TEST(LogConsole, TheRingKeepsTheLast499Lines) {
    Obj<LogConsole> console = LogConsole::Create();
    for (int i = 1; i <= 498; ++i)
        WriteText(*console, "L" + std::to_string(i) + "\n");
    std::string body = Body(*console);
    EXPECT_EQ(body.rfind("[start of log]\\par L1\\par L2\\par ", 0), 0u);
    // The next line takes the ring's last free slot: the first line, "[start of log]", goes.
    WriteText(*console, "L499\n");
    body = Body(*console);
    EXPECT_EQ(body.rfind("L1\\par L2\\par ", 0), 0u);
    EXPECT_EQ(body.size() - body.rfind("L499\\par "), 9u);
    // From then on every line drops the oldest.
    WriteText(*console, "L500\nL501\n");
    body = Body(*console);
    EXPECT_EQ(body.rfind("L3\\par L4\\par ", 0), 0u);
    EXPECT_EQ(body.substr(body.size() - 18), "L500\\par L501\\par ");
    console->Reset();
    EXPECT_EQ(Body(*console), "[start of log]\\par ");
}

TEST(LogConsole, AnEndlessLineIsCutWithoutBreakingAnEscape) {
    Obj<LogConsole> console = LogConsole::Create();
    const std::string full(LogConsole::k_MaxLineSize - 1, 'x');
    WriteText(*console, full + "{" + std::string(100, 'y') + "\n");
    // The escape that no longer fits goes whole, plain text fills the line up to its limit,
    // and the line still ends.
    EXPECT_EQ(Body(*console), "[start of log]\\par " + full + "y\\par ");
}

TEST(LogConsole, PipeFeedsTheConsoleAndOutlivesIt) {
    SetLogConsole(nullptr);
    Obj<StreamPipeLogConsole> pipe = StreamPipeLogConsole::Create();
    Obj<LogConsole> console = GetLogConsole();
    ASSERT_TRUE(console); // the first console pipe makes the console
    Obj<StreamPipeLogConsole> second = StreamPipeLogConsole::Create();
    EXPECT_EQ(GetLogConsole().Get(), console.Get()); // and only the first
    testing::internal::CaptureStderr();
    pipe->Lock();
    pipe->Color(9, 0);
    EXPECT_EQ(pipe->Write("to both\n", 8), 8);
    pipe->Unlock();
    pipe->Flush();
    // The terminal is the console's window: the text is on standard error too.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to both\n");
    EXPECT_NE(std::string(console->GetDocument().GetCPtr()).find("\\cf9 to both\\par "),
              std::string::npos);
    EXPECT_EQ(pipe->Read(), -1);
    EXPECT_EQ(pipe->Seek(0, 1), -1);

    // Released while pipes still hold on: they go on with standard error alone.
    pipe->Lock();
    SetLogConsole(nullptr);
    console = nullptr;
    pipe->Unlock();
    testing::internal::CaptureStderr();
    pipe->Lock();
    EXPECT_EQ(pipe->Write("after\n", 6), 6);
    pipe->Color(7, 0);
    pipe->Flush();
    pipe->Unlock();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "after\n");
}

} // namespace
