#pragma once
// How the log shows result codes: their names and the label and colour of their class.

#include "quorlix/core/Result.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

/// The code's name as the log shows it ("EFail"); "E???" for every code without one.
QUORLIX_API const char* GetResultName(EResult code) noexcept;
/// The label of the code's class: "Success", "Info", "Error" or "Warning".
QUORLIX_API const char* GetResultClassLabel(EResult code) noexcept;
/// The colour number the log writes the class label in: 12, 10, 11 or 9.
QUORLIX_API int GetResultClassColor(EResult code) noexcept;

} // namespace Quorlix
