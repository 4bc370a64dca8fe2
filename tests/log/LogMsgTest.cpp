// LogMsg: its log record byte for byte, placeholders, the dialog's failure path and the recursion
// guard. Dialogs reach a hook here, never the screen.

#include "quorlix/log/LogMsg.h"
#include "quorlix/log/LogConsole.h"
#include "quorlix/platform/Dialog.h"
#include "stream/PipeTestSupport.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

using namespace Quorlix;
using namespace QuorlixTest;

namespace {

// The texts of the dialogs LogMsg asked for, and what the hook answers.
std::vector<std::string> G_Shown;
std::function<int()> G_Answer;

int Hook(const char*, const char* text, const Platform::DialogButton*, int) {
    G_Shown.push_back(text);
    return G_Answer ? G_Answer() : 1001;
}

// Dialogs through the hook for the lifetime of the test.
class LogMsgDialogs : public testing::Test {
protected:
    void SetUp() override {
        G_Shown.clear();
        G_Answer = nullptr;
        m_Previous = Platform::SetMessageDialogHook(&Hook);
    }
    void TearDown() override { Platform::SetMessageDialogHook(m_Previous); }

    Platform::MessageDialogHook m_Previous = nullptr;
};

TEST(LogMsg, RecordWithPlaceholdersLocationAndFunction) {
    ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
    LogCapture capture(Xerr, 0x67, true);
    EXPECT_EQ(LogMsg(EFail, "Loader::Open", "open", ErrActionDefault,
                     "cannot open #1, size #3 (#2)", "scene.kss"),
              EFail);
    // Placeholder 1 shows the text; 2 and 3 stand for arguments left out and show nothing.
    EXPECT_EQ(capture.Text(), "{11/0}Error [80000008] EFail:\n"
                              "  Description:cannot open scene.kss, size  ()\n"
                              "  Location:Loader::Open\n"
                              "  Function:open{7/0}\n");
}

TEST(LogMsg, AHashWithoutADigitOneToEightEndsTheExpansion) {
    ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
    const auto description = [](const char* text) {
        LogCapture capture(Xerr, 0);
        (void)LogMsg(EFail, nullptr, nullptr, ErrActionDefault, text, "A", 2, 3.5f, true, EAbort, 6,
                     7u, "H");
        const std::string record = capture.Text();
        const std::string head = "Error [80000008] EFail:\n  Description:";
        return record.substr(head.size(), record.size() - head.size() - 1);
    };
    EXPECT_EQ(description("#1#2#3#4#5#6#7#8 #9 #1"), "A23.51[80000007] EAbort67H #9 #1");
    EXPECT_EQ(description("a #1 b #0 c #1"), "a A b #0 c #1");
    EXPECT_EQ(description("a #1 b #x c #1"), "a A b #x c #1");
    EXPECT_EQ(description("ends with #"), "ends with #");
}

TEST(LogMsg, WithoutDialogsNothingButTheRecord) {
    ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
    ASSERT_FALSE(Platform::DialogsAvailable());
    LogCapture capture(Xerr, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(LogMsg(ENotFound, "A::B", nullptr, ErrActionDefault), ENotFound);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(capture.Messages(),
              std::vector<std::string>{"Error [8000000A] ENotFound:\n  Location:A::B"});
}

TEST_F(LogMsgDialogs, ADialogThatCannotBeCreatedFallsBackToStandardError) {
    G_Answer = [] { return Platform::k_DialogFailed; };
    LogCapture capture;
    testing::internal::CaptureStderr();
    EXPECT_EQ(LogMsg(ENotFound, "A::B", "f", ErrActionDefault, "went #1 #2", "wrong", true),
              ENotFound);
    // The dialog form of the arguments, the caption in lower-case hexadecimal.
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error [8000000a] ENotFound\nDescription:\nwent wrong True\n\nLocation:\nA::B\n"
              "Function:\nf\n");
    ASSERT_EQ(capture.Messages().size(), 2u);
    EXPECT_EQ(capture.Messages()[1], "[Error]DialogBoxParam failed");
}

TEST_F(LogMsgDialogs, ViewLogFileSavesTheConsoleDocument) {
    TempDir dir;
    SetLogDocumentBase((dir / "err.log").c_str());
    SetLogConsole(LogConsole::Create());
    int answers = 0;
    G_Answer = [&] { return ++answers == 1 ? 1002 : 1001; }; // "View Log File", then "OK"
    LogCapture capture;
    (void)LogMsg(EFail, "A::B", nullptr, ErrActionDefault);
    EXPECT_EQ(answers, 2); // "View Log File" keeps the dialog open
    EXPECT_EQ(ReadFileBytes(dir / "err.log.rtf"), GetLogConsole()->GetDocument().GetCPtr());
    SetLogConsole(nullptr);
    SetLogDocumentBase(nullptr);
}

TEST_F(LogMsgDialogs, ARecursiveCallIsToldOnceAndShowsNoDialog) {
    LogCapture capture;
    int nested = 2;
    G_Answer = [&] {
        // Called from inside the open dialog, as a window procedure would.
        while (nested > 0) {
            --nested;
            (void)LogMsg(EFail, "Inner::Call", nullptr, ErrActionDefault);
        }
        return 1001;
    };
    testing::internal::CaptureStderr();
    (void)LogMsg(EAbort, "Outer::Call", nullptr, ErrActionDefault);
    const std::string notice = "Error [80000000] EInfiniteRecursion\nLogMsg was called "
                               "recursive.\nAny further error messages will be suppressed.\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), notice);
    EXPECT_EQ(G_Shown.size(), 1u);
    EXPECT_EQ(capture.Messages().size(), 3u); // every record is written
    // Once the dialog is closed the guard is clear: a new episode is told about again.
    nested = 1;
    testing::internal::CaptureStderr();
    (void)LogMsg(EAbort, "Outer::Call", nullptr, ErrActionDefault);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), notice);
    EXPECT_EQ(G_Shown.size(), 2u);
}

TEST_F(LogMsgDialogs, AnotherThreadsDialogLeavesTheGuardOfThisThread) {
    LogCapture capture;
    std::atomic<bool> inOther{false};
    G_Answer = [&] {
        if (inOther)
            return 1001; // the other thread's dialog ends at once
        // While this thread's dialog is open, another thread shows and closes one of its own.
        std::thread([&] {
            inOther = true;
            (void)LogMsg(EFail, "Other::Thread", nullptr, ErrActionDefault);
        }).join();
        inOther = false;
        // The nested call on this thread must still be recognised.
        (void)LogMsg(EFail, "Inner::Call", nullptr, ErrActionDefault);
        return 1001;
    };
    testing::internal::CaptureStderr();
    (void)LogMsg(EAbort, "Outer::Call", nullptr, ErrActionDefault);
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_EQ(error.rfind("Error [80000000] EInfiniteRecursion\n", 0), 0u) << error;
    ASSERT_EQ(G_Shown.size(), 2u); // this thread's dialog and the other thread's, no third
    EXPECT_EQ(G_Shown[1], "Location:\nOther::Thread");
}

} // namespace
