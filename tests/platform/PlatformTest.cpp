#include "quorlix/platform/Dialog.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/platform/OutOfMemory.h"
#include "quorlix/platform/Threading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

using namespace Quorlix::Platform;

TEST(PlatformThreading, ThreadIdsAreStablePerThreadAndDistinct) {
    const uint32_t mine = CurrentThreadId();
    EXPECT_EQ(CurrentThreadId(), mine);
    uint32_t other = mine;
    std::thread([&] { other = CurrentThreadId(); }).join();
    EXPECT_NE(other, mine);
}

TEST(PlatformMemory, PagesAreWholeZeroedAndAligned) {
    const size_t page = PageSize();
    EXPECT_EQ(page & (page - 1), 0u);
    EXPECT_EQ(AllocatePages(0), nullptr);
    for (size_t bytes : {size_t{1}, page, page + 1}) {
        auto* pages = static_cast<unsigned char*>(AllocatePages(bytes));
        ASSERT_NE(pages, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(pages) % page, 0u);
        const size_t whole = (bytes + page - 1) / page * page;
        EXPECT_EQ(std::count(pages, pages + whole, 0), static_cast<ptrdiff_t>(whole));
        std::memset(pages, 0x5A, whole); // every byte of the rounded size is usable
        FreePages(pages, bytes);
    }
}

TEST(PlatformMemory, PeakResidentSizeCoversTouchedPages) {
    const size_t bytes = size_t{32} << 20;
    void* pages = AllocatePages(bytes);
    ASSERT_NE(pages, nullptr);
    std::memset(pages, 1, bytes);
    EXPECT_GE(PeakResidentBytes(), bytes); // in bytes, not the kernel's KiB
    FreePages(pages, bytes);
}

TEST(DynamicLibrary, LoadsLibrariesFindsSymbolsAndReportsWhatIsMissing) {
    DynamicLibrary* zlib = LoadDynamicLibrary("libz.so.1");
    ASSERT_NE(zlib, nullptr) << LastLibraryError();
    EXPECT_EQ(LastLibraryError(), "");
    using VersionFunction = const char* (*)();
    auto version = reinterpret_cast<VersionFunction>(FindLibrarySymbol(zlib, "zlibVersion"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version()[0], '1');
    EXPECT_EQ(FindLibrarySymbol(zlib, "noSuchSymbolInZlib"), nullptr);
    EXPECT_NE(LastLibraryError(), "");
    UnloadDynamicLibrary(zlib);

    EXPECT_EQ(LoadDynamicLibrary("libQuorlixNoSuchLibrary.so"), nullptr);
    EXPECT_NE(LastLibraryError().find("libQuorlixNoSuchLibrary.so"), std::string::npos);

    const std::string path = LibraryPath();
    EXPECT_TRUE(path.starts_with('/') && path.ends_with("/libQuorlix010219.so")) << path;
    int local = 0;
    EXPECT_EQ(ModulePathOfAddress(&local), "");
}

namespace {

std::string G_DialogSeen;

// The window system's stand-in: notes the dialog and answers with its first button.
int NoteDialog(const char* caption, const char* text, const DialogButton* buttons, int count) {
    G_DialogSeen = std::string(caption) + "|" + text + "|" + std::to_string(count) + "|" +
                   (count > 0 ? buttons[0].m_Text : "");
    return count > 0 ? buttons[0].m_Id : k_DialogClosed;
}

int PrintDialog(const char* caption, const char*, const DialogButton*, int) {
    std::fprintf(stderr, "dialog %s\n", caption);
    return 1;
}

int RunOutOfMemoryAgain(const char*, const char*, const DialogButton*, int) {
    std::fprintf(stderr, "dialog\n");
    ReportOutOfMemory();
}

} // namespace

TEST(OutOfMemory, DialogIsChosenOnlyWhereDialogsAreAvailable) {
    // As chosen when the library loaded (no stand-in was installed then).
    EXPECT_EQ(GetOutOfMemoryDialogHook() != nullptr, DialogsAvailable());

    const MessageDialogHook before = SetMessageDialogHook(nullptr);
    const char* setting = std::getenv("QUORLIX_NO_DIALOGS");
    const std::string noDialogs = setting != nullptr ? setting : "";
    ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
    EXPECT_FALSE(ChooseOutOfMemoryDialog());
    EXPECT_EQ(GetOutOfMemoryDialogHook(), nullptr);

    SetMessageDialogHook(&NoteDialog);
    EXPECT_TRUE(ChooseOutOfMemoryDialog());
    ASSERT_EQ(GetOutOfMemoryDialogHook(), &ShowOutOfMemoryDialog);
    GetOutOfMemoryDialogHook()(k_OutOfMemoryCaption, k_OutOfMemoryText);
    EXPECT_EQ(G_DialogSeen, std::string("Quorlix: OUT OF MEMORY|") + k_OutOfMemoryText + "|1|OK");

    SetMessageDialogHook(before);
    if (setting == nullptr)
        ::unsetenv("QUORLIX_NO_DIALOGS");
    else
        ::setenv("QUORLIX_NO_DIALOGS", noDialogs.c_str(), 1);
    EXPECT_EQ(ChooseOutOfMemoryDialog(), DialogsAvailable());
}

TEST(OutOfMemoryDeathTest, ReportsThenShowsTheDialogWhereChosenAndExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto exited = ::testing::ExitedWithCode(247); // _exit(-9)
    const std::string report = "^  Quorlix: OUT OF MEMORY\n\nPlease try the following things:"
                               "\n.*\nThis application must exit now.\n";
    // No dialogs: the report alone, then the exit; nothing waits.
    EXPECT_EXIT(
        {
            SetMessageDialogHook(nullptr);
            ::setenv("QUORLIX_NO_DIALOGS", "1", 1);
            ChooseOutOfMemoryDialog();
            ReportOutOfMemory();
        },
        exited, report + "$");
    EXPECT_EXIT(
        {
            SetMessageDialogHook(&PrintDialog);
            ChooseOutOfMemoryDialog();
            ReportOutOfMemory();
        },
        exited, report + "dialog Quorlix: OUT OF MEMORY\n$");
    // A dialog that runs out of memory itself ends the process at once: no second report.
    EXPECT_EXIT(
        {
            SetMessageDialogHook(&RunOutOfMemoryAgain);
            ChooseOutOfMemoryDialog();
            ReportOutOfMemory();
        },
        exited, report + "dialog\n$");
}
