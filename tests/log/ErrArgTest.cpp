// LogMsg arguments: every kind in its log form and its dialog form.

#include "quorlix/log/ErrArg.h"
#include "quorlix/log/internal/SystemText.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <type_traits>
#include <utility>

using namespace Quorlix;

namespace {

std::string Text(const ErrArg& arg, ErrArgForm form) {
    Obj<StreamPipeMemory> memory = StreamPipeMemory::Create();
    Stream out(memory);
    arg.Write(out, form);
    return std::string(reinterpret_cast<const char*>(memory->GetData()),
                       static_cast<size_t>(memory->GetSize()));
}

// A stray pointer must not quietly become a bool argument.
static_assert(!std::is_constructible_v<ErrArg, const float*>);
static_assert(!std::is_constructible_v<ErrArg, void*>);

TEST(ErrArg, EveryKindInBothForms) {
    struct Row {
        ErrArg m_Arg;
        ErrArg::Kind m_Kind;
        const char* m_Log;
        const char* m_Dialog;
    };
    const float floats[16] = {1.0f, 2.5f, -3.0f, 0.25f, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    char mutableText[] = "text #1";
    const Row rows[] = {
        {ErrArg(), ErrArg::KindNone, "", ""},
        {ErrArg(false), ErrArg::KindBool, "0", "False"},
        {ErrArg('A'), ErrArg::KindInt, "65", "65"},
        {ErrArg(int64_t{-9000000000}), ErrArg::KindInt64, "-9000000000", "-9000000000"},
        {ErrArg(4000000000u), ErrArg::KindUnsigned, "4000000000", "4000000000"},
        {ErrArg(uint64_t{18446744073709551615u}), ErrArg::KindUnsigned64, "18446744073709551615",
         "18446744073709551615"},
        {ErrArg(3.0f), ErrArg::KindFloat, "3.", "3."},
        // The dialog appends its "." to any text without one, the exponent form included.
        {ErrArg(1e-5f), ErrArg::KindFloat, "1e-05", "1e-05."},
        {ErrArg(0.1), ErrArg::KindDouble, "0.100000000000000006", "0.100000000000000006"},
        {ErrArg(mutableText), ErrArg::KindText, "text #1", "text #1"},
        {ErrArg(static_cast<const char*>(nullptr)), ErrArg::KindText, "(NULL)", "(NULL)"},
        {ErrArg::Vector2(nullptr), ErrArg::KindVector2, "(NULL)", "(NULL)"},
        {ErrArg::Vector3(floats), ErrArg::KindVector3, "(1.,2.5,-3.)", "(1.,2.5,-3.)"},
        {ErrArg::Vector4(floats), ErrArg::KindVector4, "(1.,2.5,-3.,0.25)", "(1.,2.5,-3.,0.25)"},
        {ErrArg::Matrix4(floats), ErrArg::KindMatrix4,
         "(1.,2.5,-3.,0.25,5.,6.,7.,8.,9.,10.,11.,12.,13.,14.,15.,16.)",
         "(1.,2.5,-3.,0.25,5.,6.,7.,8.,9.,10.,11.,12.,13.,14.,15.,16.)"},
        {ErrArg(static_cast<EResult>(0x80000005u)), ErrArg::KindResult, "[80000005] E???",
         "[80000005] E???"},
        {ErrArg::SystemError(EACCES), ErrArg::KindSystemError, "[D] Permission denied",
         "[D] Permission denied"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.m_Arg.GetKind(), row.m_Kind) << row.m_Log;
        EXPECT_EQ(Text(row.m_Arg, ErrArgForm::Log), row.m_Log);
        EXPECT_EQ(Text(row.m_Arg, ErrArgForm::Dialog), row.m_Dialog);
    }
}

} // namespace

// Message tables end their texts in a full stop and a line end (Linux's own do not, so the
// system error kind above never shows the trimming).
TEST(ErrArg, SystemTextLosesOneLineFeedCarriageReturnAndFullStopInThatOrder) {
    const std::pair<const char*, const char*> cases[] = {
        {"Access is denied.\r\n", "Access is denied"},
        {"Access is denied.", "Access is denied"},
        {"Access is denied.\n", "Access is denied"},
        {"Access is denied\r", "Access is denied"},
        {"Wait...", "Wait.."},                   // one full stop only
        {"Two lines\n\n", "Two lines\n"},        // one line feed only
        {"Late stop\n.", "Late stop\n"},         // the full stop is looked at last
        {"Early return\r.\n", "Early return\r"}, // "\r" precedes ".", so it stays
        {".", ""},
        {"", ""},
    };
    for (const auto& [text, trimmed] : cases)
        EXPECT_EQ(Internal::TrimSystemText(text), trimmed) << text;
}
