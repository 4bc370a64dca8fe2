#pragma once
// What long work reports its progress to: the script engine hands one to the parser, which
// reports after each statement. The host implements it (the command-line tool draws a bar on
// its terminal); the library only calls it.

#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

/// A counted object (make it with NewObject<YourBar>(...); holders keep Obj<ProgressBar>).
/// ProgressBar must be the first base of the implementation, so that the block's payload is
/// the ProgressBar. Called on the thread that does the work.
class QUORLIX_API ProgressBar {
public:
    virtual ~ProgressBar();

    /// `fraction` of the work is done, from 0 to 1. Callers clamp it to that range, so an
    /// implementation never sees a value outside it (nor NaN).
    virtual void SetProgress(float fraction) = 0;

    /// The fraction `done` of `total`, clamped to 0..1; 0 for an unknown total (0 or less).
    static float Fraction(double done, double total) noexcept;

protected:
    ProgressBar() = default;
    ProgressBar(const ProgressBar&) = default;
    ProgressBar& operator=(const ProgressBar&) = default;
};

} // namespace Quorlix
