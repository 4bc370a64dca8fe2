#pragma once
// Result codes, the vocabulary of every module; how the log names and colours them is in
// log/ResultName.h. An EResult is a 32-bit code whose two top bits give its class: 00 success,
// 01 info, 10 error, 11 warning; failures (errors and warnings) are negative. Result is the
// lighter result of the storage, archive and script layers: null for success, else the address
// of a constant message text.

#include <cstdint>

namespace Quorlix {

enum [[nodiscard]] EResult : int32_t{
    SOK = 0,
    IPerformance = 0x40000001,
    IUnsupported = 0x40000002,
    EUnknown = static_cast<int32_t>(0x80000000u),
    EUnimplemented = static_cast<int32_t>(0x80000001u),
    EOutOfMemory = static_cast<int32_t>(0x80000002u),
    EInvalidArgument = static_cast<int32_t>(0x80000003u),
    EAbort = static_cast<int32_t>(0x80000007u),
    EFail = static_cast<int32_t>(0x80000008u),
    EAccessDenied = static_cast<int32_t>(0x80000009u),
    ENotFound = static_cast<int32_t>(0x8000000Au),
    ENotOpen = static_cast<int32_t>(0x8000000Bu),
    ENotActive = static_cast<int32_t>(0x8000000Cu),
    EAmbiguous = static_cast<int32_t>(0x8000000Du),
    EOverflow = static_cast<int32_t>(0x8000000Eu),
    EUnderflow = static_cast<int32_t>(0x8000000Fu),
    EInvalidRefCount = static_cast<int32_t>(0x80000010u),
    EResourceBusy = static_cast<int32_t>(0x80000011u),
    ETimeOut = static_cast<int32_t>(0x80000012u),
};

/// True for errors and warnings (the top bit set).
constexpr bool Failed(EResult code) noexcept {
    return code < 0;
}
constexpr bool Succeeded(EResult code) noexcept {
    return code >= 0;
}

/// Null for success, else a constant message text that names the failure.
using Result = const char*;

/// The Result for `text`: the text itself. `text` must outlive every use of the result.
inline Result RegisterResult(const char* text) noexcept {
    return text;
}
/// The message text of `result`; "OK" for success.
inline const char* GetResultString(Result result) noexcept {
    return result != nullptr ? result : "OK";
}

} // namespace Quorlix
