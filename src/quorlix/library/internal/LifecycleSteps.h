#pragma once
// The steps of the library's first initialisation and last de-initialisation that belong to
// the modules above the core. Each module declares its steps in its own header; the one
// ordered list of them is in LifecycleSteps.cpp, so the order can be read in one place and a
// step whose signature changes no longer compiles.

#include <cstddef>

namespace Quorlix::Internal {

struct LifecycleStep {
    const char* m_Name; // as the observer sees it
    void (*m_Run)();
};

struct LifecycleStepList {
    const LifecycleStep* m_Steps;
    size_t m_Count;
};

/// The first DLLInitialize's steps, in order.
LifecycleStepList InitializeSteps();
/// What every DLLDeInitialize but the last does (the calling thread's share of storage).
LifecycleStepList ReleaseThreadSteps();
/// The last DLLDeInitialize's steps, in order.
LifecycleStepList DeInitializeSteps();

/// Runs the steps in order, each announced to the observer first.
void RunLifecycleSteps(LifecycleStepList steps);

} // namespace Quorlix::Internal
