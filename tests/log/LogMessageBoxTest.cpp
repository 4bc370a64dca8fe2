// The message dialog: its result word, "View Log File", and the failure line.

#include "quorlix/core/LogMessageBox.h"
#include "quorlix/core/LogConsole.h"
#include "quorlix/platform/Dialog.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

std::vector<int> G_Answers; // what the hook answers, one per dialog, in order
std::vector<std::vector<std::string>> G_Buttons;

int Hook(const char*, const char*, const Platform::DialogButton* buttons, int count) {
    std::vector<std::string> labels;
    for (int i = 0; i < count; ++i)
        labels.emplace_back(buttons[i].m_Text);
    G_Buttons.push_back(labels);
    const int answer = G_Answers.front();
    G_Answers.erase(G_Answers.begin());
    return answer;
}

class LogMessageBoxTest : public testing::Test {
protected:
    void SetUp() override {
        G_Buttons.clear();
        m_Previous = Platform::SetMessageDialogHook(&Hook);
    }
    void TearDown() override {
        Platform::SetMessageDialogHook(m_Previous);
        SetLogConsole(nullptr);
        SetLogDocumentBase(nullptr);
    }

    unsigned Show(unsigned flags, std::vector<int> answers) {
        G_Answers = std::move(answers);
        Obj<LogMessageBox> box = LogMessageBox::Create();
        box->SetCaption("Error [80000008] EFail");
        box->SetMessage("Location:\nA::B");
        box->SetFlags(flags);
        return box->Show();
    }

    Platform::MessageDialogHook m_Previous = nullptr;
};

TEST_F(LogMessageBoxTest, ResultCarriesTheTickedChoices) {
    // LogMsg's flags tick "always display this" (4) and "show log console" (64).
    EXPECT_EQ(Show(0x300044, {1001}), 1u + 4 + 64);
    EXPECT_EQ(Show(0xFC, {1001}), 1u + 0xFC);
    EXPECT_EQ(Show(0x300044, {Platform::k_DialogClosed}), 1u);
    EXPECT_EQ(G_Buttons, (std::vector<std::vector<std::string>>(3, {"OK"})));
}

TEST_F(LogMessageBoxTest, FailureIsReportedOnTheErrorStream) {
    LogCapture capture;
    EXPECT_EQ(Show(0x300044, {Platform::k_DialogFailed}), LogMessageBox::k_Failed);
    EXPECT_EQ(capture.Messages(), std::vector<std::string>{"[Error]DialogBoxParam failed"});
}

TEST_F(LogMessageBoxTest, ViewLogFileSavesTheConsoleDocument) {
    TempDir dir;
    SetLogDocumentBase((dir / "err.log").c_str());
    SetLogConsole(LogConsole::Create());
    Obj<LogConsole> console = GetLogConsole();
    console->Write("shown line\n", 11);
    // "View Log File" keeps the dialog open; "OK" then ends it.
    EXPECT_EQ(Show(0x300044, {1002, 1001}), 1u + 4 + 64);
    EXPECT_EQ(G_Buttons, (std::vector<std::vector<std::string>>(2, {"OK", "View Log File"})));
    const std::string document = ReadFileBytes(dir / "err.log.rtf");
    EXPECT_EQ(document, std::string(console->GetDocument().GetCPtr()));
    EXPECT_NE(document.find("[start of log]\\par shown line\\par \\par}"), std::string::npos);
}

} // namespace
