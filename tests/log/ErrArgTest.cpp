// LogMsg arguments: every kind in its log form and its dialog form.

#include "quorlix/core/ErrArg.h"
#include "quorlix/stream/Stream.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <type_traits>

using namespace Quorlix;

namespace {

std::string Text(const ErrArg& arg, ErrArgForm form) {
    Obj<StreamPipeMemory> memory = StreamPipeMemory::Create();
    Stream out(memory);
    arg.Write(out, form);
    return std::string(reinterpret_cast<const char*>(memory->GetData()),
                       static_cast<size_t>(memory->GetSize()));
}

struct Row {
    ErrArg m_Arg;
    ErrArg::Kind m_Kind;
    const char* m_Log;
    const char* m_Dialog;
};

const float k_Floats[16] = {1.0f, 2.5f, -3.0f, 0.25f, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TEST(ErrArg, EveryKindInBothForms) {
    const Row rows[] = {
        {ErrArg(), ErrArg::KindNone, "", ""},
        {G_EmptyErrArg, ErrArg::KindNone, "", ""},
        {ErrArg(true), ErrArg::KindBool, "1", "True"},
        {ErrArg(false), ErrArg::KindBool, "0", "False"},
        {ErrArg(-42), ErrArg::KindInt, "-42", "-42"},
        {ErrArg(int64_t{-9000000000}), ErrArg::KindInt64, "-9000000000", "-9000000000"},
        {ErrArg(4000000000u), ErrArg::KindUnsigned, "4000000000", "4000000000"},
        {ErrArg(uint64_t{18446744073709551615u}), ErrArg::KindUnsigned64, "18446744073709551615",
         "18446744073709551615"},
        {ErrArg(3.0f), ErrArg::KindFloat, "3.", "3."},
        {ErrArg(0.1f), ErrArg::KindFloat, "0.1", "0.1"},
        // The dialog appends its "." to any text without one, the exponent form included.
        {ErrArg(1e-5f), ErrArg::KindFloat, "1e-05", "1e-05."},
        {ErrArg(123456789.0f), ErrArg::KindFloat, "1.234568e+08", "1.234568e+08"},
        {ErrArg(1e20f), ErrArg::KindFloat, "1e+20", "1e+20."},
        {ErrArg(2.0), ErrArg::KindDouble, "2.", "2."},
        {ErrArg(0.1), ErrArg::KindDouble, "0.100000000000000006", "0.100000000000000006"},
        {ErrArg("text #1"), ErrArg::KindText, "text #1", "text #1"},
        {ErrArg(static_cast<const char*>(nullptr)), ErrArg::KindText, "(NULL)", "(NULL)"},
        {ErrArg::Vector2(k_Floats), ErrArg::KindVector2, "(1.,2.5)", "(1.,2.5)"},
        {ErrArg::Vector3(k_Floats), ErrArg::KindVector3, "(1.,2.5,-3.)", "(1.,2.5,-3.)"},
        {ErrArg::Vector4(k_Floats), ErrArg::KindVector4, "(1.,2.5,-3.,0.25)", "(1.,2.5,-3.,0.25)"},
        {ErrArg::Matrix4(k_Floats), ErrArg::KindMatrix4,
         "(1.,2.5,-3.,0.25,5.,6.,7.,8.,9.,10.,11.,12.,13.,14.,15.,16.)",
         "(1.,2.5,-3.,0.25,5.,6.,7.,8.,9.,10.,11.,12.,13.,14.,15.,16.)"},
        {ErrArg::Vector3(nullptr), ErrArg::KindVector3, "(NULL)", "(NULL)"},
        {ErrArg(EFail), ErrArg::KindResult, "[80000008] EFail", "[80000008] EFail"},
        {ErrArg(SOK), ErrArg::KindResult, "[0] SOK", "[0] SOK"},
        {ErrArg(static_cast<EResult>(0x80000005u)), ErrArg::KindResult, "[80000005] E???",
         "[80000005] E???"},
        {ErrArg::SystemError(ENOENT), ErrArg::KindSystemError, "[2] No such file or directory",
         "[2] No such file or directory"},
        {ErrArg::SystemError(EACCES), ErrArg::KindSystemError, "[D] Permission denied",
         "[D] Permission denied"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.m_Arg.GetKind(), row.m_Kind) << row.m_Log;
        EXPECT_EQ(Text(row.m_Arg, ErrArgForm::Log), row.m_Log);
        EXPECT_EQ(Text(row.m_Arg, ErrArgForm::Dialog), row.m_Dialog);
    }
    // An unknown error number still gets a bracketed number and a text.
    const std::string unknown = Text(ErrArg::SystemError(99999), ErrArgForm::Log);
    EXPECT_EQ(unknown.rfind("[1869F] ", 0), 0u) << unknown;
    EXPECT_GT(unknown.size(), 8u);
}

TEST(ErrArg, LayoutAndPointerSafety) {
    // The kind, then an 8-byte payload on an 8-byte boundary.
    static_assert(sizeof(ErrArg) == 16 && alignof(ErrArg) == 8);
    // A stray pointer must not quietly become a bool argument.
    static_assert(!std::is_constructible_v<ErrArg, const float*>);
    static_assert(!std::is_constructible_v<ErrArg, void*>);
    static_assert(std::is_constructible_v<ErrArg, char*>);
    char buffer[] = "mutable";
    EXPECT_EQ(Text(ErrArg(buffer), ErrArgForm::Log), "mutable");
    EXPECT_EQ(ErrArg(7LL).GetKind(), ErrArg::KindInt64);
    EXPECT_EQ(ErrArg('A').GetKind(), ErrArg::KindInt);
}

} // namespace
