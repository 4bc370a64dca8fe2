// LogMsg: its log record byte for byte, placeholders, the dialog text, the dialog's failure
// path and the recursion guard. Dialogs reach a hook here, never the screen.

#include "quorlix/core/LogMsg.h"
#include "quorlix/platform/Dialog.h"
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

// The dialogs LogMsg asked for, and what the hook answers.
struct ShownDialog {
    std::string m_Caption;
    std::string m_Text;
    int m_Buttons;
};
std::vector<ShownDialog> G_Shown;
std::function<int()> G_Answer;

int Hook(const char* caption, const char* text, const Platform::DialogButton*, int count) {
    G_Shown.push_back({caption, text, count});
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

TEST(LogMsg, RecordPartsAreOptional) {
    ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
    LogCapture capture(Xerr, 0, true);
    LogMsg(IPerformance, nullptr, nullptr, ErrActionDefault);
    LogMsg(static_cast<EResult>(0xC0000005u), "A::B", nullptr, ErrActionDefault);
    LogMsg(SOK, nullptr, "write", ErrActionDefault, "");
    EXPECT_EQ(capture.Messages(),
              (std::vector<std::string>{"{10/0}Info [40000001] IPerformance:{7/0}",
                                        "{9/0}Warning [C0000005] E???:\n  Location:A::B{7/0}",
                                        "{12/0}Success [0] SOK:\n  Description:\n"
                                        "  Function:write{7/0}"}));
}

TEST(LogMsg, AHashWithoutADigitOneToEightEndsTheExpansion) {
    ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
    const auto description = [](const char* text) {
        LogCapture capture(Xerr, 0);
        LogMsg(EFail, nullptr, nullptr, ErrActionDefault, text, "A", 2, 3.5f, true, EAbort, 6, 7u,
               "H");
        const std::string record = capture.Text();
        const std::string head = "Error [80000008] EFail:\n  Description:";
        return record.substr(head.size(), record.size() - head.size() - 1);
    };
    EXPECT_EQ(description("#1#2#3#4#5#6#7#8"), "A23.51[80000007] EAbort67H");
    EXPECT_EQ(description("a #1 b #9 c #1"), "a A b #9 c #1");
    EXPECT_EQ(description("a #1 b #0 c #1"), "a A b #0 c #1");
    EXPECT_EQ(description("a #1 b #x c #1"), "a A b #x c #1");
    EXPECT_EQ(description("100# #1"), "100# #1");
    EXPECT_EQ(description("ends with #"), "ends with #");
    EXPECT_EQ(description("#11"), "A1");
}

TEST(LogMsg, WithoutDialogsNothingButTheRecord) {
    ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
    ASSERT_FALSE(Platform::DialogsAvailable());
    LogCapture capture(Xerr, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(LogMsg(ENotFound, "A::B", "f", ErrActionDefault, "d"), ENotFound);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(capture.Messages().size(), 1u);
}

TEST_F(LogMsgDialogs, DialogTextUsesTheDialogForms) {
    LogCapture capture(Xerr, 0);
    LogMsg(EFail, "Loader::Open", "open", ErrActionDefault, "flag #1, scale #2, name #3", true,
           2.0f, "x");
    LogMsg(ENotFound, nullptr, nullptr, ErrActionDefault);
    LogMsg(IUnsupported, "A::B", nullptr, ErrActionDefault, "d");
    ASSERT_EQ(G_Shown.size(), 3u);
    EXPECT_EQ(G_Shown[0].m_Caption, "Error [80000008] EFail");
    EXPECT_EQ(G_Shown[0].m_Text, "Description:\nflag True, scale 2., name x\n\n"
                                 "Location:\nLoader::Open\nFunction:\nopen");
    EXPECT_EQ(G_Shown[0].m_Buttons, 1); // no log console: no "View Log File"
    // Lower-case hexadecimal in the caption; the location line stays even when empty.
    EXPECT_EQ(G_Shown[1].m_Caption, "Error [8000000a] ENotFound");
    EXPECT_EQ(G_Shown[1].m_Text, "Location:\n");
    EXPECT_EQ(G_Shown[2].m_Caption, "Info [40000002] IUnsupported");
    EXPECT_EQ(G_Shown[2].m_Text, "Description:\nd\n\nLocation:\nA::B");
    // The log form is in the record.
    EXPECT_EQ(capture.Messages()[0].find("flag 1, scale 2., name x"), 38u);
}

TEST_F(LogMsgDialogs, ADialogThatCannotBeCreatedFallsBackToStandardError) {
    G_Answer = [] { return Platform::k_DialogFailed; };
    LogCapture capture;
    testing::internal::CaptureStderr();
    EXPECT_EQ(LogMsg(EFail, "A::B", "f", ErrActionDefault, "went #1", "wrong"), EFail);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error [80000008] EFail\nDescription:\nwent wrong\n\nLocation:\nA::B\n"
              "Function:\nf\n");
    ASSERT_EQ(capture.Messages().size(), 2u);
    EXPECT_EQ(capture.Messages()[1], "[Error]DialogBoxParam failed");
}

TEST_F(LogMsgDialogs, ARecursiveCallIsToldOnceAndShowsNoDialog) {
    LogCapture capture;
    int nested = 2;
    G_Answer = [&] {
        // Called from inside the open dialog, as a window procedure would.
        while (nested > 0) {
            --nested;
            LogMsg(EFail, "Inner::Call", nullptr, ErrActionDefault);
        }
        return 1001;
    };
    testing::internal::CaptureStderr();
    LogMsg(EAbort, "Outer::Call", nullptr, ErrActionDefault);
    const std::string notice = "Error [80000000] EInfiniteRecursion\nLogMsg was called "
                               "recursive.\nAny further error messages will be suppressed.\n";
    EXPECT_EQ(testing::internal::GetCapturedStderr(), notice);
    EXPECT_EQ(G_Shown.size(), 1u);
    EXPECT_EQ(capture.Messages().size(), 3u); // every record is written
    // Once the dialog is closed the guard is clear: a new episode is told about again.
    nested = 1;
    testing::internal::CaptureStderr();
    LogMsg(EAbort, "Outer::Call", nullptr, ErrActionDefault);
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
            LogMsg(EFail, "Other::Thread", nullptr, ErrActionDefault);
        }).join();
        inOther = false;
        // The nested call on this thread must still be recognised.
        LogMsg(EFail, "Inner::Call", nullptr, ErrActionDefault);
        return 1001;
    };
    testing::internal::CaptureStderr();
    LogMsg(EAbort, "Outer::Call", nullptr, ErrActionDefault);
    const std::string error = testing::internal::GetCapturedStderr();
    EXPECT_EQ(error.rfind("Error [80000000] EInfiniteRecursion\n", 0), 0u) << error;
    ASSERT_EQ(G_Shown.size(), 2u); // this thread's dialog and the other thread's, no third
    EXPECT_EQ(G_Shown[1].m_Text, "Location:\nOther::Thread");
}

} // namespace
