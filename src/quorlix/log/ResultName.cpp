#include "quorlix/log/ResultName.h"

#include <iterator>

namespace Quorlix {

namespace {

struct ClassRecord {
    const char* m_Label;
    int m_Color;
};

// By the two top bits of the code.
constexpr ClassRecord k_Classes[4] = {{"Success", 12}, {"Info", 10}, {"Error", 11}, {"Warning", 9}};

constexpr const char* k_ErrorNames[] = {"EUnknown",
                                        "EUnimplemented",
                                        "EOutOfMemory",
                                        "EInvalidArgument",
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        "EAbort",
                                        "EFail",
                                        "EAccessDenied",
                                        "ENotFound",
                                        "ENotOpen",
                                        "ENotActive",
                                        "EAmbiguous",
                                        "EOverflow",
                                        "EUnderflow",
                                        "EInvalidRefCount",
                                        "EResourceBusy",
                                        "ETimeOut"};

unsigned ClassOf(EResult code) noexcept {
    return static_cast<uint32_t>(code) >> 30;
}

} // namespace

const char* GetResultName(EResult code) noexcept {
    const uint32_t value = static_cast<uint32_t>(code);
    const char* name = nullptr;
    if (value == 0)
        name = "SOK";
    else if (value == 0x40000001u)
        name = "IPerformance";
    else if (value == 0x40000002u)
        name = "IUnsupported";
    else if (value >= 0x80000000u && value - 0x80000000u < std::size(k_ErrorNames))
        name = k_ErrorNames[value - 0x80000000u];
    return name != nullptr ? name : "E???";
}

const char* GetResultClassLabel(EResult code) noexcept {
    return k_Classes[ClassOf(code)].m_Label;
}

int GetResultClassColor(EResult code) noexcept {
    return k_Classes[ClassOf(code)].m_Color;
}

} // namespace Quorlix
