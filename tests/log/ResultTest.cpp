// Result codes: names, classes, the light Result.

#include "quorlix/core/Result.h"

#include <gtest/gtest.h>

#include <string>

using namespace Quorlix;

namespace {

TEST(Result, NamedCodesAndTheGaps) {
    const std::pair<uint32_t, const char*> named[] = {{0x00000000, "SOK"},
                                                      {0x40000001, "IPerformance"},
                                                      {0x40000002, "IUnsupported"},
                                                      {0x80000000, "EUnknown"},
                                                      {0x80000001, "EUnimplemented"},
                                                      {0x80000002, "EOutOfMemory"},
                                                      {0x80000003, "EInvalidArgument"},
                                                      {0x80000007, "EAbort"},
                                                      {0x80000008, "EFail"},
                                                      {0x80000009, "EAccessDenied"},
                                                      {0x8000000A, "ENotFound"},
                                                      {0x8000000B, "ENotOpen"},
                                                      {0x8000000C, "ENotActive"},
                                                      {0x8000000D, "EAmbiguous"},
                                                      {0x8000000E, "EOverflow"},
                                                      {0x8000000F, "EUnderflow"},
                                                      {0x80000010, "EInvalidRefCount"},
                                                      {0x80000011, "EResourceBusy"},
                                                      {0x80000012, "ETimeOut"}};
    for (const auto& [code, name] : named)
        EXPECT_STREQ(GetResultName(static_cast<EResult>(code)), name) << std::hex << code;
    // The gap inside the error range, the neighbours of every named range, the other classes.
    for (uint32_t code :
         {0x80000004u, 0x80000005u, 0x80000006u, 0x80000013u, 0x00000001u, 0x40000000u, 0x40000003u,
          0xC0000000u, 0xC0000008u, 0xFFFFFFFFu, 0x7FFFFFFFu})
        EXPECT_STREQ(GetResultName(static_cast<EResult>(code)), "E???") << std::hex << code;
}

TEST(Result, ClassesByTheTopBits) {
    struct Row {
        uint32_t m_Code;
        const char* m_Label;
        int m_Color;
        bool m_Failed;
    };
    for (const Row& row :
         {Row{0x00000000, "Success", 12, false}, Row{0x3FFFFFFF, "Success", 12, false},
          Row{0x40000002, "Info", 10, false}, Row{0x80000008, "Error", 11, true},
          Row{0xC0000001, "Warning", 9, true}}) {
        const auto code = static_cast<EResult>(row.m_Code);
        EXPECT_STREQ(GetResultClassLabel(code), row.m_Label) << std::hex << row.m_Code;
        EXPECT_EQ(GetResultClassColor(code), row.m_Color) << std::hex << row.m_Code;
        EXPECT_EQ(Failed(code), row.m_Failed) << std::hex << row.m_Code;
    }
}

TEST(Result, LightResultIsItsText) {
    EXPECT_STREQ(GetResultString(nullptr), "OK");
    static const char k_Text[] = "ArchiveInvalidKey";
    const Result invalid = RegisterResult(k_Text);
    EXPECT_EQ(invalid, k_Text); // the very address: results compare by identity
    EXPECT_STREQ(GetResultString(invalid), "ArchiveInvalidKey");
}

} // namespace
