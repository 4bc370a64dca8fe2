#include "quorlix/core/internal/LifecycleSteps.h"

#include <atomic>

namespace Quorlix {

// Weak stand-ins: the subsystems that own these steps define them for real.
__attribute__((weak)) void CreateMasterCVTBL() {}
__attribute__((weak)) void InitializeSystemClasses() {}
__attribute__((weak)) void InitializeSceneClasses() {}
__attribute__((weak)) void CreateMasterCVTBLHash() {}
__attribute__((weak)) void UnInitializeSceneClasses() {}
__attribute__((weak)) void DeleteMasterCVTBL() {}
__attribute__((weak)) void ExitStorage(int) {}

namespace Internal {

namespace {
std::atomic<LifecycleObserver> G_Observer{nullptr};
}

LifecycleObserver SetLifecycleObserver(LifecycleObserver observer) {
    return G_Observer.exchange(observer);
}

void NotifyLifecycleStep(const char* step) {
    if (LifecycleObserver observer = G_Observer.load())
        observer(step);
}

} // namespace Internal

} // namespace Quorlix
