// The log console: its ring of RTF lines, the document, and the pipe that feeds it.

#include "quorlix/log/LogConsole.h"

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

std::string Document(LogConsole& console) {
    console.Refresh();
    return console.GetDocument().GetCPtr();
}

void WriteText(LogConsole& console, const std::string& text) {
    EXPECT_EQ(console.Write(text.data(), static_cast<int>(text.size())),
              static_cast<int>(text.size()));
}

TEST(LogConsole, TheRingKeepsTheLast499LinesEscapedAndColoured) {
    Obj<LogConsole> console = LogConsole::Create();
    std::string lines;
    for (int i = 1; i <= 500; ++i)
        lines += "L" + std::to_string(i) + "\n";
    WriteText(*console, lines + "a\\b{c}\td\r\x01\x7F"
                                "e\xE9");
    console->Color(12, 3);
    WriteText(*console, "red");
    console->Color(7, 0);
    WriteText(*console, "\nopen"); // the line being written is not in the document yet
    // 499 lines fill the ring behind "[start of log]"; the two after them drop the oldest.
    std::string expected = k_Header;
    for (int i = 3; i <= 500; ++i)
        expected += "L" + std::to_string(i) + "\\par ";
    EXPECT_EQ(Document(*console), expected + "a\\\\b\\{c\\}de\xE9\\cf12 red\\cf7 \\par \\par}");
    console->Reset();
    EXPECT_EQ(Document(*console), k_Header + "[start of log]\\par \\par}");
}

TEST(LogConsole, PipeFeedsTheConsoleAndOutlivesIt) {
    SetLogConsole(nullptr);
    Obj<StreamPipeLogConsole> pipe = StreamPipeLogConsole::Create();
    Obj<LogConsole> console = GetLogConsole();
    ASSERT_TRUE(console); // the first console pipe makes the console
    testing::internal::CaptureStderr();
    pipe->Lock();
    pipe->Color(9, 0);
    EXPECT_EQ(pipe->Write("to both\n", 8), 8);
    pipe->Unlock();
    pipe->Flush();
    // The terminal is the console's window: the text is on standard error too.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to both\n");
    EXPECT_NE(Document(*console).find("\\cf9 to both\\par "), std::string::npos);
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
