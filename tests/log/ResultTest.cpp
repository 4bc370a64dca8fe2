// Result codes: their names, the gaps between them and the codes without a name.

#include "quorlix/core/Result.h"
#include "quorlix/log/ResultName.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace Quorlix;

namespace {

TEST(Result, NamesAndTheGaps) {
    // The error range from 0x80000000 on; "-" marks the gap and the first code after the range.
    std::istringstream errors("EUnknown EUnimplemented EOutOfMemory EInvalidArgument - - - EAbort "
                              "EFail EAccessDenied ENotFound ENotOpen ENotActive EAmbiguous "
                              "EOverflow EUnderflow EInvalidRefCount EResourceBusy ETimeOut -");
    uint32_t code = 0x80000000u;
    for (std::string name; errors >> name; ++code)
        EXPECT_EQ(GetResultName(static_cast<EResult>(code)), name == "-" ? "E???" : name)
            << std::hex << code;
    EXPECT_STREQ(GetResultName(SOK), "SOK");
    EXPECT_STREQ(GetResultName(static_cast<EResult>(0x40000001u)), "IPerformance");
    EXPECT_STREQ(GetResultName(static_cast<EResult>(0x40000002u)), "IUnsupported");
    for (uint32_t other : {0x00000001u, 0x40000000u, 0x40000003u, 0xC0000008u, 0xFFFFFFFFu})
        EXPECT_STREQ(GetResultName(static_cast<EResult>(other)), "E???") << std::hex << other;
}

} // namespace
